// The batch trainer and the windows train and report through the same code: for the same
// file and parameters the saved reports are identical, date and time lines aside.

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "files/loader.h"
#include "pages/page_id.h"
#include "pages/program_pages.h"
#include "pages/session.h"
#include "pages/setup_page.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/page_runtime.h"

namespace {

// The report without its date and time lines.
QByteArray withoutClock(QByteArray report) {
    QList<QByteArray> lines = report.split('\n');
    lines.removeIf([](const QByteArray& line) {
        return line.startsWith("Date Of Analysis: ") || line.startsWith("Time Of Analysis: ");
    });
    return lines.join('\n');
}

class TestBatchMatchesWindow : public QObject {
    Q_OBJECT
  private slots:
    void sameReportBytes_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("delta");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("epochs");
        QTest::addColumn<QString>("print");
        QTest::newRow("tiny, Delta") << "tiny.net" << true << "0.25"
                                     << "50"
                                     << "5";
        QTest::newRow("independent, Hebb") << "independent.net" << false << "0.1"
                                           << "30"
                                           << "7";
        QTest::newRow("bipolar, Delta, rising error") << "bipolar.net" << true << "0.3"
                                                      << "40"
                                                      << "1";
    }

    void sameReportBytes() {
        QFETCH(QString, file);
        QFETCH(bool, delta);
        QFETCH(QString, rate);
        QFETCH(QString, epochs);
        QFETCH(QString, print);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QDir::setCurrent(folder.path());
        const QString trainingFile = QStringLiteral(DAM_EXAMPLES "/") + file;

        // The windows: train, continue once, then save every section.
        support::ScriptedDialogs dialogs;
        core::PublicStuff net;
        pages::Session session;
        ui::PageRuntime runtime(dialogs);
        pages::RegisterProgramPages(runtime, net, session);
        std::string error;
        QVERIFY(files::LoadTrainingFile(net, trainingFile.toStdString(), error));
        net.TrainingFileName = file.toStdString();
        net.FreshStart = 1;
        auto* setup = static_cast<pages::SetupPage*>(runtime.Show(pages::PageId::Setup));
        if (delta)
            QTest::mouseClick(setup->OptionDelta, Qt::LeftButton);
        setup->LRateBox->setText(rate);
        setup->SweepsBox->setText(epochs);
        setup->PrintSweepsBox->setText(print);
        QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
        QTest::mouseClick(setup->Continue, Qt::LeftButton);
        QWidget* save = runtime.Show(pages::PageId::Save);
        for (int k = 0; k < 7; ++k)
            save->findChild<QCheckBox*>(QStringLiteral("Check1(%1)").arg(k))->setChecked(true);
        dialogs.type(QStringLiteral("window"));
        QTest::mouseClick(save->findChild<QPushButton*>("FileButton"), Qt::LeftButton);
        QTest::mouseClick(save->findChild<QPushButton*>("SaveFile"), Qt::LeftButton);
        QCOMPARE(dialogs.shown().size(), 1);  // only the file-name box

        // The batch trainer with the same parameters.
        QProcess batch;
        batch.start(QStringLiteral(DAM_BATCH),
                    {trainingFile, "--rule", delta ? "Delta" : "Hebb", "--rate", rate, "--epochs",
                     epochs, "--print", print, "--continue", "1", "--report",
                     folder.filePath("batch.txt"), "--sections", "0123456"});
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(batch.exitCode(), 0);

        QFile windowReport(folder.filePath("window.txt"));
        QFile batchReport(folder.filePath("batch.txt"));
        QVERIFY(windowReport.open(QIODevice::ReadOnly));
        QVERIFY(batchReport.open(QIODevice::ReadOnly));
        const QByteArray windowBytes = windowReport.readAll();
        QVERIFY(windowBytes.size() > 500);
        QCOMPARE(withoutClock(batchReport.readAll()), withoutClock(windowBytes));
    }

    // What cannot be done is refused before any training: nothing on standard output, no
    // report. %1 is tiny.net's copy, %2 the folder.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("exitCode");
        const QString none;
        QTest::newRow("empty report name")
            << QStringList{"%1", "--report", ""} << "--report needs a file name" << none << 2;
        QTest::newRow("report over the training file")
            << QStringList{"%1", "--report", "%1"} << "names the training file itself" << none << 2;
        QTest::newRow("the training file by a link")
            << QStringList{"%1", "--report", "%2/link.net"} << "names the training file itself"
            << none << 2;
        QTest::newRow("more epochs than the counter holds")
            << QStringList{"%1", "--epochs", "1", "--continue", "32767", "--report", "%2/r.txt"}
            << "make 32768 epochs" << none << 2;
        QTest::newRow("FIFO as training file")
            << QStringList{"%2/fifo"} << "is not a regular file" << none << 1;
        QTest::newRow("FIFO as report")
            << QStringList{"%1", "--report", "%2/fifo"} << "not a regular file" << none << 1;
        QTest::newRow("overflow before the first epoch")
            << QStringList{"%2/v.net", "--report", "%2/r.txt"}
            << "no report, workbook or network file written: training stopped before the first "
               "epoch"
            << "v.net: Hebb rule, rate 0.1, training stopped before the first epoch, no total SSE"
            << 1;
    }
    void refusals() {
        QFETCH(QStringList, args);
        QTemporaryDir folder;
        const QString training = folder.filePath("tiny.net");
        QVERIFY(QFile::copy(QStringLiteral(DAM_EXAMPLES "/tiny.net"), training));
        QVERIFY(QFile::link(training, folder.filePath("link.net")));
        QVERIFY(::mkfifo(QFile::encodeName(folder.filePath("fifo")).constData(), 0600) == 0);
        QFile overflow(folder.filePath("v.net"));
        QVERIFY(overflow.open(QIODevice::WriteOnly));
        overflow.write("1 0 1 1 1 1e200");
        overflow.close();
        for (QString& arg : args)
            arg.replace(QStringLiteral("%1"), training)
                .replace(QStringLiteral("%2"), folder.path());
        QProcess batch;
        batch.start(QStringLiteral(DAM_BATCH), args);
        QVERIFY(batch.waitForFinished(20000));
        QTEST(batch.exitCode(), "exitCode");
        QFETCH(QString, said);
        QVERIFY2(batch.readAllStandardError().contains(said.toUtf8()), qPrintable(said));
        QFETCH(QString, summary);
        QVERIFY(batch.readAllStandardOutput().startsWith(summary.toUtf8()));
        QVERIFY(!QFileInfo::exists(folder.filePath("r.txt")));
        QCOMPARE(QFileInfo(folder.filePath("fifo")).isFile(), false);
    }

    // "--report -": the report on standard output, the summary line on standard error.
    void reportToStandardOutput() {
        QProcess batch;
        batch.start(QStringLiteral(DAM_BATCH),
                    {QStringLiteral(DAM_EXAMPLES "/tiny.net"), "--report", "-"});
        QVERIFY(batch.waitForFinished(20000));
        QCOMPARE(batch.exitCode(), 0);
        QVERIFY(batch.readAllStandardOutput().startsWith(
            "Distributed Associative Memory Program\r\r\n"));
        QVERIFY(batch.readAllStandardError().startsWith("tiny.net: Hebb rule"));
    }
};

}  // namespace

QTEST_MAIN(TestBatchMatchesWindow)
#include "tst_batch_matches_window.moc"
