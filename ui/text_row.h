#pragma once

// A picture box used as rows of text: cleared, printed into line by line (each line below
// the last), with a background colour.

#include <QColor>
#include <QStringList>
#include <QWidget>

namespace ui {

class TextRow : public QWidget {
    Q_OBJECT
  public:
    explicit TextRow(QWidget* parent = nullptr);

    void clear();
    // Adds a line below the text already there (lines past the bottom are not visible).
    void printLine(const QString& line);
    void setBackground(const QColor& colour);
    // True when `line` is no wider than the row in its font.
    bool fits(const QString& line) const;

    QStringList lines() const { return m_lines; }
    QColor background() const { return m_background; }

    // The system's colour for button faces.
    static QColor buttonFace();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QStringList m_lines;
    QColor m_background;
};

}  // namespace ui
