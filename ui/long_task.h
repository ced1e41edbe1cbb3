#pragma once

// Work that may take a while (loading a training file, saving a report) run off the window
// thread, with a progress dialog and "Cancel" once it has taken long enough to notice.

#include <QString>
#include <QWidget>

#include <functional>

#include "ui/page_runtime.h"

namespace ui {

// Runs `work` on a worker thread while this thread keeps handling events (repaints) with
// all input locked. Once the work has taken LongTaskDelayMs, a modal dialog titled `title`
// shows status() (asked a few times a second, on this thread) and a "Cancel" button, which
// Esc presses too. "Cancel" calls cancel() on this thread, which must make `work` return
// soon; the dialog then says that it is cancelling until it has. Returns whether
// cancelling was asked for. `work` must not throw and must leave alone everything this
// thread reads.
bool RunLongTask(PageRuntime& runtime, QWidget* parent, const QString& title,
                 const std::function<void()>& work, const std::function<QString()>& status,
                 const std::function<void()>& cancel);

// How long work runs before its dialog shows, in milliseconds (tests set 0).
inline int LongTaskDelayMs = 200;

// The dialog's object name, for tests to find it: "LongTaskDialog".
inline constexpr const char* LongTaskDialogName = "LongTaskDialog";

}  // namespace ui
