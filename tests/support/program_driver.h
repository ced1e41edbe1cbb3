#pragma once

// The whole program for window tests: every real page working on one network, scripted
// dialogs, and a scripted printer in place of the system's so that nothing reaches paper.
// The steps a student takes (double-click a file, go on, train, pick a menu item) return
// false when a control is not where the student would find it, for the test to QVERIFY.

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#include <cmath>

#include "core/network_state.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/program_pages.h"
#include "pages/session.h"
#include "pages/setup_page.h"
#include "tests/support/page_program.h"
#include "ui/file_lists.h"
#include "ui/page_runtime.h"

namespace support {

class ProgramDriver : public PageProgram {
  public:
    ProgramDriver() {
        pages::RegisterProgramPages(runtime, net, session);
        add<pages::ProbePage>(pages::PageId::Probe);
        add<pages::GraphPage>(pages::PageId::Graph);
    }

    // Answers No ahead when the next step (another file, a reset, training afresh) will ask
    // whether to save the trained network first.
    void letUnsavedTrainingGo() {
        if (net.TrainedOnProblem && session.UnsavedTraining) {
            dialogs.answer(ui::Answer::No);
        }
    }

    QWidget* start() const { return runtime.find(pages::PageId::Start); }
    pages::SetupPage* setup() const {
        return static_cast<pages::SetupPage*>(runtime.find(pages::PageId::Setup));
    }
    pages::MenuPage* menu() const {
        return static_cast<pages::MenuPage*>(runtime.find(pages::PageId::Menu));
    }
    pages::ProbePage* probe() const {
        return static_cast<pages::ProbePage*>(runtime.find(pages::PageId::Probe));
    }
    QWidget* save() const { return runtime.find(pages::PageId::Save); }
    pages::GraphPage* graph() const {
        return static_cast<pages::GraphPage*>(runtime.find(pages::PageId::Graph));
    }

    // A click, then a double-click, on the entry of `list` whose text (without
    // indentation) is `text`: the way a student double-clicks.
    [[nodiscard]] static bool doubleClickEntry(QListWidget* list, const QString& text) {
        if (list == nullptr) {
            return false;
        }
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem* item = list->item(row);
            if (item->text().trimmed() == text) {
                list->scrollToItem(item);
                const QPoint centre = list->visualItemRect(item).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
                QCoreApplication::processEvents();
                return true;
            }
        }
        return false;
    }

    [[nodiscard]] static bool click(QWidget* page, const char* button) {
        auto* found =
            page != nullptr ? page->findChild<QPushButton*>(QLatin1String(button)) : nullptr;
        if (found == nullptr || !found->isVisible() || !found->isEnabled()) {
            return false;
        }
        QTest::mouseClick(found, Qt::LeftButton);
        QCoreApplication::processEvents();
        return true;
    }

    ui::FileList* trainingFiles() const {
        return start() != nullptr ? start()->findChild<ui::FileList*>(QStringLiteral("File1"))
                                  : nullptr;
    }

    // On the start page: double-clicks training file `name`.
    [[nodiscard]] bool load(const QString& name) const {
        return doubleClickEntry(trainingFiles(), name);
    }

    // On the start page: goes on to the setup page.
    [[nodiscard]] bool goOn() const { return click(start(), "NextPage") && setup() != nullptr; }

    // On the setup page: picks the rule and starts training (the parameters as the boxes
    // hold them).
    [[nodiscard]] bool train(const QString& rule) const {
        pages::SetupPage* page = setup();
        if (page == nullptr) {
            return false;
        }
        QTest::mouseClick(rule == QLatin1String("Delta") ? page->OptionDelta : page->OptionHebb,
                          Qt::LeftButton);
        return click(page, "StartTraining");
    }

    // On the setup page: "Test Recall", which opens the menu.
    [[nodiscard]] bool testRecall() const { return click(setup(), "TestRecall") && menu(); }

    // On the menu: double-clicks `item` of the upper (examining) or lower (continuing)
    // list, wherever it is.
    [[nodiscard]] bool pick(const QString& item) const {
        pages::MenuPage* page = menu();
        if (page == nullptr) {
            return false;
        }
        for (const char* name : {"TestList", "ContinueList"}) {
            auto* list = page->findChild<QListWidget*>(QLatin1String(name));
            if (list != nullptr && !list->findItems(item, Qt::MatchExactly).isEmpty()) {
                return doubleClickEntry(list, item);
            }
        }
        return false;
    }

    // Loads `file` from the start page, goes on, and trains with `rule` and the initial
    // settings; ends on the menu.
    [[nodiscard]] bool trainToMenu(const QString& file, const QString& rule) const {
        return load(file) && goOn() && train(rule) && testRecall();
    }

    // On the probe page: types `pattern` into the box and presses Ok.
    [[nodiscard]] bool probePattern(const QString& pattern) const {
        pages::ProbePage* page = probe();
        if (page == nullptr) {
            return false;
        }
        page->PatternBox->setText(pattern);
        QTest::mouseClick(page->PatternOK, Qt::LeftButton);
        return true;
    }

    // On the save page: ticks every section box.
    [[nodiscard]] bool tickAllSections() const {
        for (int i = 0; i < 7; ++i) {
            auto* box = save() != nullptr
                            ? save()->findChild<QCheckBox*>(QStringLiteral("Check1(%1)").arg(i))
                            : nullptr;
            if (box == nullptr) {
                return false;
            }
            if (!box->isChecked()) {
                box->click();
            }
        }
        return true;
    }

    // On the save page: "Create A New Filename", answered with `name`.
    [[nodiscard]] bool nameReport(const QString& name) {
        dialogs.type(name);
        return click(save(), "FileButton");
    }
};

inline QString number(double v) {
    return QString::number(v, 'g', 17);
}

// The problem and what training made of it, as comparable lines: exact values throughout.
inline QStringList learnedState(const core::PublicStuff& net, const pages::Session& session) {
    QStringList lines;
    lines << QStringLiteral("file %1 in %2")
                 .arg(QString::fromStdString(net.TrainingFileName),
                      QString::fromStdString(session.TrainingFolder))
          << QStringLiteral("counts %1 %2 %3 %4")
                 .arg(net.NumOutputs)
                 .arg(net.SecondHeaderValue)
                 .arg(net.NumInputs)
                 .arg(net.NumPatterns);
    for (int p = 1; p <= net.NumPatterns && net.InputPatterns.exists(); ++p) {
        QString line = QStringLiteral("pattern %1:").arg(p);
        for (int u = 1; u <= net.NumInputs; ++u) {
            line += QLatin1Char(' ') + number(net.InputPatterns(u, p));
        }
        line += QStringLiteral(" |");
        for (int u = 1; u <= net.NumOutputs; ++u) {
            line += QLatin1Char(' ') + number(net.DesiredOutputs(u, p));
        }
        lines << line;
    }
    auto units = [&lines](const char* kind, const std::vector<core::UnitRecord>& records) {
        QString line = QLatin1String(kind);
        for (const core::UnitRecord& r : records) {
            line += QStringLiteral(" (%1 %2 %3)")
                        .arg(number(r.NetInput), number(r.Activation), number(r.Error));
        }
        lines << line;
    };
    units("inputs", net.InputUnits);
    units("outputs", net.OutputUnits);
    for (int j = 1; j <= net.Weights.outputs(); ++j) {
        QString line = QStringLiteral("weights to %1:").arg(j);
        for (int i = 1; i <= net.Weights.inputs(); ++i) {
            line += QStringLiteral(" %1/%2").arg(number(net.Weights.Weight(j, i)),
                                                 number(net.Weights.Change(j, i)));
        }
        lines << line;
    }
    lines
        << QStringLiteral("epochs %1, total SSE %2").arg(net.SweepCount).arg(number(net.TotalSSE));
    for (int k = 1; k <= net.SSEHistoryCount; ++k) {
        const auto& row = net.SSEHistory[static_cast<std::size_t>(k)];
        lines << QStringLiteral("history %1: %2 %3").arg(k).arg(number(row[1]), number(row[2]));
    }
    return lines;
}

// learnedState and the training parameters.
inline QStringList wholeState(const core::PublicStuff& net, const pages::Session& session) {
    return learnedState(net, session)
           << QStringLiteral("%1 rate %2, fresh %3, max %4, print %5, min error %6")
                  .arg(QString::fromStdString(std::string(core::RuleName(net.LearningRule))),
                       number(net.LearningRate))
                  .arg(net.FreshStart)
                  .arg(net.MaxSweeps)
                  .arg(net.PrintSweeps)
                  .arg(number(net.MinError));
}

// The first value of the network that is infinite or NaN, described; empty when none is.
inline QString firstNonFinite(const core::PublicStuff& net) {
    auto bad = [](double v) { return !std::isfinite(v); };
    for (int j = 1; j <= net.Weights.outputs(); ++j) {
        for (int i = 1; i <= net.Weights.inputs(); ++i) {
            if (bad(net.Weights.Weight(j, i)) || bad(net.Weights.Change(j, i))) {
                return QStringLiteral("connection %1, %2").arg(j).arg(i);
            }
        }
    }
    for (const auto* units : {&net.InputUnits, &net.OutputUnits}) {
        for (const core::UnitRecord& r : *units) {
            if (bad(r.NetInput) || bad(r.Activation) || bad(r.Error)) {
                return QStringLiteral("a unit");
            }
        }
    }
    if (bad(net.TotalSSE)) {
        return QStringLiteral("TotalSSE");
    }
    for (int k = 1; k <= net.SSEHistoryCount; ++k) {
        const auto& row = net.SSEHistory[static_cast<std::size_t>(k)];
        if (bad(row[1]) || bad(row[2])) {
            return QStringLiteral("history row %1").arg(k);
        }
    }
    return {};
}

// Whether `text` shows a value that is infinite or not a number, as a word of its own.
inline bool showsNonFinite(const QString& text) {
    static const QRegularExpression word(QStringLiteral("(^|[^A-Za-z])(inf|nan)([^A-Za-z]|$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return word.match(text).hasMatch();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

[[nodiscard]] inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A report without its date and time lines, which differ from save to save.
inline QByteArray timelessReport(const QByteArray& report) {
    QByteArray result;
    for (const QByteArray& line : report.split('\n')) {
        if (!line.startsWith("Date Of Analysis: ") && !line.startsWith("Time Of Analysis: ")) {
            result += line + '\n';
        }
    }
    return result;
}

// A size from /proc/self/status ("VmRSS", "VmHWM"), in KiB; -1 when it cannot be read.
inline long long processStatusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').front().toLongLong();
        }
    }
    return -1;
}

}  // namespace support
