// A trained network kept in a file through the real pages: saved from the menu, opened on
// the start page next time, shown on the setup page as its run left it and trained on to
// the bits of a run never interrupted; and the question before leaving unsaved training.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/network_state.h"
#include "pages/page_id.h"
#include "pages/setup_page.h"
#include "tests/support/program_driver.h"

namespace {

using support::ProgramDriver;

const QString kLeave =
    QStringLiteral("The trained network has not been saved. Save it before leaving?");

// Trains tiny.net with the Delta rule at rate 0.25 for 100 epochs and stops on the setup page.
bool trainTiny(ProgramDriver& program) {
    if (program.runtime.Show(pages::PageId::Start) == nullptr || !program.load("tiny.net") ||
        !program.goOn()) {
        return false;
    }
    program.setup()->LRateBox->setText(QStringLiteral("0.25"));
    return program.train(QStringLiteral("Delta")) && program.net.SweepCount == 100;
}

bool sameWeights(const core::PublicStuff& a, const core::PublicStuff& b) {
    for (int j = 1; j <= a.NumOutputs; ++j) {
        for (int i = 1; i <= a.NumInputs; ++i) {
            if (a.Weights.Weight(j, i) != b.Weights.Weight(j, i)) {
                return false;
            }
        }
    }
    return a.TotalSSE == b.TotalSSE && a.SweepCount == b.SweepCount;
}

}  // namespace

class TestNetworkFilePages : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(
            QFile::copy(QStringLiteral(DAM_EXAMPLES "/tiny.net"), m_folder->filePath("tiny.net")));
        QDir::setCurrent(m_folder->path());
    }

    void savedNetworkOpensWhereItsRunEndedAndTrainsOnToTheSameBits() {
        ProgramDriver first;
        QVERIFY(trainTiny(first));
        QVERIFY(first.testRecall());
        first.dialogs.choose(QString());                   // the name offered, taken as it is
        first.dialogs.choose(m_folder->filePath("tiny"));  // ".h5" is added
        QVERIFY(first.pick(QStringLiteral("Save The Trained Network")));  // cancelled
        QVERIFY(!QFile::exists(m_folder->filePath("tiny.h5")));
        QVERIFY(first.pick(QStringLiteral("Save The Trained Network")));
        QCOMPARE(first.dialogs.shown().front().text, m_folder->filePath("tiny.h5"));
        QVERIFY(QFile::exists(m_folder->filePath("tiny.h5")));
        const auto* said = first.menu()->findChild<QLabel*>(QStringLiteral("Label3"));
        QCOMPARE(said->text(), QStringLiteral("Saved tiny.h5 in %1.").arg(m_folder->path()));

        // Next week: a new program opens the file from the start page.
        ProgramDriver second;
        QVERIFY(second.runtime.Show(pages::PageId::Start) != nullptr);
        QVERIFY(second.load(QStringLiteral("tiny.h5")));
        const auto* info = second.start()->findChild<QLabel*>(QStringLiteral("TrainedInfo"));
        QVERIFY(info != nullptr && info->isVisible());
        QCOMPARE(info->text(), QStringLiteral("Trained 100 epochs: Delta 0.25 for 100"));
        QVERIFY(second.goOn());
        pages::SetupPage* setup = second.setup();
        QVERIFY(setup->OptionDelta->isChecked());
        QCOMPARE(setup->LRateBox->text(), QStringLiteral("0.25"));
        QCOMPARE(setup->SweepsBox->text(), QStringLiteral("100"));
        QCOMPARE(setup->Picture1[1]->lines(), QStringList{QStringLiteral("Epochs: 100")});
        QVERIFY(setup->Continue->isVisible() && setup->TestRecall->isVisible());
        QVERIFY(!setup->LRateBox->isEnabled());

        // Continue in both: the opened network goes on exactly as the one never closed.
        QVERIFY(ProgramDriver::click(second.setup(), "Continue"));
        QVERIFY(first.pick(QStringLiteral("Keep Current Weights And Continue Training")));
        QVERIFY(first.setup() != nullptr);
        first.setup()->LRateBox->setText(QStringLiteral("0.25"));
        QVERIFY(first.train(QStringLiteral("Delta")));
        QCOMPARE(first.net.SweepCount, 200);
        QCOMPARE(second.net.SweepCount, 200);
        QVERIFY(sameWeights(first.net, second.net));
        QCOMPARE(second.net.SSEHistoryCount, first.net.SSEHistoryCount);

        // Saved, trained on, and the opened one leaves only after the question.
        second.dialogs.answer(ui::Answer::No);
        QVERIFY(ProgramDriver::click(second.setup(), "Command2"));
        QCOMPARE(second.dialogs.shown().back().text, kLeave);
        QCOMPARE(second.runtime.loadedCount(), 0);
        first.dialogs.answer(ui::Answer::No);
        QVERIFY(ProgramDriver::click(first.setup(), "Command2"));
    }

    void leavingAsksOnlyAfterUnsavedTraining() {
        ProgramDriver untrained;
        QVERIFY(untrained.runtime.Show(pages::PageId::Start) != nullptr);
        QVERIFY(ProgramDriver::click(untrained.start(), "Command2"));  // no question
        QCOMPARE(untrained.runtime.loadedCount(), 0);
        QVERIFY(untrained.dialogs.shown().isEmpty());

        ProgramDriver program;
        QVERIFY(trainTiny(program));
        program.dialogs.answer(ui::Answer::Cancel);
        QVERIFY(ProgramDriver::click(program.setup(), "Command2"));
        QCOMPARE(program.dialogs.shown().back().text, kLeave);
        QVERIFY(program.setup() != nullptr);  // stays

        // Yes saves first; a cancelled name keeps the program running.
        program.dialogs.answer(ui::Answer::Yes);
        program.dialogs.choose(QString());
        QVERIFY(ProgramDriver::click(program.setup(), "Command2"));
        QVERIFY(program.setup() != nullptr);

        program.dialogs.answer(ui::Answer::Yes);
        program.dialogs.choose(m_folder->filePath("kept.h5"));
        QVERIFY(ProgramDriver::click(program.setup(), "Command2"));
        QCOMPARE(program.runtime.loadedCount(), 0);
        QVERIFY(QFile::exists(m_folder->filePath("kept.h5")));
        QCOMPARE(program.dialogs.unanswered(), 0);
    }

  private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

QTEST_MAIN(TestNetworkFilePages)
#include "tst_network_file_pages.moc"
