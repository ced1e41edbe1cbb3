// Cost of progress printouts during a training run on the real setup page (offscreen):
// 30,000 epochs of a small problem with a printout every epoch, against the same run with
// one printout at the end. Printouts are remembered every epoch but drawn once a frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>

#include <cstdlib>

#include "files/loader.h"
#include "pages/page_id.h"
#include "pages/setup_page.h"
#include "ui/dialogs.h"
#include "ui/page_runtime.h"

namespace {

void BM_TrainingRun(benchmark::State& state) {
    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    ui::PageRuntime runtime(dialogs);
    core::PublicStuff net;
    pages::Session session;
    std::string error;
    if (!files::LoadTrainingData(net, "2 0 3 2  1 0 1  0 1 0  1 0  0 1", "tiny.net", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    runtime.registerPage(pages::PageId::Setup, [&net, &session](ui::PageRuntime& r) {
        return new pages::SetupPage(r, net, session);
    });
    for (auto _ : state) {
        state.PauseTiming();
        net.FreshStart = 1;
        auto* page = static_cast<pages::SetupPage*>(runtime.Show(pages::PageId::Setup));
        page->SweepsBox->setText(QStringLiteral("30000"));
        page->PrintSweepsBox->setText(QString::number(state.range(0)));
        state.ResumeTiming();
        page->StartTraining_Click();
        state.PauseTiming();
        runtime.Unload(pages::PageId::Setup);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["epochs/s"] = benchmark::Counter(
        30000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TrainingRun)->Arg(30000)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
