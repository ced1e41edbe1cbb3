// The menu's spreadsheet export with scripted dialogs: where the save dialog opens, the
// extension, the overwrite question, and the refusals shown to the student.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>

#include "files/loader.h"
#include "files/replacement_file.h"
#include "pages/session.h"
#include "pages/spreadsheet_export.h"
#include "tests/support/network_builder.h"
#include "tests/support/scripted_dialogs.h"

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

constexpr const char* kSigtermChild = "--export-until-sigterm";

// The child of sigtermDuringExportLeavesTheOldFile: the program's cleanup of temporary files
// installed as main installs it, then an export over `folder`/results.xlsx of a network
// large enough to take a while, ended by SIGTERM as soon as its temporary file exists.
int exportUntilSigterm(const QString& folder) {
    files::InstallTemporaryFileCleanup();
    const support::Rows zeros(100, std::vector<double>(600));
    core::PublicStuff net = support::NetworkFromRows(zeros, zeros, "large.net");
    net.TrainedOnProblem = true;
    pages::Session session;
    session.TrainingFolder = folder.toStdString();
    const QDir dir(folder);
    std::thread watcher([dir] {
        while (dir.entryList({QStringLiteral(".results.xlsx.*")}, QDir::Files | QDir::Hidden)
                   .isEmpty()) {
            std::this_thread::yield();
        }
        std::raise(SIGTERM);
    });
    watcher.detach();  // the signal ends the process while the export writes
    support::ScriptedDialogs dialogs;
    dialogs.choose(dir.filePath(QStringLiteral("results.xlsx")));
    dialogs.answer(ui::Answer::Yes);  // replace the earlier file
    pages::CreateSpreadsheet(nullptr, dialogs, net, session);
    return 3;  // the export finished before the signal: the parent says so
}

}  // namespace

class TestSpreadsheetExport : public QObject {
    Q_OBJECT
  private slots:
    void exportFlow();
    void sigtermDuringExportLeavesTheOldFile();
};

void TestSpreadsheetExport::exportFlow() {
    QTemporaryDir dir;
    core::PublicStuff net = support::NetworkFromFile(DAM_EXAMPLES "/tiny.net");
    net.TrainedOnProblem = true;  // zero weights stand for a run on it
    pages::Session session;
    session.TrainingFolder = dir.path().toStdString();
    support::ScriptedDialogs dialogs;
    const auto run = [&] { pages::CreateSpreadsheet(nullptr, dialogs, net, session); };
    const QString results = dir.filePath(QStringLiteral("results.xlsx"));

    dialogs.choose(QString());  // cancelled: nothing written
    run();
    QCOMPARE(dialogs.texts(), QStringList{dir.filePath(QStringLiteral("tiny.xlsx"))});
    QCOMPARE(dialogs.shown()[0].title, QStringLiteral("Create A Spreadsheet Of The Results"));
    QCOMPARE(dialogs.filters(), QStringList{QStringLiteral("Excel Workbook (*.xlsx)")});
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    dialogs.choose(dir.filePath(QStringLiteral("results")));  // gets its extension
    run();
    QVERIFY(contents(results).startsWith("PK"));

    QVERIFY(QFile::remove(results));
    QVERIFY(QFile(results).open(QIODevice::WriteOnly));
    for (const ui::Answer answer : {ui::Answer::No, ui::Answer::Yes}) {
        dialogs.choose(results);
        dialogs.answer(answer);
        run();
        const support::ShownDialog& asked = dialogs.shown().back();
        QCOMPARE(asked.text, QStringLiteral("File already exists -- overwrite it?"));
        QCOMPARE(asked.title, QStringLiteral("Pre-existing Filename"));
        QCOMPARE(asked.icon, ui::Icon::Question);
        QCOMPARE(asked.defaultButton, ui::Answer::No);
        QCOMPARE(contents(results).startsWith("PK"), answer == ui::Answer::Yes);
    }

    // Another name ends in .xlsx too; a name that is the training file by a link is refused
    // before any question, naming both.
    dialogs.choose(dir.filePath(QStringLiteral("other.net")));
    run();
    QVERIFY(contents(dir.filePath(QStringLiteral("other.net.xlsx"))).startsWith("PK"));
    QVERIFY(QFile(dir.filePath(QStringLiteral("tiny.net"))).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(QStringLiteral("tiny.net"), dir.filePath(QStringLiteral("link.xlsx"))));
    dialogs.choose(dir.filePath(QStringLiteral("link.xlsx")));
    dialogs.answer(ui::Answer::Ok);
    run();
    QCOMPARE(dialogs.texts().last(), QStringLiteral("Cannot save to \"link.xlsx\": it is the "
                                                    "training file in use, \"tiny.net\". Choose "
                                                    "another name."));
    QCOMPARE(contents(dir.filePath(QStringLiteral("tiny.net"))), QByteArray());

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.xlsx")));
    const QString missing = dir.filePath(QStringLiteral("missing/x.xlsx"));
    for (const QString& path : {dir.filePath(QStringLiteral("folder.xlsx")), missing}) {
        dialogs.choose(path);
        dialogs.answer(ui::Answer::Ok);
        run();
        const support::ShownDialog& shown = dialogs.shown().back();
        QVERIFY2(shown.text.contains(path), qPrintable(shown.text));
        QCOMPARE(shown.icon, ui::Icon::Exclamation);
    }
    QVERIFY(dialogs.shown().back().text.contains(QStringLiteral("No such file or directory")));
    QCOMPARE(dialogs.unanswered(), 0);
    QVERIFY(dialogs.errors().isEmpty());
}

// SIGTERM while a workbook is written removes its temporary file and keeps the file it was
// to replace, in the window as in the batch trainer.
void TestSpreadsheetExport::sigtermDuringExportLeavesTheOldFile() {
    QTemporaryDir dir;
    const QString results = dir.filePath(QStringLiteral("results.xlsx"));
    QFile earlier(results);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier workbook");
    earlier.close();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kSigtermChild), dir.path()});
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(contents(results), QByteArray("an earlier workbook"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{QStringLiteral("results.xlsx")});
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kSigtermChild) == 0) {
        return exportUntilSigterm(QString::fromLocal8Bit(argv[2]));
    }
    TestSpreadsheetExport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_spreadsheet_export.moc"
