// The page "Examine The Training Patterns", opened directly through the page runtime.

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <string>

#include "pages/analysis_page.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"

namespace {

using pages::PageId;
using ui::PageKey;

// Tiny problems, Hebb at 0.1, with the analysis page registered.
struct Program : support::PageProgram {
    explicit Program(const std::string& data) {
        net = support::NetworkFromText(data, "tiny.net");
        net.LearningRule = core::Rule::Hebb;
        net.LearningRate = 0.1;
        add<pages::AnalysisPage>(PageId::Analysis);
    }
    pages::AnalysisPage* open() { return show<pages::AnalysisPage>(PageId::Analysis); }
};

class TestAnalysisPage : public QObject {
    Q_OBJECT
  private slots:
    // Orthogonal patterns of lengths sqrt 2 and 1: Hebb at 0.1 is lowest at epoch 6.
    void showsPrintsAndCloses() {
        Program program("2 0 3 2  1 0 1  0 1 0  1 0  0 1");
        pages::AnalysisPage* page = program.open();
        QCOMPARE(page->windowTitle(),
                 QStringLiteral("Examine The Training Patterns -- Tavrel Neural Network Code"));
        QVERIFY(page->analysisShown());
        QVERIFY(page->AnalysisText->isReadOnly());
        const QString text = page->AnalysisText->toPlainText();
        QVERIFY(text.contains("Lowest reported SSE:         0.2 at epoch 6"));
        QVERIFY(text.contains("orthogonal (at right angles to each other) but not"));
        QVERIFY(text.contains("Largest stable rate: 1 (rates below it settle)"));

        program.dialogs.answer(ui::Answer::Ok);
        QTest::mouseClick(page->PrintAnalysis, Qt::LeftButton);
        QCOMPARE(program.printer.titles(), QStringList{"tiny-analysis"});
        QCOMPARE(program.dialogs.texts(),
                 QStringList{"Sent to the printer " + support::ScriptedPrinter::name()});
        QStringList printed;
        for (const ui::PrintJob::Item& item : program.printer.jobs().front().items())
            printed << item.text;
        QCOMPARE(printed.at(1), QStringLiteral("Examining The Training Patterns Of tiny.net"));
        QVERIFY(printed.contains("  Lowest reported SSE:         0.2 at epoch 6"));

        QTest::mouseClick(page->Command2, Qt::LeftButton);
        QVERIFY(!program.runtime.isLoaded(PageId::Analysis));
    }

    // 300 inputs and patterns: examined on a thread while the window says so.
    void largeFilesAreExaminedOffTheWindowThread() {
        std::string data = "2 0 300 300";
        for (int p = 0; p < 300; ++p)
            for (int i = 0; i < 300; ++i)
                data += (p * 7 + i * 13) % 5 == 0 ? " 1" : " 0";
        for (int k = 0; k < 600; ++k)
            data += k % 3 == 0 ? " 1" : " 0";
        Program program(data);
        pages::AnalysisPage* page = program.open();
        QVERIFY(!page->analysisShown());
        QCOMPARE(page->AnalysisText->toPlainText(),
                 QStringLiteral("Examining the training patterns..."));
        QTRY_VERIFY_WITH_TIMEOUT(page->analysisShown(), 60000);
        QVERIFY(page->AnalysisText->toPlainText().contains("Training file tiny.net: 300 inputs"));
    }
};

}  // namespace

QTEST_MAIN(TestAnalysisPage)
#include "tst_analysis_page.moc"
