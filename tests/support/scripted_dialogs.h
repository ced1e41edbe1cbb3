#pragma once

// Message and input boxes answered from a script, for window tests. Queue the answers in
// the order the dialogs will appear; every dialog shown is logged so tests can check its
// exact text. A dialog that nobody scripted (or whose scripted answer does not fit it)
// fails the running test and is answered as if the user pressed Esc.
//
// beforeAnswer lets a test change the world while a dialog is open (a file replaced
// while the overwrite question waits for its answer, say).

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>
#include <utility>
#include <variant>

#include "pages/page_id.h"
#include "ui/dialogs.h"

namespace support {

enum class DialogKind { Message, Input, SaveFile, OpenFile };

struct ShownDialog {
    DialogKind kind = DialogKind::Message;
    QString text;  // the message, the input box's prompt, or the save dialog's start path
    QString title;
    // Message boxes only; input boxes keep the defaults.
    ui::Buttons buttons = ui::Buttons::Ok;
    ui::Icon icon = ui::Icon::None;
    ui::Answer defaultButton = ui::Answer::Ok;
    const QWidget* parent = nullptr;  // for comparison only; may be gone by now
};

class ScriptedDialogs final : public ui::Dialogs {
  public:
    ScriptedDialogs() : ui::Dialogs(QString::fromUtf8(pages::ProgramTitle)) {}

    // Runs once, when the next dialog appears and before it is answered; then it is cleared.
    std::function<void()> beforeAnswer;

    // The next dialog is a message box, answered with `button`.
    void answer(ui::Answer button) { m_script.emplace_back(button); }
    // The next dialog is an input box, answered with `text` ("" is a cancel).
    void type(const QString& text) { m_script.emplace_back(text); }
    // The next dialog is a save dialog, answered with `path` ("" is a cancel).
    void choose(const QString& path) { m_script.emplace_back(SavePath{path}); }

    const QList<ShownDialog>& shown() const { return m_shown; }
    // The texts of all dialogs shown, in order: the easy thing to compare.
    QStringList texts() const {
        QStringList result;
        for (const ShownDialog& d : m_shown) {
            result << d.text;
        }
        return result;
    }
    // Answers queued but not used yet; a test that scripted a dialog expects zero.
    int unanswered() const { return static_cast<int>(m_script.size()); }
    QStringList errors() const { return m_errors; }

    ui::Answer messageBox(QWidget* parent, const QString& text, const QString& title,
                          ui::Buttons buttons, ui::Icon icon, ui::Answer defaultButton) override {
        m_shown.append({DialogKind::Message, text, title, buttons, icon, defaultButton, parent});
        runBeforeAnswer();
        if (!m_script.empty() && std::holds_alternative<ui::Answer>(m_script.front())) {
            const ui::Answer answer = std::get<ui::Answer>(m_script.front());
            m_script.pop_front();
            const bool fits =
                buttons == ui::Buttons::Ok ? answer == ui::Answer::Ok : answer != ui::Answer::Ok;
            if (fits) {
                return answer;
            }
            fail(QStringLiteral("scripted answer does not fit the buttons of message box \"%1\"")
                     .arg(text));
        } else {
            fail(QStringLiteral("unscripted message box \"%1\" (title \"%2\")").arg(text, title));
        }
        return buttons == ui::Buttons::Ok ? ui::Answer::Ok : defaultButton;
    }

    QString inputBox(QWidget* parent, const QString& prompt, const QString& title) override {
        m_shown.append({DialogKind::Input, prompt, title, ui::Buttons::Ok, ui::Icon::None,
                        ui::Answer::Ok, parent});
        runBeforeAnswer();
        if (!m_script.empty() && std::holds_alternative<QString>(m_script.front())) {
            QString text = std::get<QString>(m_script.front());
            m_script.pop_front();
            return text;
        }
        fail(QStringLiteral("unscripted input box \"%1\" (title \"%2\")").arg(prompt, title));
        return {};
    }

    QString saveFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter) override {
        return fileName(DialogKind::SaveFile, parent, title, startPath, filter);
    }
    // Answered by choose() as the save dialog is.
    QString openFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter) override {
        return fileName(DialogKind::OpenFile, parent, title, startPath, filter);
    }
    // The filters of the file dialogs shown, in order.
    QStringList filters() const { return m_filters; }

  private:
    struct SavePath {
        QString path;
    };

    QString fileName(DialogKind kind, QWidget* parent, const QString& title,
                     const QString& startPath, const QString& filter) {
        m_shown.append(
            {kind, startPath, title, ui::Buttons::Ok, ui::Icon::None, ui::Answer::Ok, parent});
        m_filters << filter;
        runBeforeAnswer();
        if (!m_script.empty() && std::holds_alternative<SavePath>(m_script.front())) {
            QString path = std::get<SavePath>(m_script.front()).path;
            m_script.pop_front();
            return path;
        }
        fail(QStringLiteral("unscripted file dialog at \"%1\" (title \"%2\")")
                 .arg(startPath, title));
        return {};
    }

    void runBeforeAnswer() {
        if (beforeAnswer) {
            // Cleared first, so that the action may set up the next one.
            std::exchange(beforeAnswer, nullptr)();
        }
    }

    void fail(const QString& message) {
        m_errors << message;
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    }

    std::deque<std::variant<ui::Answer, QString, SavePath>> m_script;
    QList<ShownDialog> m_shown;
    QStringList m_errors;
    QStringList m_filters;
};

// The dialogs shown so far are warnings reading exactly `texts`, in order: how a test
// checks what the program refused and the words it gave the student.
inline void checkWarnings(const ScriptedDialogs& dialogs, const QStringList& texts) {
    QCOMPARE(dialogs.texts(), texts);
    for (const ShownDialog& shown : dialogs.shown()) {
        QCOMPARE(shown.icon, ui::Icon::Exclamation);
        QCOMPARE(shown.buttons, ui::Buttons::Ok);
    }
}

}  // namespace support
