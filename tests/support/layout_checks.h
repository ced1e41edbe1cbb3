#pragma once

// Checks shared by the page suites: every control sits where its page's layout table says,
// and captions fit their controls with the fonts the pages use.

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <span>

#include "ui/geometry.h"
#include "ui/wrapping_button.h"

namespace support {

// Data rows "name" and "expected" for a placement test, one per row of the table.
inline void addPlacementRows(std::span<const ui::ControlPlace> table) {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    for (const ui::ControlPlace& row : table) {
        QTest::newRow(row.name) << QString::fromUtf8(row.name) << ui::toPixels(row.rect);
    }
}

// One control where a test expects it, written out in twips so that a mistyped value in a
// page's own table cannot pass; `caption` says whether its caption must fit too.
struct ExpectedPlace {
    const char* name;
    int left;
    int top;
    int width;
    int height;
    bool caption = false;
};

// Data rows "name", "expected" and "caption" for checkLayout.
inline void addLayoutRows(std::initializer_list<ExpectedPlace> rows) {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("caption");
    for (const ExpectedPlace& row : rows) {
        QTest::newRow(row.name) << QString::fromUtf8(row.name)
                                << ui::toPixels({row.left, row.top, row.width, row.height})
                                << row.caption;
    }
}

// Exactly one control of `page` is called `name`, and it sits at `expected`.
inline void checkPlacement(const QWidget* page, const QString& name, const QRect& expected) {
    const QList<QWidget*> found = page->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.front()->geometry(), expected);
}

// The caption of a label, button or check box fits inside it. Clipped captions are easy to
// miss by eye on one machine and glaring on another.
inline void checkCaptionFits(const QWidget* widget) {
    QVERIFY(widget);
    if (qobject_cast<const QCheckBox*>(widget) != nullptr ||
        qobject_cast<const QRadioButton*>(widget) != nullptr) {
        const auto* box = static_cast<const QAbstractButton*>(widget);
        QVERIFY2(box->sizeHint().width() <= box->width(),
                 qPrintable(QStringLiteral("needs %1 pixels, has %2")
                                .arg(box->sizeHint().width())
                                .arg(box->width())));
        return;
    }
    QRect room;
    QString text;
    int flags = Qt::AlignCenter;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        room = label->contentsRect();
        text = label->text();
        flags = label->alignment().toInt() |
                (label->wordWrap() ? static_cast<int>(Qt::TextWordWrap) : 0);
    } else {
        const auto* button = qobject_cast<const QPushButton*>(widget);
        QVERIFY(button);
        // Leave room for the button's bevel; only wrapping buttons may use several lines.
        room = button->rect().adjusted(3, 3, -3, -3);
        text = button->text();
        if (qobject_cast<const ui::WrappingButton*>(button) != nullptr) {
            flags |= Qt::TextWordWrap;
        }
    }
    const QRect needed = QFontMetrics(widget->font()).boundingRect(room, flags, text);
    QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
             qPrintable(QStringLiteral("\"%1\" needs %2x%3 pixels, has %4x%5")
                            .arg(text)
                            .arg(needed.width())
                            .arg(needed.height())
                            .arg(room.width())
                            .arg(room.height())));
}

// The data-driven check of addLayoutRows: place, and caption where the row asks.
inline void checkLayout(const QWidget* page) {
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    QFETCH(bool, caption);
    checkPlacement(page, name, expected);
    if (caption) {
        checkCaptionFits(page->findChild<QWidget*>(name));
    }
}

}  // namespace support
