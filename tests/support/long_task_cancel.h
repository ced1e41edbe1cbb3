#pragma once

// Cancels the next long task of a page as a student would: while this lives, a long task
// shows its progress dialog at once, and the first such dialog of `page` is answered with
// Esc, after its text was read.

#include <QProgressDialog>
#include <QString>
#include <QTest>
#include <QTimer>

#include "ui/long_task.h"

namespace support {

class CancelFirstLongTask {
  public:
    explicit CancelFirstLongTask(QWidget* page) : m_delay(ui::LongTaskDelayMs) {
        ui::LongTaskDelayMs = 0;
        QTimer::singleShot(0, page, [this, page] {
            auto* dialog = page->findChild<QProgressDialog*>(ui::LongTaskDialogName);
            if (dialog != nullptr) {
                m_status = dialog->labelText();
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
        });
    }
    ~CancelFirstLongTask() { ui::LongTaskDelayMs = m_delay; }
    CancelFirstLongTask(const CancelFirstLongTask&) = delete;
    CancelFirstLongTask& operator=(const CancelFirstLongTask&) = delete;

    // What the dialog said when it was cancelled; empty when none appeared.
    const QString& status() const { return m_status; }

  private:
    int m_delay;
    QString m_status;
};

}  // namespace support
