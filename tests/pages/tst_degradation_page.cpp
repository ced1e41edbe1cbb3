// The page "Graceful Degradation", driven through its real widgets: the curves drawn for
// the Seed box's seed and drawn again for another, a seed that is not a number, an
// untrained network refused.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <memory>
#include <tuple>

#include "pages/degradation_chart.h"
#include "pages/degradation_page.h"
#include "tests/support/long_task_cancel.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"
#include "ui/long_task.h"

namespace {

using pages::PageId;
using ui::PageKey;

// Two bipolar patterns stored by identity weights, so that recall is perfect.
struct Program : support::PageProgram {
    Program() {
        add<pages::DegradationPage>(PageId::Degradation);
        net = support::NetworkFromRows({{1, -1}, {-1, -1}}, {{1, -1}, {-1, -1}});
        support::SetTrainedWeights(net, {1, 0, 0, 1});
    }
    pages::DegradationPage* open() {
        return showExposed<pages::DegradationPage>(PageId::Degradation);
    }
};

}  // namespace

class TestDegradationPage : public QObject {
    Q_OBJECT

  private slots:
    void init() { ui::LongTaskDelayMs = 0; }
    void cleanup();
    void curvesAreDrawnForTheSeedAndAgainForAnother();
    void aSeedThatIsNoNumberIsRefused();
    void untrainedNetworkIsRefused();
    void aCancelledRunSaysSoAndLeavesNothingToPrint();
    void aSeedTypedBackDrawsTheSameAxis();

  private:
    std::unique_ptr<Program> m_program = std::make_unique<Program>();
};

void TestDegradationPage::cleanup() {
    QCOMPARE(m_program->dialogs.unanswered(), 0);
    m_program = std::make_unique<Program>();
}

void TestDegradationPage::curvesAreDrawnForTheSeedAndAgainForAnother() {
    pages::DegradationPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->windowTitle(),
             QStringLiteral("Graceful Degradation -- Tavrel Neural Network Code"));
    QCOMPARE(page->shownSeed(), std::optional<std::uint64_t>(1));
    pages::DegradationChart* chart = page->chart();
    for (QLineSeries* s :
         {chart->noiseSSE(), chart->lostSSE(), chart->noiseRecalled(), chart->lostRecalled()}) {
        QCOMPARE(s->count(), 21);
        QCOMPARE(s->at(20).x(), 100.0);
    }
    // Undamaged, recall is perfect; every connection lost, each response is 0, at squared
    // distance 2 from both desired outputs: a tie, so no pattern is recalled.
    QCOMPARE(chart->noiseSSE()->at(0).y(), 0.0);
    QCOMPARE(chart->noiseRecalled()->at(0).y(), 100.0);
    QCOMPARE(chart->lostSSE()->at(20).y(), 2.0);
    QCOMPARE(chart->lostRecalled()->at(20).y(), 0.0);
    // Every input flipped: each response is the pattern's negation.
    QCOMPARE(chart->noiseSSE()->at(20).y(), 8.0);

    const QList<QPointF> first = chart->noiseSSE()->points();
    page->SeedBox->setText(QStringLiteral("2"));
    page->SeedBox_Change();
    QCOMPARE(page->shownSeed(), std::optional<std::uint64_t>(2));
    QVERIFY(chart->noiseSSE()->points() != first);
    page->SeedBox->setText(QStringLiteral("1"));
    page->SeedBox_Change();
    QCOMPARE(chart->noiseSSE()->points(), first);
}

void TestDegradationPage::aSeedThatIsNoNumberIsRefused() {
    pages::DegradationPage* page = m_program->open();
    QVERIFY(page);
    m_program->dialogs.answer(ui::Answer::Ok);
    page->SeedBox->setText(QStringLiteral("x1"));
    page->SeedBox_Change();
    support::checkWarnings(
        m_program->dialogs,
        QStringList{QStringLiteral("\"x1\" is not a seed. Type a whole number from 0 to "
                                   "281474976710655 in the Seed box.")});
    QCOMPARE(page->SeedBox->text(), QStringLiteral("1"));
}

void TestDegradationPage::aSeedTypedBackDrawsTheSameAxis() {
    // Real inputs get Gaussian noise, so each seed reaches another largest SSE.
    m_program->net = support::NetworkFromRows({{0.3, 1.2}, {-0.7, 0.4}}, {{1, 0}, {0, 1}});
    support::SetTrainedWeights(m_program->net, {0.5, -0.2, 0.1, 0.9});
    pages::DegradationPage* page = m_program->open();
    QVERIFY(page);
    const QValueAxis* axis = page->chart()->sseAxis();
    const auto shown = [axis] { return std::tuple{axis->max(), axis->tickCount()}; };
    const auto first = shown();
    for (const char* seed : {"7", "1"}) {
        page->SeedBox->setText(QString::fromLatin1(seed));
        page->SeedBox_Change();
    }
    QVERIFY(shown() == first);
}

void TestDegradationPage::aCancelledRunSaysSoAndLeavesNothingToPrint() {
    // Large enough that the curves take a while: the dialog's Esc comes first.
    support::Rows inputs(60, std::vector<double>(200));
    for (std::size_t p = 0; p < inputs.size(); ++p) {
        for (std::size_t i = 0; i < inputs[p].size(); ++i) {
            inputs[p][i] = (p * 7 + i * 3) % 5 == 0 ? 1.0 : -1.0;
        }
    }
    m_program->net = support::NetworkFromRows(inputs, inputs);
    m_program->net.TrainedOnProblem = true;
    auto* page = static_cast<pages::DegradationPage*>(m_program->runtime.Load(PageId::Degradation));
    {
        support::CancelFirstLongTask cancel(page);
        QVERIFY(m_program->open() == page);
        QVERIFY(!cancel.status().isEmpty());
    }
    QVERIFY(!page->shownSeed());
    QCOMPARE(page->chart()->title(),
             QStringLiteral("Working out the curves was cancelled. Press Enter in the Seed box "
                            "to work them out again."));
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);
    support::checkWarnings(
        m_program->dialogs,
        QStringList{QStringLiteral("There is no graph to print or copy: working out the curves "
                                   "was cancelled. Press Enter in the Seed box to work them out "
                                   "again.")});
    QVERIFY(m_program->printer.jobs().isEmpty());
}

void TestDegradationPage::untrainedNetworkIsRefused() {
    m_program->net.TrainedOnProblem = false;
    const QString refusal = QString::fromStdString(core::NotTrainedProblem(m_program->net));
    m_program->dialogs.answer(ui::Answer::Ok);
    pages::DegradationPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->chart()->noiseSSE()->count(), 0);
    m_program->runtime.Show(PageId::Degradation);  // asked once only
    support::checkWarnings(m_program->dialogs, QStringList{refusal});
}

QTEST_MAIN(TestDegradationPage)
#include "tst_degradation_page.moc"
