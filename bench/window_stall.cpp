// The longest time the window thread goes without handling events during a training run
// on the real setup page (offscreen): a timer at 0 ms notes the gap between its runs while
// "Start Training" trains a 2048 x 2048 x 2048 problem (or N x N x N with N as the first
// argument) for two epochs. Prints the longest gap and the time per epoch; before the
// epoch loop had a thread of its own, the longest gap was a whole epoch.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/network_state.h"
#include "pages/page_id.h"
#include "pages/setup_page.h"
#include "ui/dialogs.h"
#include "ui/page_runtime.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 2048;
    const int epochs = 2;

    core::PublicStuff net;
    pages::Session session;
    net.TrainingFileName = "stall.net";
    net.NumInputs = net.NumOutputs = net.NumPatterns = n;
    net.InputPatterns = core::PatternTable(n, n);
    net.DesiredOutputs = core::PatternTable(n, n);
    for (int p = 1; p <= n; ++p) {
        for (int u = 1; u <= n; ++u) {
            net.InputPatterns(u, p) = ((u * 7 + p * 13) % 17 - 8) / (8.0 * n);
            net.DesiredOutputs(u, p) = ((u * 5 + p * 3) % 11 - 5) / 5.0;
        }
    }
    net.FreshStart = 1;

    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    ui::PageRuntime runtime(dialogs);
    runtime.registerPage(pages::PageId::Setup, [&net, &session](ui::PageRuntime& r) {
        return new pages::SetupPage(r, net, session);
    });
    auto* page = static_cast<pages::SetupPage*>(runtime.Show(pages::PageId::Setup));
    page->OptionDelta->click();
    page->SweepsBox->setText(QString::number(epochs));
    page->PrintSweepsBox->setText(QStringLiteral("1"));

    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) {
            longest = std::max(longest, now - last);
        }
        last = now;
    });
    clock.start();
    probe.start();
    page->StartTraining_Click();
    probe.stop();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf(
        "%d x %d x %d, %d Delta epochs on the setup page: %.2f s per epoch; longest "
        "time without handling events %.1f ms; epochs trained %d\n",
        n, n, n, epochs, seconds / epochs, static_cast<double>(longest) / 1e6, net.SweepCount);
    return 0;
}
