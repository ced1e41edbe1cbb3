// The connection weights page, driven through its real widgets: the map's colours read
// from its picture, what pointing at a cell shows, redrawing, refusing an untrained
// network, and the print route.

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "pages/weight_map_page.h"
#include "pages/weight_map_view.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"
#include "training/taken_network.h"
#include "ui/long_task.h"

namespace {

using pages::PageId;
using ui::PageKey;

struct Program : support::PageProgram {
    Program() { add<pages::WeightMapPage>(PageId::WeightMap); }

    // A trained network of `outputs` x `inputs` with `weights` output by output.
    void build(int outputs, int inputs, const QList<double>& weights) {
        net = support::NetworkFromRows({std::vector<double>(static_cast<std::size_t>(inputs))},
                                       {std::vector<double>(static_cast<std::size_t>(outputs))});
        support::SetTrainedWeights(net, {weights.begin(), weights.end()});
    }

    pages::WeightMapPage* open() { return showExposed<pages::WeightMapPage>(PageId::WeightMap); }
};

// The middle of the cell of output j, input i.
QPoint cellCentre(const pages::WeightMapView* map, int j, int i) {
    const QRect area = map->cellArea();
    const int rows = map->grid().rows();
    const int columns = map->grid().columns();
    return {area.left() + ((2 * (i - 1) + 1) * area.width()) / (2 * columns),
            area.top() + ((2 * (j - 1) + 1) * area.height()) / (2 * rows)};
}

QColor shown(pages::WeightMapView* map, int j, int i) {
    return map->grab().toImage().pixelColor(cellCentre(map, j, i));
}

}  // namespace

class TestWeightMapPage : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();
    void cellsShowTheWeightsColours();
    void pointingAtACellNamesItsConnection();
    void redrawsWhenShownAgainAndAfterARun();
    void untrainedNetworkIsRefused();
    void printCopiesTheMapAndPrintsIt();

  private:
    std::unique_ptr<Program> m_program = std::make_unique<Program>();
};

void TestWeightMapPage::cleanup() {
    QCOMPARE(m_program->dialogs.unanswered(), 0);
    m_program = std::make_unique<Program>();
}

void TestWeightMapPage::cellsShowTheWeightsColours() {
    m_program->build(2, 3, {2, -2, 1, 0, -0.5, 0.1});
    pages::WeightMapPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->windowTitle(),
             QStringLiteral("Connection Weights -- Tavrel Neural Network Code"));
    pages::WeightMapView* map = page->WeightMap;
    QCOMPARE(shown(map, 1, 1), QColor(255, 0, 0));
    QCOMPARE(shown(map, 1, 2), QColor(0, 0, 255));
    QCOMPARE(shown(map, 1, 3), QColor(255, 128, 128));
    QCOMPARE(shown(map, 2, 1), QColor(255, 255, 255));
    QCOMPARE(shown(map, 2, 2), QColor(191, 191, 255));
    // Output 1 is the top row, input 1 the left column.
    QVERIFY(cellCentre(map, 1, 1).y() < cellCentre(map, 2, 1).y());
    QVERIFY(cellCentre(map, 1, 1).x() < cellCentre(map, 1, 2).x());

    // Every weight zero: all white.
    m_program->build(2, 3, {});
    m_program->runtime.Show(PageId::WeightMap);
    QCOMPARE(shown(map, 1, 1), QColor(255, 255, 255));
    QCOMPARE(shown(map, 2, 3), QColor(255, 255, 255));
}

void TestWeightMapPage::pointingAtACellNamesItsConnection() {
    m_program->build(2, 3, {2, -2, 1, 0, 1.0 / 3.0, 0.1});
    pages::WeightMapPage* page = m_program->open();
    QVERIFY(page);
    pages::WeightMapView* map = page->WeightMap;
    QCOMPARE(map->connectionAt(cellCentre(map, 2, 2)),
             QStringLiteral("Output 2, Input 2: 0.3333333333333333"));
    QCOMPARE(map->connectionAt(cellCentre(map, 2, 3)), QStringLiteral("Output 2, Input 3: 0.1"));
    QCOMPARE(map->connectionAt(QPoint(1, 1)), QString());

    // While a run holds the network it may be writing the weights: nothing reads them.
    {
        training::TakenNetwork taken(m_program->net);
        QCOMPARE(map->connectionAt(cellCentre(map, 2, 3)), QString());
    }
    QCOMPARE(map->connectionAt(cellCentre(map, 2, 3)), QStringLiteral("Output 2, Input 3: 0.1"));
}

void TestWeightMapPage::redrawsWhenShownAgainAndAfterARun() {
    m_program->build(2, 2, {1, 0, 0, 0});
    pages::WeightMapPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(shown(page->WeightMap, 2, 2), QColor(255, 255, 255));

    // A run ends while the page is open: it gives the weights back before input is
    // unlocked, so the redraw shows what it wrote.
    training::TakenNetwork taken(m_program->net);
    ui::LongTask run;
    run.work = [&taken] {
        taken.network().Weights.setWeight(2, 2, -1.0);
        return true;
    };
    run.afterWork = [&taken] { taken.giveBack(); };
    QCOMPARE(ui::RunLongTask(m_program->runtime, page, run), core::WorkEnd::Done);
    QCOMPARE(shown(page->WeightMap, 2, 2), QColor(0, 0, 255));

    // Chosen again from the menu.
    m_program->net.Weights.setWeight(2, 2, 0.5);
    QCOMPARE(m_program->runtime.Show(PageId::WeightMap), page);
    QCOMPARE(shown(page->WeightMap, 2, 2), QColor(255, 128, 128));
}

void TestWeightMapPage::untrainedNetworkIsRefused() {
    m_program->build(2, 2, {1, 0, 0, 0});
    m_program->net.TrainedOnProblem = false;
    const QString refusal = QString::fromStdString(core::NotTrainedProblem(m_program->net));
    QVERIFY(!refusal.isEmpty());
    m_program->dialogs.answer(ui::Answer::Ok);
    pages::WeightMapPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->WeightMap->cellArea(), QRect());
    m_program->dialogs.answer(ui::Answer::Ok);
    page->PrintTheMap_Click();
    support::checkWarnings(m_program->dialogs, {refusal, refusal});
    QVERIFY(m_program->printer.jobs().isEmpty());
}

void TestWeightMapPage::printCopiesTheMapAndPrintsIt() {
    m_program->build(2, 2, {1, -1, 0.5, 0});
    pages::WeightMapPage* page = m_program->open();
    QVERIFY(page);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintTheMap, Qt::LeftButton);
    QCOMPARE(m_program->dialogs.texts(),
             QStringList{"Sent to the printer " + support::ScriptedPrinter::name()});
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), page->WeightMap->size() * page->WeightMap->devicePixelRatio());
    QCOMPARE(m_program->printer.jobs().size(), 1);
    QCOMPARE(m_program->printer.titles(), QStringList{QStringLiteral("example-weights")});
    bool picture = false;
    for (const ui::PrintJob::Item& item : m_program->printer.jobs().front().items()) {
        picture = picture || item.kind == ui::PrintJob::Item::Kind::Picture;
    }
    QVERIFY(picture);

    // Ctrl+C copies the map as it does the graph.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(page, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->image().size(),
             page->WeightMap->size() * page->WeightMap->devicePixelRatio());
    QCOMPARE(m_program->printer.jobs().size(), 1);
}

QTEST_MAIN(TestWeightMapPage)
#include "tst_weight_map_page.moc"
