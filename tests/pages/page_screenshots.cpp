// Writes a screenshot of every page state to a folder, for reviewers:
//   page_screenshots OUTPUT_FOLDER
// Drives the real pages on the shipped tiny.net example.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <utility>

#include "core/network_state.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/program_pages.h"
#include "pages/session.h"
#include "pages/setup_page.h"
#include "pages/start_page.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/file_lists.h"
#include "ui/page_runtime.h"

namespace {

bool save(QWidget* page, const QDir& folder, const char* name) {
    QCoreApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name) + ".png");
    if (!page->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: page_screenshots OUTPUT_FOLDER [EXAMPLES_FOLDER]\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    // The start page shows the folder's path: pictures for others are taken in a folder
    // of neutral name, given as the second argument.
    const QString examples =
        argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(DAM_EXAMPLES);
    if (!QDir::setCurrent(examples)) {
        std::fprintf(stderr, "cannot enter %s\n", qPrintable(examples));
        return 1;
    }

    support::ScriptedDialogs dialogs;
    ui::PageRuntime runtime(dialogs);
    core::PublicStuff net;
    pages::Session session;
    pages::RegisterProgramPages(runtime, net, session);

    bool ok = true;
    QWidget* start = runtime.Show(pages::PageId::Start);
    ok &= save(start, folder, "1-start");
    auto* files = start->findChild<ui::FileList*>(QStringLiteral("File1"));
    const auto items = files->findItems(QStringLiteral("tiny.net"), Qt::MatchExactly);
    if (items.isEmpty()) {
        std::fprintf(stderr, "tiny.net is not listed\n");
        return 1;
    }
    const QPoint at = files->visualItemRect(items.front()).center();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
    ok &= save(start, folder, "2-start-file-loaded");

    QTest::mouseClick(start->findChild<QPushButton*>(QStringLiteral("NextPage")), Qt::LeftButton);
    auto* setup = static_cast<pages::SetupPage*>(runtime.find(pages::PageId::Setup));
    ok &= save(setup, folder, "3-setup-before-run");
    QTest::mouseClick(setup->OptionDelta, Qt::LeftButton);
    QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
    ok &= save(setup, folder, "4-setup-after-run");

    QTest::mouseClick(setup->TestRecall, Qt::LeftButton);
    QCoreApplication::processEvents();
    QWidget* menu = runtime.find(pages::PageId::Menu);
    ok &= save(menu, folder, "5-menu");

    auto* tests = menu->findChild<QListWidget*>(QStringLiteral("TestList"));
    const auto openFromMenu = [tests](const QString& item) {
        const QPoint centre =
            tests->visualItemRect(tests->findItems(item, Qt::MatchExactly).front()).center();
        QTest::mouseClick(tests->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(tests->viewport(), Qt::LeftButton, {}, centre);
        QCoreApplication::processEvents();
    };
    openFromMenu(QStringLiteral("Probe Network Responses To Selected Patterns"));
    auto* probe = static_cast<pages::ProbePage*>(runtime.find(pages::PageId::Probe));
    QTest::mouseClick(probe->PatternOK, Qt::LeftButton);
    QTest::mouseClick(probe->PatternUpDown->upButton(), Qt::LeftButton);
    QTest::mouseClick(probe->PatternOK, Qt::LeftButton);
    ok &= save(probe, folder, "6-probe-two-patterns");

    openFromMenu(QStringLiteral("Plot SSE By Sweeps"));
    QWidget* graph = runtime.find(pages::PageId::Graph);
    ok &= save(graph, folder, "7-graph");

    openFromMenu(QStringLiteral("Show The Connection Weights"));
    QWidget* weights = runtime.find(pages::PageId::WeightMap);
    ok &= weights != nullptr && save(weights, folder, "8-connection-weights");

    // Three more runs on tiny.net, each from zero, for the graph that compares them; the
    // first of them longer than the run the bars show.
    struct Run {
        bool hebb;
        const char* rate;
        const char* epochs;
    };
    for (const auto& [hebb, rate, epochs] :
         {Run{false, "0.5", "300"}, Run{true, "0.1", "100"}, Run{false, "0.9", "100"}}) {
        session.UnsavedTraining = false;  // no question between the pictures' runs
        net.FreshStart = 1;
        auto* again = static_cast<pages::SetupPage*>(runtime.Show(pages::PageId::Setup));
        // The options are frozen after a run: the handlers, as a reset leaves the page.
        (hebb ? again->OptionHebb : again->OptionDelta)->setChecked(true);
        if (hebb) {
            again->OptionHebb_Click();
        } else {
            again->OptionDelta_Click();
        }
        again->LRateBox->setText(QString::fromLatin1(rate));
        again->SweepsBox->setText(QString::fromLatin1(epochs));
        QTest::mouseClick(again->StartTraining, Qt::LeftButton);
    }
    runtime.Unload(pages::PageId::Graph);
    QCoreApplication::processEvents();
    auto* compared = static_cast<pages::GraphPage*>(runtime.Show(pages::PageId::Graph));
    QTest::mouseClick(compared->ShowEarlierRuns, Qt::LeftButton);
    ok &= save(compared, folder, "9-graph-four-runs");
    QTest::mouseClick(compared->LogScale, Qt::LeftButton);
    ok &= save(compared, folder, "10-graph-four-runs-log");
    return ok && dialogs.shown().isEmpty() ? 0 : 1;
}
