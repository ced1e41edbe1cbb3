#include "ui/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

Answer QtDialogs::messageBox(QWidget* parent, const QString& text, const QString& title,
                             Buttons buttons, Icon icon, Answer defaultButton) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? programTitle() : title);
    box.setTextFormat(Qt::PlainText);  // texts may hold '<' and file names
    box.setText(text);
    box.setIcon(qtIcon(icon));

    if (buttons == Buttons::Ok) {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return Answer::Ok;
    }

    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    QPushButton* cancel =
        buttons == Buttons::YesNoCancel ? box.addButton(QMessageBox::Cancel) : nullptr;
    QPushButton* preferred = defaultButton == Answer::No                            ? no
                             : defaultButton == Answer::Cancel && cancel != nullptr ? cancel
                                                                                    : yes;
    box.setDefaultButton(preferred);
    // Esc and the close box never say Yes: they answer Cancel where it is offered, else No.
    QPushButton* refusal = cancel != nullptr ? cancel : no;
    box.setEscapeButton(refusal);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr) {
        clicked = refusal;
    }
    return clicked == no ? Answer::No : clicked == cancel ? Answer::Cancel : Answer::Yes;
}

QString QtDialogs::inputBox(QWidget* parent, const QString& prompt, const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title.isEmpty() ? programTitle() : title,
                                               prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

QString QtDialogs::saveFileName(QWidget* parent, const QString& title, const QString& startPath,
                                const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title.isEmpty() ? programTitle() : title, startPath,
                                        filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::openFileName(QWidget* parent, const QString& title, const QString& startPath,
                                const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title.isEmpty() ? programTitle() : title, startPath,
                                        filter);
}

void Dialogs::warn(QWidget* parent, const QString& text, const QString& title) {
    messageBox(parent, text, title.isEmpty() ? m_programTitle : title, Buttons::Ok,
               Icon::Exclamation, Answer::Ok);
}

bool AskOverwrite(QWidget* parent, Dialogs& dialogs) {
    return dialogs.messageBox(parent, QStringLiteral("File already exists -- overwrite it?"),
                              QStringLiteral("Pre-existing Filename"), Buttons::YesNo,
                              Icon::Question, Answer::No) == Answer::Yes;
}

}  // namespace ui
