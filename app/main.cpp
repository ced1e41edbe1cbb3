// distmem: trains and examines a distributed associative memory.
//
// Data flow. One network (core::PublicStuff: problem, network and run record) and one
// pages::Session (folders, unsaved training, the runs so far) live for the whole program;
// every page works on them and the pages pass nothing else to each other.
// - The start page (pages/) loads a training file, or opens a saved network, through
//   files/ into it (the command line's file too).
// - The setup page re-creates the units and weights and drives training/'s epoch loop,
//   which runs core/'s kernel and records the SSE history; views/ turns the progress
//   into rows and text/ the numbers into text.
// - The menu leads to the pages that examine the trained network (probe, report, graph,
//   spreadsheet, analysis, weight map), built on views/, report/ and analysis/, or back
//   to training.
// Work that takes a while (loads, saves, training, forecasts) runs off the window thread
// through ui/'s one helper. Pages are loaded, shown and unloaded through one PageRuntime,
// which ends the program when the last page is unloaded.

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <clocale>

#include "core/network_state.h"
#include "files/replacement_file.h"
#include "pages/page_id.h"
#include "pages/program_pages.h"
#include "pages/start_page.h"
#include "ui/dialogs.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"

int main(int argc, char* argv[]) {
    (void)files::FileCreationMask();  // read once, before any thread starts
    // A signal that ends the program (SIGTERM during a spreadsheet export) removes every
    // temporary file open at that moment.
    files::InstallTemporaryFileCleanup();
    QApplication app(argc, argv);
    // Qt takes the user's locale for everything; the program formats numbers itself with
    // the locale's separators, so the C library keeps reading and writing plain numbers.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QString::fromLatin1(pages::ProgramTitle));
    // Ties the windows to the installed menu entry and icon (both named by the id).
    QGuiApplication::setDesktopFileName(QStringLiteral(DAM_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(DAM_APP_ID)));
    QApplication::setApplicationVersion(QStringLiteral(DAM_PROGRAM_VERSION));

    // --help and --version answer on the terminal and end, as command-line programs do.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Trains and examines a distributed associative memory. Give a training file (.net) or "
        "a saved network (.h5) to start with it loaded."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A training file (.net) or a saved network (.h5)."),
                                 QStringLiteral("[file]"));
    parser.process(app);
    const QStringList given = parser.positionalArguments();

    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    ui::PageRuntime runtime(dialogs);
    core::PublicStuff net;
    pages::Session session;
    pages::RegisterProgramPages(runtime, net, session);
    QApplication::setQuitOnLastWindowClosed(false);  // the runtime decides when to end
    QObject::connect(&runtime, &ui::PageRuntime::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    ui::Page* start = runtime.Show(pages::PageId::Start);
    if (!given.isEmpty() && start != nullptr) {
        static_cast<pages::StartPage*>(start)->loadGiven(given.front());
    }
    const int status = QApplication::exec();
    ui::JoinBackgroundWork();
    return status;
}
