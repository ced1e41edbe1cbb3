#include "ui/long_task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <list>
#include <mutex>
#include <thread>

namespace ui {

namespace {

// The window's frame: how often the caller's everyFrame runs and the dialog looks again.
constexpr int kFrameMs = 16;
// The dialog's text changes at most this often, so that it can be read.
constexpr int kStatusMs = 100;
// No time left is guessed before the work has run this long and done this much.
constexpr double kGuessAfterSeconds = 1.0;
constexpr double kGuessAfterFraction = 0.02;

void lowerPriority(int nice) {
    if (nice > 0) {
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
    }
}

// The progress dialog of one long task, made once the task has taken LongTaskDelayMs.
class ProgressDialog {
  public:
    ProgressDialog(PageRuntime& runtime, QWidget* parent, const LongTask& task, QObject* context,
                   bool& cancelled)
        : m_dialog(new QProgressDialog(parent)), m_task(task), m_cancelled(cancelled) {
        m_dialog->setObjectName(QString::fromLatin1(LongTaskDialogName));
        m_dialog->setWindowTitle(task.title);
        m_dialog->setRange(0, 0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        auto* button = new QPushButton(QStringLiteral("Cancel"), m_dialog);
        m_dialog->setCancelButton(button);
        QObject::connect(m_dialog, &QProgressDialog::canceled, context, [this] { cancel(); });
        // Setting the button leaves the dialog two Esc shortcuts of its own, which then
        // cancel each other out as ambiguous; one of ours takes their place.
        for (QShortcut* own : m_dialog->findChildren<QShortcut*>()) {
            own->setEnabled(false);
        }
        auto* escape = new QShortcut(QKeySequence::Cancel, m_dialog);
        QObject::connect(escape, &QShortcut::activated, context, [this] { cancel(); });
        QObject::connect(m_dialog, &QProgressDialog::rejected, context, [this] { cancel(); });
        m_dialog->setWindowModality(Qt::WindowModal);
        runtime.lockInput(button);  // Esc anywhere in the program presses "Cancel"
        m_dialog->show();
        m_dialog->activateWindow();
    }
    ~ProgressDialog() { delete m_dialog.data(); }
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    void update(double seconds) {
        if (m_dialog.isNull() || m_cancelled || !m_task.status) {
            return;
        }
        const TaskStatus status = m_task.status();
        m_dialog->setLabelText(LongTaskText(status, seconds));
        if (status.total > 0.0) {
            m_dialog->setRange(0, 1000);
            m_dialog->setValue(
                static_cast<int>(std::clamp(status.done / status.total, 0.0, 1.0) * 999.0));
        }
    }

  private:
    void cancel() {
        if (m_cancelled) {
            return;
        }
        m_cancelled = true;
        if (m_task.cancel) {
            m_task.cancel();
        }
        if (!m_dialog.isNull()) {
            m_dialog->setRange(0, 0);
            m_dialog->setLabelText(QStringLiteral("Cancelling..."));
            m_dialog->show();  // a cancelled progress dialog hides itself
        }
    }

    QPointer<QProgressDialog> m_dialog;
    const LongTask& m_task;
    bool& m_cancelled;
};

// Background workers, joined when the program ends.
struct BackgroundWorkers {
    struct Worker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> finished;
        std::shared_ptr<core::Progress> progress;  // the work hears the stop request here
    };
    std::mutex mutex;
    std::list<Worker> workers;

    ~BackgroundWorkers() { joinAll(); }

    void joinAll() {
        std::list<Worker> all;
        {
            const std::lock_guard lock(mutex);
            all.swap(workers);
        }
        for (Worker& worker : all) {
            worker.progress->requestStop();
        }
        all.clear();  // joins each
    }

    void reapFinished() {
        std::list<Worker> done;
        {
            const std::lock_guard lock(mutex);
            for (auto it = workers.begin(); it != workers.end();) {
                if (it->finished->load()) {
                    done.splice(done.end(), workers, it++);
                } else {
                    ++it;
                }
            }
        }
        done.clear();  // joins threads that have already returned
    }
};

BackgroundWorkers& backgroundWorkers() {
    static BackgroundWorkers workers;
    return workers;
}

}  // namespace

QString LongTaskText(const TaskStatus& status, double secondsSoFar) {
    if (status.total <= 0.0) {
        return status.text;
    }
    const double fraction = std::clamp(status.done / status.total, 0.0, 1.0);
    QString text =
        status.text + QStringLiteral("\n%1 %").arg(std::floor(fraction * 100.0), 0, 'f', 0);
    if (secondsSoFar >= kGuessAfterSeconds && fraction >= kGuessAfterFraction && fraction < 1.0) {
        const double left = secondsSoFar * (1.0 - fraction) / fraction;
        text += QStringLiteral(", about %1 s left").arg(std::ceil(left), 0, 'f', 0);
    }
    return text;
}

void TrackProgress(LongTask& task, core::Progress& progress,
                   std::function<QString(const core::Progress&)> describe) {
    task.status = [&progress, describe = std::move(describe)] {
        return TaskStatus{describe(progress), static_cast<double>(progress.done()),
                          static_cast<double>(progress.total())};
    };
    task.cancel = [&progress] { progress.requestStop(); };
}

core::WorkEnd RunLongTask(PageRuntime& runtime, QWidget* parent, const LongTask& task) {
    bool cancelled = false;
    bool finished = false;
    const bool wasLocked = runtime.inputLocked();
    runtime.lockInput(task.stopButton);

    QEventLoop waiting;
    std::jthread worker([&task, &waiting, &finished] {
        lowerPriority(task.workerNice);
        finished = task.work();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<ProgressDialog> dialog;
    qint64 statusShownAt = -kStatusMs;
    QTimer frame;
    frame.setInterval(kFrameMs);
    const auto onFrame = [&] {
        if (task.everyFrame) {
            task.everyFrame();
        }
        if (task.stopButton != nullptr) {
            return;
        }
        const qint64 elapsed = clock.elapsed();
        if (!dialog && elapsed >= LongTaskDelayMs) {
            dialog = std::make_unique<ProgressDialog>(runtime, parent, task, &waiting, cancelled);
        }
        if (dialog && elapsed - statusShownAt >= kStatusMs) {
            statusShownAt = elapsed;
            dialog->update(static_cast<double>(elapsed) / 1000.0);
        }
    };
    QObject::connect(&frame, &QTimer::timeout, &waiting, onFrame);
    frame.start();
    if (LongTaskDelayMs <= 0) {
        onFrame();  // the dialog at once
    }
    waiting.exec();
    worker.join();
    frame.stop();
    if (task.afterWork) {
        task.afterWork();
    }
    dialog.reset();
    if (wasLocked) {
        runtime.lockInput(nullptr);
    } else {
        runtime.unlockInput();
    }
    if (finished) {
        return core::WorkEnd::Done;
    }
    return cancelled ? core::WorkEnd::Cancelled : core::WorkEnd::Failed;
}

namespace detail {

void StartBackground(QObject* receiver,
                     std::function<std::function<void()>(const core::Progress&)> work) {
    BackgroundWorkers& workers = backgroundWorkers();
    workers.reapFinished();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto progress = std::make_shared<core::Progress>();
    QPointer<QObject> guard(receiver);
    std::jthread thread([work = std::move(work), guard, finished, progress] {
        std::function<void()> deliver = work(*progress);
        if (!progress->stopRequested()) {
            // Judged on the window thread, where the receiver is destroyed.
            QCoreApplication* app = QCoreApplication::instance();
            if (app == nullptr) {
                finished->store(true);
                return;
            }
            QMetaObject::invokeMethod(
                app,
                [guard, deliver = std::move(deliver)] {
                    if (guard) {
                        deliver();
                    }
                },
                Qt::QueuedConnection);
        }
        finished->store(true);
    });
    const std::lock_guard lock(workers.mutex);
    workers.workers.push_back({std::move(thread), std::move(finished), std::move(progress)});
}

}  // namespace detail

void JoinBackgroundWork() {
    backgroundWorkers().joinAll();
}

int BackgroundWorkRunning() {
    BackgroundWorkers& workers = backgroundWorkers();
    workers.reapFinished();
    const std::lock_guard lock(workers.mutex);
    return static_cast<int>(workers.workers.size());
}

}  // namespace ui
