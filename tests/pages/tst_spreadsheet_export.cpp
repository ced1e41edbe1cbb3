// The menu's spreadsheet export with scripted dialogs: where the save dialog opens, the
// extension, the overwrite question, and the refusals shown to the student.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "files/loader.h"
#include "pages/spreadsheet_export.h"
#include "tests/support/scripted_dialogs.h"

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

}  // namespace

class TestSpreadsheetExport : public QObject {
    Q_OBJECT
  private slots:
    void exportFlow();
};

void TestSpreadsheetExport::exportFlow() {
    QTemporaryDir dir;
    core::PublicStuff net;
    std::string error;
    QVERIFY(files::LoadTrainingFile(net, DAM_EXAMPLES "/tiny.net", error));
    net.CreateUnitsAndWeights();
    net.TrainedOnProblem = true;  // zero weights stand for a run on it
    net.TrainingFileName = "tiny.net";
    net.TrainingFolder = dir.path().toStdString();
    support::ScriptedDialogs dialogs;
    const auto run = [&] { pages::CreateSpreadsheet(nullptr, dialogs, net); };
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

QTEST_MAIN(TestSpreadsheetExport)
#include "tst_spreadsheet_export.moc"
