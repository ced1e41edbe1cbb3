// Opening the SSE graph page (offscreen): building the chart from the history and showing
// the page until it has been painted once, for histories of 0 to 2000 rows. The empty
// history is the reference the other sizes are compared with.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cmath>
#include <cstdlib>

#include "pages/graph_page.h"
#include "pages/page_id.h"
#include "ui/dialogs.h"
#include "ui/page_runtime.h"
#include "ui/printer.h"

namespace {

// A falling error curve recorded every 10 sweeps.
void fillHistory(core::PublicStuff& net, int rows) {
    net.SSEHistoryCount = static_cast<std::int16_t>(rows);
    for (int i = 1; i <= rows; ++i) {
        net.SSEHistory[static_cast<std::size_t>(i)][1] = 10.0 * (i - 1);
        net.SSEHistory[static_cast<std::size_t>(i)][2] = 12.5 * std::exp(-0.003 * i) + 0.1;
    }
}

void BM_OpenGraphPage(benchmark::State& state) {
    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    ui::PageRuntime runtime(dialogs);
    core::PublicStuff net;
    pages::Session session;
    fillHistory(net, static_cast<int>(state.range(0)));
    runtime.registerPage(pages::PageId::Graph, [&net, &session](ui::PageRuntime& r) {
        return new pages::GraphPage(r, net, session, ui::TheSystemPrinter());
    });
    for (auto _ : state) {
        ui::Page* page = runtime.Show(pages::PageId::Graph);
        // Lays the chart out and paints it now rather than at the next frame.
        QCoreApplication::processEvents();
        page->repaint();
        state.PauseTiming();
        runtime.Unload(pages::PageId::Graph);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["bars"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_OpenGraphPage)
    ->Arg(0)
    ->Arg(3)
    ->Arg(200)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The offscreen platform says for every page shown that it cannot raise windows.
void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.startsWith(QLatin1String("This plugin does not support"))) {
        qt_message_output(type, context, message);
    }
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(quietPlatform);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
