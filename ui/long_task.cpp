#include "ui/long_task.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <thread>

namespace ui {

bool RunLongTask(PageRuntime& runtime, QWidget* parent, const QString& title,
                 const std::function<void()>& work, const std::function<QString()>& status,
                 const std::function<void()>& cancel) {
    bool cancelled = false;
    const bool wasLocked = runtime.inputLocked();
    runtime.lockInput(nullptr);

    QEventLoop waiting;
    std::jthread worker([&work, &waiting] {
        work();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QElapsedTimer clock;
    clock.start();
    QPointer<QProgressDialog> dialog;
    QTimer tick;
    tick.setInterval(50);
    const auto onTick = [&] {
        if (dialog.isNull() && clock.elapsed() >= LongTaskDelayMs) {
            dialog = new QProgressDialog(parent);
            dialog->setObjectName(QString::fromLatin1(LongTaskDialogName));
            dialog->setWindowTitle(title);
            dialog->setRange(0, 0);  // a busy bar: the status text says how far
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            auto* button = new QPushButton(QStringLiteral("Cancel"), dialog);
            dialog->setCancelButton(button);
            const auto onCancel = [&cancel, &cancelled, &dialog] {
                if (cancelled) {
                    return;
                }
                cancelled = true;
                cancel();
                if (!dialog.isNull()) {
                    dialog->setLabelText(QStringLiteral("Cancelling..."));
                    dialog->show();  // a cancelled progress dialog hides itself
                }
            };
            QObject::connect(dialog, &QProgressDialog::canceled, &waiting, onCancel);
            // Esc in a dialog rejects it.
            QObject::connect(dialog, &QProgressDialog::rejected, &waiting, onCancel);
            dialog->setWindowModality(Qt::WindowModal);
            runtime.lockInput(button);  // Esc presses "Cancel"
            dialog->show();
        }
        if (!dialog.isNull() && !cancelled) {
            dialog->setLabelText(status());
        }
    };
    QObject::connect(&tick, &QTimer::timeout, &waiting, onTick);
    tick.start();
    if (LongTaskDelayMs <= 0) {
        onTick();  // the dialog at once
    }
    waiting.exec();
    worker.join();
    tick.stop();
    delete dialog.data();
    if (wasLocked) {
        runtime.lockInput(nullptr);
    } else {
        runtime.unlockInput();
    }
    return cancelled;
}

}  // namespace ui
