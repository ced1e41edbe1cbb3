#include "ui/accessibility.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace ui {

namespace {

// Presses the button it watches when Enter or Return reaches it.
class EnterPresses final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            auto* button = qobject_cast<QPushButton*>(watched);
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button != nullptr &&
                button->isEnabled()) {
                button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Moves the focus on from the text window it watches at Ctrl+Tab.
class CtrlTabLeaves final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            if (tab && (key->modifiers() & Qt::ControlModifier) != 0) {
                auto* window = static_cast<QWidget*>(watched);
                const bool back =
                    key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier) != 0;
                QWidget* next = back ? window->previousInFocusChain() : window->nextInFocusChain();
                while (next != window && (!(next->focusPolicy() & Qt::TabFocus) ||
                                          !next->isVisible() || !next->isEnabled())) {
                    next = back ? next->previousInFocusChain() : next->nextInFocusChain();
                }
                next->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QString captionText(const QLabel* label) {
    QString text = label->text();
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    return text;
}

}  // namespace

void NameAfterLabel(QWidget* control, QLabel* label, const QString& description) {
    label->setBuddy(control);
    DescribeControl(control, captionText(label), description);
}

void DescribeControl(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    if (!description.isEmpty()) {
        control->setAccessibleDescription(description);
    }
}

void LeaveWithCtrlTab(QWidget* textWindow) {
    textWindow->installEventFilter(new CtrlTabLeaves(textWindow));
}

void PressButtonsWithEnter(QWidget* page) {
    auto* filter = new EnterPresses(page);
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        button->installEventFilter(filter);
    }
}

}  // namespace ui
