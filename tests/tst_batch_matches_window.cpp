// The batch trainer and the windows train and report through the same code: for the same
// file and parameters the saved reports are identical, date and time lines aside.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/loader.h"
#include "pages/program_pages.h"
#include "support/scripted_dialogs.h"
#include "training/setup_page.h"
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
        ui::PageRuntime runtime(dialogs);
        pages::registerProgramPages(runtime, net);
        std::string error;
        QVERIFY(core::LoadTrainingFile(net, trainingFile.toStdString(), &error));
        net.TrainingFileName = file.toStdString();
        net.FreshStart = 1;
        auto* setup = static_cast<training::SetupPage*>(runtime.Show(ui::PageId::DistMem));
        if (delta)
            QTest::mouseClick(setup->OptionDelta, Qt::LeftButton);
        setup->LRateBox->setText(rate);
        setup->SweepsBox->setText(epochs);
        setup->PrintSweepsBox->setText(print);
        QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
        QTest::mouseClick(setup->Continue, Qt::LeftButton);
        QWidget* save = runtime.Show(ui::PageId::SaveResults);
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
};

}  // namespace

QTEST_MAIN(TestBatchMatchesWindow)
#include "tst_batch_matches_window.moc"
