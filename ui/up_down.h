#pragma once

// An up-down (two arrow buttons) attached to a text box: each press moves a whole-number
// value by one within [minimum, maximum] and writes it into the box as plain digits.
// A press starts from the box's number when the box holds a whole number in range, so
// typing and pressing work together. The Up and Down keys in the box press the arrows.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ui {

class UpDown : public QWidget {
    Q_OBJECT
  public:
    UpDown(QLineEdit* buddy, int value, int minimum, int maximum, QWidget* parent = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);
    // How far one press moves the value (1 unless set); the limits still hold.
    void setStep(int step) { m_step = step; }

    void stepUp();
    void stepDown();

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void step(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_value;
    int m_minimum;
    int m_maximum;
    int m_step = 1;
};

}  // namespace ui
