// The SSE graph page, driven through its real widgets: the chart's data, labels, colours
// and texts read back through the chart's own interface, long histories, the clipboard,
// and printing, both as recorded jobs and through the real print system (a CUPS PDF
// printer).

#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGraphicsTextItem>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

#include "core/network_state.h"
#include "pages/graph_page.h"
#include "pages/page_id.h"
#include "pages/save_page.h"
#include "pages/sse_chart.h"
#include "tests/support/page_program.h"
#include "tests/support/pdf_printouts.h"
#include "ui/fonts.h"

namespace {

using pages::PageId;
using ui::PageKey;

const QString kTitle =
    QStringLiteral("Total Sum Of Squared Error As A Function Of Training Sweeps");

// The graph page printing on the scripted printer, or on the system's default printer
// when `systemPrinter`.
struct Program : support::PageProgram {
    training::RunHistory& runs = session.Runs;

    explicit Program(bool systemPrinter = false) {
        net.TrainingFileName = "example.net";
        net.TrainedOnProblem = true;  // the history stands for a run on it
        add<pages::GraphPage>(PageId::Graph, systemPrinter ? &ui::TheSystemPrinter() : nullptr);
    }

    // The history rows (sweep, SSE), in order.
    void record(const QList<double>& sweeps, const QList<double>& sse) {
        net.SSEHistoryCount = static_cast<std::int16_t>(sweeps.size());
        net.SweepCount = static_cast<std::int16_t>(sweeps.isEmpty() ? 0 : sweeps.back());
        for (qsizetype i = 0; i < sweeps.size(); ++i) {
            net.SSEHistory[static_cast<std::size_t>(i + 1)] = {0.0, sweeps[i], sse[i]};
        }
    }

    // `rows` rows of a falling error curve, one every 10 sweeps.
    void recordFalling(int rows) {
        QList<double> sweeps;
        QList<double> sse;
        for (int i = 0; i < rows; ++i) {
            sweeps << 10.0 * i;
            sse << 12.5 / (1.0 + 0.01 * i);
        }
        record(sweeps, sse);
    }

    pages::GraphPage* open() {
        auto* page = showExposed<pages::GraphPage>(PageId::Graph);
        QCoreApplication::processEvents();  // lets the chart lay itself out
        return page;
    }
};

QList<double> heights(const QBarSet* bars) {
    QList<double> values;
    for (int i = 0; i < bars->count(); ++i) {
        values << bars->at(i);
    }
    return values;
}

// Bit-exact comparison: QCOMPARE on doubles allows a relative error.
bool sameBits(const QList<double>& a, const QList<double>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](double x, double y) {
               return std::bit_cast<quint64>(x) == std::bit_cast<quint64>(y);
           });
}

QString listed(const QList<double>& values) {
    QStringList texts;
    for (const double v : values) {
        texts << QString::number(v, 'g', 17);
    }
    return texts.join(QStringLiteral(", "));
}

// The text items of the chart's scene that show `texts`, visible ones only.
QList<QGraphicsTextItem*> shownTexts(const QChartView* view, const QStringList& texts) {
    QList<QGraphicsTextItem*> found;
    for (QGraphicsItem* item : view->scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (text != nullptr && text->isVisible() && texts.contains(text->toPlainText())) {
            found << text;
        }
    }
    return found;
}

QImage comparable(const QImage& picture) {
    return picture.convertToFormat(QImage::Format_RGB32);
}

// The dots per inch at which a PDF file shows its first picture, from pdfimages -list.
double pictureDpi(const QString& pdf) {
    int exitCode = 0;
    const QByteArray listing =
        support::runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}, &exitCode);
    const QList<QByteArray> lines = listing.split('\n');
    if (lines.size() < 3) {
        return 0.0;
    }
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    const QList<QByteArray> fields = lines[2].simplified().split(' ');
    return fields.size() > 12 ? fields[12].toDouble() : 0.0;
}

}  // namespace

class TestGraphPage : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();

    // The chart.
    void barsFollowTheHistory_data();
    void barsFollowTheHistory();
    void chartAppearance();
    void manyBarsKeepTheirLabelsApart();
    void labelStep_data();
    void labelStep();
    void emptyHistoryGivesAnEmptyChart();
    void openPageKeepsItsChart();

    // The page as laid out.
    void pageAppearance_data();
    void pageAppearance();
    void earlierRunsAndLogarithmicScale();
    void legendShowsEveryRunWhole();
    void aLongerDivergedEarlierRun();
    void thePageGrowsAndPrintsAtItsOwnSize();
    void manyDecadesAreLabelledEveryFew();

    // Clipboard and printing.
    void printCopiesThePictureAndPrintsIt();
    void printsOnTheDefaultPrinter();
    void aRefusedJobIsNotReportedAsPrinted();
    void withoutPrintSystemOffersPdfNextToTrainingFile();

  private:
    std::unique_ptr<Program> m_program = std::make_unique<Program>();
};

void TestGraphPage::cleanup() {
    QCOMPARE(m_program->dialogs.unanswered(), 0);
    m_program = std::make_unique<Program>();
}

void TestGraphPage::barsFollowTheHistory_data() {
    QTest::addColumn<QList<double>>("sweeps");
    QTest::addColumn<QList<double>>("sse");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QList<double>>("values");

    QTest::newRow("20 epochs, a printout every 10")
        << QList<double>{0, 10, 20} << QList<double>{2.0, 0.5, 0.125}
        << QStringList{"0", "10", "20"} << QList<double>{2.0, 0.5, 0.125};
    QTest::newRow("one row") << QList<double>{0} << QList<double>{3.5} << QStringList{"0"}
                             << QList<double>{3.5};
    // Heights are the SSE written with at most 15 significant digits and read back.
    QTest::newRow("15 significant digits")
        << QList<double>{0, 100, 200, 300, 400}
        << QList<double>{0.1 + 0.2, 1.0 / 3.0, 123456.78901234567, 2.0000000000000004, 1e-20 / 3}
        << QStringList{"0", "100", "200", "300", "400"}
        << QList<double>{0.3, 0.333333333333333, 123456.789012346, 2.0, 3.33333333333333e-21};
    // Every desired output 0: every total is 0, and the axis still spans 0 to 1.
    QTest::newRow("all zero") << QList<double>{0, 10} << QList<double>{0.0, 0.0}
                              << QStringList{"0", "10"} << QList<double>{0.0, 0.0};
    QTest::newRow("largest sweep numbers")
        << QList<double>{0, 16380, 32760} << QList<double>{1.0, 0.5, 0.25}
        << QStringList{"0", "16380", "32760"} << QList<double>{1.0, 0.5, 0.25};
}

void TestGraphPage::barsFollowTheHistory() {
    QFETCH(QList<double>, sweeps);
    QFETCH(QList<double>, sse);
    QFETCH(QStringList, labels);
    QFETCH(QList<double>, values);
    m_program->record(sweeps, sse);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    pages::SSEChart* chart = page->chart();
    QVERIFY(chart);
    QCOMPARE(page->SSEgraph->chart(), chart);

    QCOMPARE(chart->barSeries()->count(), 1);
    QVERIFY2(sameBits(heights(chart->bars()), values), qPrintable(listed(heights(chart->bars()))));
    QCOMPARE(chart->rowLabels(), labels);
    // Few bars: every one is labelled, in order, under its own bar.
    QCOMPARE(chart->sweepAxis()->categoriesLabels(), labels);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        QCOMPARE(chart->sweepAxis()->endValue(labels[i]), double(i));
    }
    QCOMPARE(shownTexts(page->SSEgraph, labels).size(), labels.size());
    QVERIFY(chart->sseAxis()->max() > chart->sseAxis()->min());
}

void TestGraphPage::chartAppearance() {
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    pages::SSEChart* chart = page->chart();

    QCOMPARE(chart->series().size(), 1);
    QCOMPARE(chart->series().front()->type(), QAbstractSeries::SeriesTypeBar);
    QCOMPARE(chart->bars()->brush().style(), Qt::SolidPattern);
    QCOMPARE(chart->bars()->color(), QColor(200, 200, 200));
    QCOMPARE(chart->bars()->borderColor(), QColor(0, 0, 0));
    QCOMPARE(chart->backgroundBrush().style(), Qt::SolidPattern);
    QCOMPARE(chart->backgroundBrush().color(), QColor(255, 255, 255));

    QCOMPARE(chart->title(), kTitle);
    QCOMPARE(chart->titleFont().family(), ui::PageFont("Arial", 14).family());
    QCOMPARE(chart->titleFont().pointSizeF(), 14.0);
    QVERIFY(chart->titleFont().bold());
    // Shown in full at the top, not cut short.
    const QList<QGraphicsTextItem*> title = shownTexts(page->SSEgraph, {kTitle});
    QCOMPARE(title.size(), 1);
    QVERIFY(title.front()->sceneBoundingRect().bottom() < chart->plotArea().top());

    QCOMPARE(chart->axes().size(), 2);
    QCOMPARE(chart->axes(Qt::Horizontal), QList<QAbstractAxis*>{chart->sweepAxis()});
    QCOMPARE(chart->axes(Qt::Vertical), QList<QAbstractAxis*>{chart->sseAxis()});
    QCOMPARE(chart->sweepAxis()->titleText(), QStringLiteral("Sweeps Of Training"));
    QCOMPARE(chart->sseAxis()->titleText(), QStringLiteral("Network SSE"));
    QCOMPARE(chart->sweepAxis()->alignment(), Qt::AlignBottom);
    QCOMPARE(chart->sseAxis()->alignment(), Qt::AlignLeft);
    for (const QAbstractAxis* axis : chart->axes()) {
        QVERIFY(!axis->isGridLineVisible());
        QVERIFY(!axis->isMinorGridLineVisible());
    }
    QVERIFY(!chart->legend()->isVisible());
}

void TestGraphPage::manyBarsKeepTheirLabelsApart() {
    m_program->recordFalling(core::SSEHistoryRows);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    pages::SSEChart* chart = page->chart();
    QCOMPARE(chart->bars()->count(), 2000);
    QCOMPARE(chart->rowLabels().size(), 2000);
    QCOMPARE(chart->rowLabels().back(), QStringLiteral("19990"));

    // Every shown label sits under the bar whose sweep it names, the first one under the
    // first bar, and they are spread evenly.
    const QStringList shown = chart->sweepAxis()->categoriesLabels();
    QVERIFY2(shown.size() >= 5 && shown.size() <= 30, qPrintable(shown.join(' ')));
    QCOMPARE(shown.front(), QStringLiteral("0"));
    for (qsizetype k = 0; k < shown.size(); ++k) {
        const double bar = chart->sweepAxis()->endValue(shown[k]);
        QCOMPARE(bar, double(k * chart->labelStep()));
        QCOMPARE(chart->rowLabels().at(qsizetype(bar)), shown[k]);
    }

    // Bars far narrower than a pixel still show their grey fill, not a black mass.
    QCOMPARE(chart->bars()->borderColor(), QColor(0, 0, 0));
    const QImage picture = page->SSEgraph->grab().toImage();
    const int grey = support::pixelsLike(picture, qRgb(200, 200, 200), 30);
    const int black = support::pixelsLike(picture, qRgb(0, 0, 0), 60);
    QVERIFY2(grey > 10 * black,
             qPrintable(QStringLiteral("%1 grey, %2 black").arg(grey).arg(black)));

    // On screen they do not overlap.
    QList<QGraphicsTextItem*> items = shownTexts(page->SSEgraph, shown);
    QVERIFY(items.size() >= shown.size() - 1);
    std::sort(items.begin(), items.end(), [](const QGraphicsItem* a, const QGraphicsItem* b) {
        return a->sceneBoundingRect().left() < b->sceneBoundingRect().left();
    });
    for (qsizetype k = 1; k < items.size(); ++k) {
        QVERIFY2(items[k - 1]->sceneBoundingRect().right() <= items[k]->sceneBoundingRect().left(),
                 qPrintable(items[k - 1]->toPlainText() + " runs into " + items[k]->toPlainText()));
    }
}

void TestGraphPage::labelStep_data() {
    QTest::addColumn<double>("barSpacing");
    QTest::addColumn<double>("labelWidth");
    QTest::addColumn<int>("bars");
    QTest::addColumn<int>("step");

    QTest::newRow("room for every label") << 100.0 << 30.0 << 3 << 1;
    QTest::newRow("exactly room") << 10.0 << 10.0 << 50 << 1;
    QTest::newRow("every second") << 6.0 << 10.0 << 50 << 2;
    QTest::newRow("every fifth") << 2.0 << 7.0 << 100 << 5;
    QTest::newRow("2000 bars") << 0.25 << 40.0 << 2000 << 200;
    QTest::newRow("never past the last bar") << 1.0 << 100.0 << 50 << 50;
    QTest::newRow("one bar") << 1.0 << 100.0 << 1 << 1;
    QTest::newRow("plot not laid out yet") << 0.0 << 10.0 << 40 << 40;
}

void TestGraphPage::labelStep() {
    QFETCH(double, barSpacing);
    QFETCH(double, labelWidth);
    QFETCH(int, bars);
    QFETCH(int, step);
    QCOMPARE(pages::labelStep(barSpacing, labelWidth, bars), step);
}

void TestGraphPage::emptyHistoryGivesAnEmptyChart() {
    // An arithmetic failure before the first epoch leaves nothing recorded.
    m_program->net.SSEHistoryCount = 0;
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->chart()->bars()->count(), 0);
    QVERIFY(page->chart()->rowLabels().isEmpty());
    QCOMPARE(page->chart()->title(), kTitle);
    QVERIFY(!page->SSEgraph->grab().isNull());

    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);
    QCOMPARE(m_program->printer.jobs().size(), 1);
    QCOMPARE(m_program->dialogs.texts(),
             QStringList{"Sent to the printer " + support::ScriptedPrinter::name()});
}

void TestGraphPage::openPageKeepsItsChart() {
    m_program->record({0, 10, 20}, {3.0, 2.0, 1.0});
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    pages::SSEChart* chart = page->chart();

    // Training goes on from the menu while the page is open, then the menu item is chosen
    // again: the page comes to the front as it was.
    m_program->record({0, 10, 20, 30, 40}, {3.0, 2.5, 1.5, 0.5, 0.25});
    QCOMPARE(m_program->runtime.Show(PageId::Graph), page);
    QCOMPARE(page->chart(), chart);
    QCOMPARE(heights(chart->bars()), QList<double>({3.0, 2.0, 1.0}));
    QCOMPARE(chart->rowLabels(), QStringList({"0", "10", "20"}));

    QTest::mouseClick(page->CloseThisForm, Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!m_program->runtime.isLoaded(PageId::Graph));

    page = m_program->open();
    QVERIFY(page);
    QCOMPARE(heights(page->chart()->bars()), QList<double>({3.0, 2.5, 1.5, 0.5, 0.25}));
    QCOMPARE(page->chart()->rowLabels(), QStringList({"0", "10", "20", "30", "40"}));
}

void TestGraphPage::pageAppearance_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");

    QTest::newRow("Label1")
        << "Label1"
        << "To work with this graph electronically, return to the previous page and create an "
           "Excel spreadsheet.  The data used to create this graph is saved on one of the "
           "worksheets in the spreadsheet that is created, and can be used to create a chart "
           "that could be imported into other software packages, such as a word processor."
        << "MS Sans Serif" << 8.0;
    QTest::newRow("PrintThisGraph") << "PrintThisGraph"
                                    << "Print The Graph"
                                    << "Arial" << 12.0;
    QTest::newRow("CloseThisForm") << "CloseThisForm"
                                   << "Exit This Page"
                                   << "Arial" << 12.0;
}

void TestGraphPage::pageAppearance() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(double, points);
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QCOMPARE(page->windowTitle(),
             QStringLiteral("Graph of SSE as a function of sweeps of training"));
    QCOMPARE(page->size(), ui::ToPixels(10620, 9195));

    const QWidget* control = page->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(control);
    QVERIFY(control->isVisible());
    QRect room;
    int flags = Qt::AlignCenter | Qt::TextWordWrap;
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QVERIFY(label->wordWrap());
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        room = label->contentsRect();
        flags = label->alignment().toInt() | static_cast<int>(Qt::TextWordWrap);
    } else {
        const auto* button = qobject_cast<const QPushButton*>(control);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QVERIFY(button->font().bold());
        room = button->rect().adjusted(3, 3, -3, -3);
    }
    QCOMPARE(control->font().family(), ui::PageFont(family.toLatin1().constData(), 8).family());
    QCOMPARE(control->font().pointSizeF(), points);
    // The whole text fits its control.
    const QRect needed = QFontMetrics(control->font()).boundingRect(room, flags, text);
    QVERIFY2(room.contains(needed), qPrintable(QStringLiteral("needs %1x%2, has %3x%4")
                                                   .arg(needed.width())
                                                   .arg(needed.height())
                                                   .arg(room.width())
                                                   .arg(room.height())));
}

void TestGraphPage::manyDecadesAreLabelledEveryFew() {
    // The ordinary Delta run: 8 down to 2e-23, 25 decades with the floor.
    m_program->record({0, 10, 20}, {8, 0.5, 2e-23});
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QTest::mouseClick(page->LogScale, Qt::LeftButton);
    const QLogValueAxis* axis = page->chart()->logAxis();
    QCOMPARE(axis->base(), 1e5);
    QCOMPARE(axis->labelFormat(), QStringLiteral("%.0E"));
    QCOMPARE(axis->min(), 1e-25);
    QCOMPARE(axis->max(), 1e5);
}

void TestGraphPage::earlierRunsAndLogarithmicScale() {
    // Run 1 (Hebb) on this file, run 2 on another, run 3 (Delta, then at another rate) shown.
    m_program->record({0, 10}, {4, 2});
    m_program->net.LearningRule = core::Rule::Hebb;
    m_program->net.LearningRate = 0.1;
    m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    m_program->net.TrainingFileName = "other.net";  // another problem
    const int inputs = m_program->net.NumInputs;
    m_program->net.NumInputs = inputs + 7;
    m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    m_program->net.NumInputs = inputs;
    m_program->net.TrainingFileName = "example.net";
    m_program->record({0, 10, 20}, {4, 1, 0});
    m_program->net.LearningRule = core::Rule::Delta;
    m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QVERIFY(!page->ShowEarlierRuns->isChecked() && !page->LogScale->isChecked());
    QVERIFY(page->chart()->runLines().isEmpty());
    const auto linearAxis = [page] {
        return std::tuple{page->chart()->sseAxis()->max(), page->chart()->sseAxis()->tickCount()};
    };
    const auto opened = linearAxis();

    QTest::mouseClick(page->ShowEarlierRuns, Qt::LeftButton);
    const QList<QLineSeries*>& lines = page->chart()->runLines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0]->name(), QStringLiteral("Run 1 (example.net): Hebb 0.1 for 10 epochs"));
    QCOMPARE(page->chart()->bars()->label(),
             QStringLiteral("Run 3, this run (example.net): Delta 0.1 for 20 epochs"));
    // Its epochs 0 and 10 over the first two bars.
    QCOMPARE(lines[0]->points(), (QList<QPointF>{{0, 4}, {1, 2}}));

    // A zero bar sits on the floor of the logarithmic axis, a decade below the least SSE.
    QTest::mouseClick(page->LogScale, Qt::LeftButton);
    QVERIFY(page->chart()->logAxis()->isVisible());
    QCOMPARE(page->chart()->logAxis()->min(), 0.1);
    QCOMPARE(heights(page->chart()->bars()), (QList<double>{4, 1, 0.1}));
    QTest::mouseClick(page->LogScale, Qt::LeftButton);
    QCOMPARE(heights(page->chart()->bars()), (QList<double>{4, 1, 0}));
    QVERIFY(page->chart()->sseAxis()->isVisible() && page->chart()->logAxis() == nullptr);
    QTest::mouseClick(page->ShowEarlierRuns, Qt::LeftButton);
    QVERIFY(page->chart()->runLines().isEmpty());
    QCOMPARE(page->chart()->bars()->label(), QStringLiteral("Network SSE"));
    QVERIFY(linearAxis() == opened);  // both unticked: the chart the page opened with

    // Ctrl+C: the chart's picture on the clipboard.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(page, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->image().size(),
             page->SSEgraph->size() * page->SSEgraph->devicePixelRatio());
}

// Four earlier runs of two parts each on a file of a long name, and the run shown: every
// entry of the legend is drawn whole, one to a row, below the plot and inside the chart.
void TestGraphPage::legendShowsEveryRunWhole() {
    m_program->net.TrainingFileName = "associative-memory-lab.net";
    m_program->record({0, 10, 20}, {4, 2, 1});
    m_program->net.SweepCount = 150;
    for (int run = 1; run <= 5; ++run) {
        m_program->net.TrainedParts = {{core::Rule::Delta, 0.125 * run, 100},
                                       {core::Rule::Hebb, 0.0625, 50}};
        m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    }
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QTest::mouseClick(page->ShowEarlierRuns, Qt::LeftButton);
    QCoreApplication::processEvents();
    const pages::SSEChart* chart = page->chart();
    const QList<QGraphicsTextItem*>& entries = chart->runLegend().texts();
    QCOMPARE(entries.size(), 5);
    QCOMPARE(entries[0]->toPlainText(),
             QStringLiteral("Run 5, this run (associative-memory-lab.net): Delta 0.625 for 100 "
                            "epochs, then Hebb 0.0625 for 50"));
    double below = chart->plotArea().bottom();
    for (const QGraphicsTextItem* entry : entries) {
        const QString text = entry->toPlainText();
        const QRectF drawn = entry->sceneBoundingRect();
        QVERIFY2(QFontMetricsF(entry->font()).horizontalAdvance(text) <= entry->textWidth() &&
                     chart->sceneBoundingRect().contains(drawn) && drawn.top() >= below,
                 qPrintable(text + " is cut, or runs into what is above it"));
        below = drawn.bottom();
    }
}

// An earlier run of 300 epochs that diverged, beside this one of 100: the axis, in epochs,
// reaches 300; the linear scale keeps this run's range, marks where the earlier run leaves
// it and names it in the line under the chart, which meets no control.
void TestGraphPage::aLongerDivergedEarlierRun() {
    m_program->record({0, 100, 200, 300}, {4, 2, 40, 365014.3});
    m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    m_program->record({0, 50, 100}, {4, 1, 0.25});
    m_program->runs.RecordTraining(m_program->net, m_program->net, true);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QCategoryAxis* axis = page->chart()->sweepAxis();
    QTest::mouseClick(page->ShowEarlierRuns, Qt::LeftButton);
    QCoreApplication::processEvents();
    // Bars 50 epochs apart: epoch 300 stands at x = 6.
    QCOMPARE(page->chart()->runLines()[0]->points().back(), QPointF(6, 365014.3));
    QCOMPARE(axis->max(), 6.5);
    QCOMPARE(axis->endValue(QStringLiteral("300")), 6.0);
    QCOMPARE(page->OffScale->text(), QStringLiteral("Run 1 goes off the scale (up to 365,014); "
                                                    "tick Logarithmic Scale to see all of it."));
    QVERIFY(page->chart()->sseAxis()->max() < 40);
    QCOMPARE(page->chart()->exitMarks().size(), 1);
    for (const QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(control == page->OffScale ||
                     !control->geometry().intersects(page->OffScale->geometry()),
                 qPrintable(control->objectName()));
    }

    // Paper and the clipboard carry the line, in a band under the chart's own picture.
    const QImage chart = comparable(page->SSEgraph->grab().toImage());
    const QImage carried = comparable(ui::DefaultSizePicture(page->SSEgraph));
    QCOMPARE(carried.copy(chart.rect()), chart);
    const QImage band =
        carried.copy(0, chart.height(), chart.width(), carried.height() - chart.height());
    QVERIFY(!band.isNull() && band.pixelColor(0, 0) == Qt::white);
    QVERIFY(std::any_of(band.constBits(), band.constBits() + band.sizeInBytes(),
                        [](uchar c) { return c < 128; }));

    QTest::mouseClick(page->LogScale, Qt::LeftButton);
    QVERIFY(page->OffScale->text().isEmpty() && page->chart()->exitMarks().isEmpty());
    QCOMPARE(ui::DefaultSizePicture(page->SSEgraph).height(),
             page->SSEgraph->grab().toImage().height());
    QTest::mouseClick(page->ShowEarlierRuns, Qt::LeftButton);
    QCOMPARE(axis->max(), 2.5);
    QCOMPARE(axis->categoriesLabels(), (QStringList{"0", "50", "100"}));
}

// Enlarged, the chart grows and the buttons keep to their corners; printed, the chart is as
// at the page's own size; back at that size, every control is where it was.
void TestGraphPage::thePageGrowsAndPrintsAtItsOwnSize() {
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    const QSize own = page->size();
    QCOMPARE(page->minimumSize(), own);
    const QImage ownPicture = comparable(page->SSEgraph->grab().toImage());
    std::map<QString, QRect> places;
    for (const QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        places[control->objectName()] = control->geometry();
    }

    page->resize(own + QSize(300, 200));
    QCoreApplication::processEvents();
    QCOMPARE(page->SSEgraph->geometry(), places["SSEgraph"].adjusted(0, 0, 300, 200));
    QCOMPARE(page->PrintThisGraph->geometry(), places["PrintThisGraph"].translated(0, 200));
    QCOMPARE(page->LogScale->geometry(), places["LogScale"].translated(300, 200));
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);
    QCOMPARE(comparable(m_program->printer.jobs().front().items()[1].picture), ownPicture);

    page->resize(own);
    QCoreApplication::processEvents();
    for (const QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QCOMPARE(control->geometry(), places[control->objectName()]);
    }
}

void TestGraphPage::printCopiesThePictureAndPrintsIt() {
    m_program->recordFalling(3);
    m_program->net.LearningRule = core::Rule::Delta;
    m_program->net.LearningRate = 0.25;
    m_program->net.SweepCount = 20;
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    const QImage chartPicture = comparable(page->SSEgraph->grab().toImage());

    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);

    // The clipboard holds the chart's picture, and keeps it.
    QCOMPARE(comparable(QGuiApplication::clipboard()->image()), chartPicture);
    QCOMPARE(m_program->printer.titles(), QStringList{"example-graph"});
    const std::vector<ui::PrintJob::Item>& items = m_program->printer.jobs().front().items();
    QCOMPARE(items.size(), 2u);
    QCOMPARE(items[0].kind, ui::PrintJob::Item::Kind::Line);
    // One heading line, the date as the report writes it.
    const QString date = QString::fromStdString(pages::LocalReportContext().date());
    QVERIFY2(
        items[0].text.startsWith("example.net, Delta rule, rate 0.25, 20 epochs, " + date + " "),
        qPrintable(items[0].text));
    QCOMPARE(items[1].kind, ui::PrintJob::Item::Kind::Picture);
    QCOMPARE(items[1].at, QPoint(0, 0));
    QCOMPARE(comparable(items[1].picture), chartPicture);
    // The student is told where the job went; a second click is a second job.
    QCOMPARE(m_program->dialogs.shown().size(), 1);
    QCOMPARE(m_program->dialogs.shown()[0].text,
             "Sent to the printer " + support::ScriptedPrinter::name());
    QCOMPARE(m_program->dialogs.shown()[0].icon, ui::Icon::Information);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);
    QCOMPARE(m_program->printer.jobs().size(), 2);
    QCOMPARE(m_program->dialogs.shown().size(), 2);

    // Printing leaves the chart as it was.
    QCOMPARE(comparable(page->SSEgraph->grab().toImage()), chartPicture);
    QCOMPARE(page->chart()->bars()->count(), 3);
    QCOMPARE(comparable(QGuiApplication::clipboard()->image()), chartPicture);
}

void TestGraphPage::printsOnTheDefaultPrinter() {
    DAM_REQUIRE_PDF_PRINTER();
    m_program = std::make_unique<Program>(true);
    const QString token = support::uniqueToken("graph");
    m_program->net.TrainingFileName = (token + ".net").toStdString();
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    const QImage chartPicture = page->SSEgraph->grab().toImage();

    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);

    QCOMPARE(m_program->dialogs.texts(),
             QStringList{"Sent to the printer " + QPrinterInfo::defaultPrinterName()});
    const QString pdf = support::waitForCupsPdf(token);
    QVERIFY2(!pdf.isEmpty(), qPrintable("no PDF for " + token + " in " + support::cupsPdfFolder()));
    const auto remove = qScopeGuard([&pdf] { QFile::remove(pdf); });
    QCOMPARE(support::pdfPageCount(pdf), 1);
    QCOMPARE(support::pdfPictureCount(pdf), 1);
    // At its own size: the screen's 96 pixels to the inch.
    QCOMPARE(qRound(pictureDpi(pdf)), 96);

    // The grey bars are on the page, the picture at the top left of the printable area.
    const QImage printed = support::pdfFirstPage(pdf, 96);
    QVERIFY(!printed.isNull());
    QVERIFY(support::pixelsLike(printed, qRgb(200, 200, 200), 6) >
            support::pixelsLike(chartPicture, qRgb(200, 200, 200), 6) / 2);
    const QRect ink = support::inkBox(printed);
    QVERIFY2(
        ink.left() < 96 && ink.top() < 96,
        qPrintable(QStringLiteral("the picture starts at %1, %2").arg(ink.left()).arg(ink.top())));
    QVERIFY(ink.width() <= chartPicture.width());
}

// A queue that rejects jobs: the page says why and offers the PDF file, and Esc declines.
void TestGraphPage::aRefusedJobIsNotReportedAsPrinted() {
    DAM_REQUIRE_PDF_PRINTER();
    const QString refusing = QStringLiteral("PDF-refusing");
    QVERIFY2(!QPrinterInfo::printerInfo(refusing).isNull(),
             "no queue PDF-refusing: scripts/cups-pdf-printer.sh makes it");
    qputenv("PRINTER", refusing.toUtf8());
    const auto restore = qScopeGuard([] { qunsetenv("PRINTER"); });
    m_program = std::make_unique<Program>(true);
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);
    m_program->dialogs.answer(ui::Answer::No);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);
    const QStringList texts = m_program->dialogs.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].startsWith("The printer \"PDF-refusing\" did not take the print job: ") &&
                 texts[0].contains("\n\nWrite the pages to the PDF file \""),
             qPrintable(texts[0]));
}

void TestGraphPage::withoutPrintSystemOffersPdfNextToTrainingFile() {
    if (const QString problem = support::popplerProblem(); !problem.isEmpty()) {
        QSKIP(qPrintable(problem));
    }
    if (!support::rerunWithoutPrintSystem()) {
        return;
    }
    QVERIFY(QPrinterInfo::defaultPrinter().isNull());
    m_program = std::make_unique<Program>(true);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    m_program->net.TrainingFileName = "tiny.net";
    m_program->session.TrainingFolder = folder.path().toStdString();
    m_program->recordFalling(3);
    pages::GraphPage* page = m_program->open();
    QVERIFY(page);

    m_program->dialogs.answer(ui::Answer::Yes);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintThisGraph, Qt::LeftButton);

    const QString target = QDir(folder.path()).filePath(QStringLiteral("tiny-graph.pdf"));
    QCOMPARE(m_program->dialogs.texts(),
             QStringList({"There is no printer to print on.\n\nWrite the pages to the PDF file \"" +
                              target + "\" instead?",
                          "The pages were written to \"" + target + "\"."}));
    QCOMPARE(support::pdfPageCount(target), 1);
    QCOMPARE(support::pdfPictureCount(target), 1);
    QCOMPARE(qRound(pictureDpi(target)), 96);
    QVERIFY(support::pixelsLike(support::pdfFirstPage(target, 96), qRgb(200, 200, 200), 6) > 1000);
    QVERIFY(!QGuiApplication::clipboard()->image().isNull());
}

QTEST_MAIN(TestGraphPage)
#include "tst_graph_page.moc"
