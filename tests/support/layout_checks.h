#pragma once

// The checks of the layout suite: a control sits where it is expected, and its caption
// (or each entry of a list) fits it with the fonts the pages use.

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ui/geometry.h"
#include "ui/wrapping_button.h"

namespace support {

// Exactly one control of `page` is called `name`, and it sits at `expected`.
inline void checkPlacement(const QWidget* page, const QString& name, const QRect& expected) {
    const QList<QWidget*> found = page->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.front()->geometry(), expected);
}

// The caption of a label, button or check box fits inside it, as does every entry of a
// list. Clipped captions are easy to miss by eye on one machine and glaring on another.
inline void checkCaptionFits(const QWidget* widget) {
    QVERIFY(widget);
    if (const auto* items = qobject_cast<const QListWidget*>(widget)) {
        const QFontMetrics metrics(widget->font());
        for (int row = 0; row < items->count(); ++row) {
            const QRect room = items->visualItemRect(items->item(row));
            QVERIFY(items->viewport()->rect().contains(room));
            QVERIFY2(metrics.horizontalAdvance(items->item(row)->text()) < room.width(),
                     qPrintable(items->item(row)->text()));
        }
        return;
    }
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

}  // namespace support
