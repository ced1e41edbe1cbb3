#pragma once

// Message box, input box, open and save dialogs, behind an interface so that tests can answer them.

#include <QString>

#include <utility>

class QWidget;

namespace ui {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Icon { None, Information, Exclamation, Question, Critical };
enum class Answer { Ok, Yes, No, Cancel };

class Dialogs {
  public:
    // `programTitle` titles the boxes that have no title of their own.
    explicit Dialogs(QString programTitle) : m_programTitle(std::move(programTitle)) {}
    virtual ~Dialogs() = default;
    const QString& programTitle() const { return m_programTitle; }

    // Shows a modal message; returns the button pressed (Ok for an OK-only box; when the
    // box is closed by Esc or its close box, Cancel where it has one, else No).
    virtual Answer messageBox(QWidget* parent, const QString& text, const QString& title,
                              Buttons buttons, Icon icon, Answer defaultButton) = 0;
    // Asks for one line of text with an empty default; returns "" when cancelled.
    virtual QString inputBox(QWidget* parent, const QString& prompt, const QString& title) = 0;
    // The platform's save dialog, opening at `startPath` (a folder, or a folder and a
    // name); `filter` as "Name (*.ext)". Returns the chosen path, or "" when cancelled.
    // It does not ask about overwriting: the caller does, with its own question.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& startPath,
                                 const QString& filter) = 0;
    // The platform's open dialog for an existing file, the same way.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& startPath,
                                 const QString& filter) = 0;

    // A warning with one OK button, the way every page reports what went wrong; titled
    // with the program's title unless given another.
    void warn(QWidget* parent, const QString& text, const QString& title = QString());

  private:
    QString m_programTitle;
};

// The real dialogs, with Qt's QMessageBox and QInputDialog.
class QtDialogs final : public Dialogs {
  public:
    using Dialogs::Dialogs;
    Answer messageBox(QWidget* parent, const QString& text, const QString& title, Buttons buttons,
                      Icon icon, Answer defaultButton) override;
    QString inputBox(QWidget* parent, const QString& prompt, const QString& title) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter) override;
};

// "File already exists -- overwrite it?" with Yes and No, No the default; true for Yes.
bool AskOverwrite(QWidget* parent, Dialogs& dialogs);

}  // namespace ui
