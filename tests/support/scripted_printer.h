#pragma once

// A printer that keeps every job it is given instead of printing it, for window tests that
// check what a page prints, and that can be told to refuse jobs the way a printer that
// vanished or cannot start a job does.

#include <QList>
#include <QString>
#include <QStringList>

#include "ui/printer.h"

namespace support {

class ScriptedPrinter final : public ui::Printer {
  public:
    // From now on every job is refused with `reason`; an empty reason accepts them again.
    void refuseWith(const QString& reason) { m_refusal = reason; }

    const QList<ui::PrintJob>& jobs() const { return m_jobs; }
    const QStringList& titles() const { return m_titles; }

    // The name a job that is taken is sent to.
    static QString name() { return QStringLiteral("Classroom Laser"); }

    bool print(const ui::PrintJob& job, const QString& title, QString& printerName,
               QString& error) override {
        m_jobs.append(job);
        m_titles.append(title);
        if (!m_refusal.isEmpty()) {
            error = m_refusal;
            return false;
        }
        printerName = name();
        return true;
    }

  private:
    QString m_refusal;
    QList<ui::PrintJob> m_jobs;
    QStringList m_titles;
};

}  // namespace support
