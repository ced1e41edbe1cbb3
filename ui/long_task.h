#pragma once

// The one way work leaves the window thread.
//
// RunLongTask: work the student waits for (loading, saving, training). The window keeps
// repainting while a worker runs it; all input but "Cancel" (or the caller's Stop button)
// is locked, and the call returns when the work is done.
//
// StartBackgroundWork: work whose result a page shows when it comes (forecasts, the
// analysis page). The page stays usable; a page closed meanwhile never hears of it.
//
// Neither leaves a thread behind: RunLongTask joins its worker before it returns, and
// background workers are joined when the program ends (JoinBackgroundWork), after being
// asked to stop through their core::Progress.

#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "core/progress.h"
#include "ui/page_runtime.h"

namespace ui {

// How far a long task has come, asked for a few times a second on the window thread.
struct TaskStatus {
    QString text;        // what is being done, such as "12.5 MB of 40.0 MB read"
    double done = 0.0;   // of `total`
    double total = 0.0;  // 0 when the total is not known: the dialog shows a busy bar
};

struct LongTask {
    QString title;  // of the progress dialog
    // On the worker: the work, which returns whether it finished what it was to do (a file
    // replaced, a file loaded). It must not throw, and must leave alone everything the
    // window thread reads.
    std::function<bool()> work;
    std::function<TaskStatus()> status;  // on the window thread
    std::function<void()> cancel;        // on the window thread: makes `work` return soon
    std::function<void()> everyFrame;    // on the window thread, once per screen frame
    // On the window thread once the work has returned, before input is unlocked: where the
    // caller takes back what the work held, before any page can look at it again.
    std::function<void()> afterWork;
    // When set, no dialog: this button stays usable (Esc presses it) and the caller shows
    // the progress itself, in everyFrame.
    QAbstractButton* stopButton = nullptr;
    int workerNice = 0;  // above 0: the worker (and the threads it starts) yields to the window
};

// The one adapter from the work's core::Progress to the dialog: the status is describe()'s
// text with the progress's done and total, and Cancel requests the work to stop.
// `progress` must outlive the task.
void TrackProgress(LongTask& task, core::Progress& progress,
                   std::function<QString(const core::Progress&)> describe);

// Runs task.work on a worker thread while this thread keeps handling events with input
// locked. Without a stop button, once the work has taken LongTaskDelayMs a window-modal
// dialog titled task.title shows the status (with a percentage and the time left when the
// total is known) and "Cancel", which Esc presses too. "Cancel" calls task.cancel once, and
// the dialog says that it is cancelling until the work has returned. Returns Done when the
// work finished (even when Cancel came too late to stop it), Cancelled when Cancel was
// pressed and it did not, and Failed otherwise (the caller has the work's message).
core::WorkEnd RunLongTask(PageRuntime& runtime, QWidget* parent, const LongTask& task);

// The dialog's text for a status: the status text, then "40 %, about 12 s left" once the
// total is known and enough has been done to tell.
QString LongTaskText(const TaskStatus& status, double secondsSoFar);

// How long work runs before its dialog shows, in milliseconds (tests set 0).
inline int LongTaskDelayMs = 200;

// The dialog's object name, for tests to find it: "LongTaskDialog".
inline constexpr const char* LongTaskDialogName = "LongTaskDialog";

namespace detail {
// Runs `work` on a background worker; what it returns runs on the window thread if
// `receiver` still exists then.
void StartBackground(QObject* receiver,
                     std::function<std::function<void()>(const core::Progress&)> work);
}  // namespace detail

// Runs work(progress) on a background worker and hands its result to done(result) on the
// window thread, unless `receiver` has been destroyed by then. `work` must touch nothing
// the window thread may change (give it its own copy of what it reads) and should return
// soon once a stop is requested of `progress`.
template <class Result>
void StartBackgroundWork(QObject* receiver, std::function<Result(const core::Progress&)> work,
                         std::function<void(Result)> done) {
    detail::StartBackground(
        receiver, [work = std::move(work), done = std::move(done)](const core::Progress& progress) {
            auto result = std::make_shared<Result>(work(progress));
            return std::function<void()>([done, result] { done(std::move(*result)); });
        });
}

// Asks every background worker to stop and waits for them; results not yet handed over
// are dropped. main() calls it before the program ends; it is safe to call more than once.
void JoinBackgroundWork();

// Background workers that have not finished (for tests).
int BackgroundWorkRunning();

}  // namespace ui
