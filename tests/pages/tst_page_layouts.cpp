// Every page's controls where the page puts them, and their captions fitting, as one
// table: rows in tab order per page, places in twips. Each page is reached the way a
// student reaches it, through the whole program.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "pages/graph_page.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/save_page.h"
#include "tests/support/layout_checks.h"
#include "tests/support/program_driver.h"

namespace {

using pages::PageId;
using ui::PageKey;

// One control as this suite expects it, in twips; `caption`: its caption must fit too.
struct Place {
    PageKey page;
    const char* name;
    int left;
    int top;
    int width;
    int height;
    bool caption = false;
};

const Place kPlaces[] = {
    {PageId::Start, "Label1", 1440, 240, 6975, 1335, true},
    {PageId::Start, "FileLabel", 1080, 1680, 7935, 495, true},
    {PageId::Start, "Drive1", 1014, 2280, 2295, 315},
    {PageId::Start, "Dir1", 1014, 2610, 2295, 2790},
    {PageId::Start, "File1", 3480, 2280, 2295, 1845},
    {PageId::Start, "NextPage", 3480, 4320, 2292, 1095, true},
    {PageId::Start, "Label8(0)", 6360, 2880, 2415, 255, true},
    {PageId::Start, "Label8(1)", 6060, 3360, 1335, 255, true},
    {PageId::Start, "Label8(2)", 6060, 3720, 1335, 255, true},
    {PageId::Start, "Label8(3)", 6060, 4080, 1335, 255, true},
    {PageId::Start, "Label8(4)", 6060, 4440, 1335, 255, true},
    {PageId::Start, "OutputText(0)", 7500, 3360, 1332, 288},
    {PageId::Start, "OutputText(1)", 7500, 3720, 1332, 288},
    {PageId::Start, "OutputText(2)", 7500, 4080, 1332, 288},
    {PageId::Start, "OutputText(3)", 7500, 4440, 1332, 288},
    {PageId::Start, "Command2", 7560, 7320, 1695, 615, true},
    {PageId::Start, "Label3", 120, 7320, 3135, 735, true},
    {PageId::Start, "TailNote", 6060, 4860, 2775, 1455},

    {PageId::Setup, "Label1", 1380, 0, 6972, 1332, true},
    {PageId::Setup, "Frame1", 240, 1680, 3012, 1332},
    {PageId::Setup, "OptionHebb", 120, 360, 1572, 495, true},
    {PageId::Setup, "OptionDelta", 120, 720, 1572, 495, true},
    {PageId::Setup, "ConvergenceFrame", 3660, 1680, 6135, 1332},
    {PageId::Setup, "Check1(0)", 3840, 2160, 5775, 375, true},
    {PageId::Setup, "Check1(1)", 3840, 2520, 5775, 375, true},
    {PageId::Setup, "SweepsBox", 360, 3360, 1050, 372},
    {PageId::Setup, "SweepsUpDown", 1440, 3360, 240, 375},
    {PageId::Setup, "MaxSweepsLabel", 1800, 3360, 5055, 375, true},
    {PageId::Setup, "PrintSweepsBox", 360, 3901, 1050, 372},
    {PageId::Setup, "PrintSweepsUpDown", 1440, 3900, 240, 375},
    {PageId::Setup, "PrintSweepsLabel", 1800, 3960, 7335, 375, true},
    {PageId::Setup, "LRateBox", 360, 4440, 1050, 372},
    {PageId::Setup, "LRateSlider", 1440, 4440, 2535, 375},
    {PageId::Setup, "RateLabel", 4080, 4440, 3495, 375, true},
    {PageId::Setup, "MinErrorBox", 360, 4920, 1050, 372},
    {PageId::Setup, "MinErrorSlider", 1440, 4920, 2535, 375},
    {PageId::Setup, "MinErrorLabel", 4080, 4920, 5655, 375, true},
    {PageId::Setup, "StartTraining", 360, 5880, 1695, 615, true},
    {PageId::Setup, "Picture1(0)", 2460, 5880, 3420, 480},
    {PageId::Setup, "Picture1(1)", 2460, 6360, 3420, 480},
    {PageId::Setup, "Picture1(2)", 2460, 6720, 3420, 480},
    {PageId::Setup, "Picture1(3)", 2460, 7080, 3420, 480},
    {PageId::Setup, "Continue", 6240, 5880, 1695, 615, true},
    {PageId::Setup, "TestRecall", 7080, 6720, 1695, 615, true},
    {PageId::Setup, "Command2", 7920, 7560, 1695, 615, true},
    {PageId::Setup, "Label3", 0, 7560, 3132, 732, true},
    {PageId::Setup, "Forecast", 360, 5340, 10020, 480, false},
    {PageId::Setup, "Stop", 360, 6600, 1695, 615, true},
    {PageId::Setup, "EpochProgress", 3240, 7620, 4560, 860},

    {PageId::Menu, "Label5", 2742, 120, 5520, 1092, true},
    {PageId::Menu, "TestList", 2556, 1320, 5892, 2720, true},
    {PageId::Menu, "Label4", 2742, 4200, 5520, 732, true},
    {PageId::Menu, "ContinueList", 2556, 5160, 5892, 1200, true},
    {PageId::Menu, "Label1", 5082, 6720, 840, 492, true},
    {PageId::Menu, "Command2", 4527, 7560, 1950, 615, true},
    {PageId::Menu, "Label3", 0, 8520, 3132, 732, true},

    {PageId::Degradation, "Label1", 960, 240, 8655, 735, true},
    {PageId::Degradation, "DegradationGraph", 960, 1080, 8535, 6135},
    {PageId::Degradation, "SeedLabel", 960, 7770, 612, 312, true},
    {PageId::Degradation, "SeedBox", 1608, 7740, 1092, 372},
    {PageId::Degradation, "PrintThisGraph", 3600, 7560, 2292, 732, true},
    {PageId::Degradation, "CloseThisForm", 6960, 7560, 2292, 732, true},
};

// Pages checked against their own layout table (every control put where the table says),
// with the controls whose caption must fit.
struct TablePage {
    PageKey page;
    std::span<const ui::ControlPlace> (*table)();
    std::vector<const char*> captions;
};

const TablePage kTablePages[] = {
    {PageId::Probe,
     &pages::ProbePage::geometry,
     {"Label2", "PatternLabel", "PatternOK", "ClearText", "PrintResults", "NoiseLabel", "SeedLabel",
      "OwnPattern", "TestFile", "Command2"}},
    {PageId::Save,
     &pages::SavePage::geometry,
     {"Label1", "Label2", "PropertyLabel", "DirButton", "FileButton", "Check1(0)", "Check1(1)",
      "Check1(2)", "Check1(3)", "Check1(4)", "Check1(5)", "Check1(6)", "FileLabel", "SaveFile",
      "Command2", "Label3"}},
    {PageId::Graph, &pages::GraphPage::geometry, {}},
};

const char* pageName(PageKey page) {
    static const std::map<PageKey, const char*> names{{PageId::Start, "start"},
                                                      {PageId::Setup, "setup"},
                                                      {PageId::Menu, "menu"},
                                                      {PageId::Probe, "probe"},
                                                      {PageId::Save, "save"},
                                                      {PageId::Graph, "graph"},
                                                      {PageId::Degradation, "degradation"}};
    return names.at(page);
}

void addRow(PageKey page, const char* name, const QRect& expected, bool caption) {
    QTest::addRow("%s %s", pageName(page), name)
        << static_cast<int>(page) << QString::fromUtf8(name) << expected << caption;
}

}  // namespace

class TestPageLayouts : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void controlsSitWhereTableSaysAndCaptionsFit_data();
    void controlsSitWhereTableSaysAndCaptionsFit();

  private:
    QWidget* reach(PageKey page);

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousFolder;
    std::unique_ptr<support::ProgramDriver> m_program;
};

void TestPageLayouts::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    QVERIFY(QFile::copy(QStringLiteral(DAM_EXAMPLES "/tiny.net"), "tiny.net"));
    m_program = std::make_unique<support::ProgramDriver>();
}

void TestPageLayouts::cleanup() {
    QCOMPARE(m_program->dialogs.unanswered(), 0);
    m_program.reset();
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
}

// The start page as the program opens; the setup page on tiny.net; every other page after
// training on it.
QWidget* TestPageLayouts::reach(PageKey page) {
    support::ProgramDriver& program = *m_program;
    const QString tiny = QStringLiteral("tiny.net");
    const bool reached =
        page == PageId::Start ? program.runtime.Show(PageId::Start) != nullptr
        : page == PageId::Setup
            ? program.runtime.Show(PageId::Start) != nullptr && program.load(tiny) && program.goOn()
            : program.runtime.Show(PageId::Start) != nullptr &&
                  program.trainToMenu(tiny, QStringLiteral("Delta"));
    return reached ? program.showExposed(page) : nullptr;
}

void TestPageLayouts::controlsSitWhereTableSaysAndCaptionsFit_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("caption");
    for (const Place& p : kPlaces) {
        addRow(p.page, p.name, ui::ToPixels({p.left, p.top, p.width, p.height}), p.caption);
    }
    for (const TablePage& t : kTablePages) {
        for (const ui::ControlPlace& place : t.table()) {
            const bool caption =
                std::find_if(t.captions.begin(), t.captions.end(), [&](const char* name) {
                    return qstrcmp(name, place.name) == 0;
                }) != t.captions.end();
            addRow(t.page, place.name, ui::ToPixels(place.rect), caption);
        }
    }
}

void TestPageLayouts::controlsSitWhereTableSaysAndCaptionsFit() {
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    QFETCH(bool, caption);
    const QWidget* shown = reach(static_cast<PageKey>(page));
    QVERIFY(shown);
    support::checkPlacement(shown, name, expected);
    if (caption) {
        support::checkCaptionFits(shown->findChild<QWidget*>(name));
    }
}

QTEST_MAIN(TestPageLayouts)
#include "tst_page_layouts.moc"
