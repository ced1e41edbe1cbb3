// The probe page, driven through its real widgets: result blocks byte for byte, the checks
// on the pattern box, the window's text kept, stacked and cleared, and printing, both as
// recorded jobs and through the real print system (a CUPS PDF printer).

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "core/network_state.h"
#include "files/loader.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/program_pages.h"
#include "pages/session.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"
#include "tests/support/pdf_printouts.h"
#include "ui/fonts.h"
#include "ui/page_runtime.h"

namespace {

using pages::PageId;
using ui::PageKey;

// One output, two inputs, two patterns. Pattern 2 is the worked example: inputs 1 and -0.5,
// desired output 1; with the weights 0.5 and -0.5 its response is 0.75.
constexpr const char* kExample = "1 0 2 2   0 1   1 -0.5   0   1";
const QList<double> kExampleWeights{0.5, -0.5};

// Lines, each ended with CR LF.
QString crlf(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

const QString kPattern1 = crlf({
    "Pattern: 1\t+.00\t+1.00\t",
    "---------------",
    "Response (A):\t-.50\t",
    "Desired  (D):\t+.00\t",
    "Error  (D-A):\t+.50\t",
    "=============================================",
});
const QString kPattern2 = crlf({
    "Pattern: 2\t+1.00\t-.50\t",
    "---------------",
    "Response (A):\t+.75\t",
    "Desired  (D):\t+1.00\t",
    "Error  (D-A):\t+.25\t",
    "=============================================",
});

QString refusal(const QString& text, int highest) {
    return QStringLiteral(
               "\"%1\" is not a pattern number. Type a whole number from 1 to %2 into the box, "
               "then press Ok.")
        .arg(text)
        .arg(highest);
}

// The probe page printing on the scripted printer, or on the system's default printer
// when `systemPrinter`.
struct Program : support::PageProgram {
    explicit Program(bool systemPrinter = false) {
        add<pages::ProbePage>(PageId::Probe, systemPrinter ? &ui::TheSystemPrinter() : nullptr);
    }

    // Training data as file `name`, trained to `weights`: weight (j, i) output by output,
    // input by input.
    void load(const char* data, const QList<double>& weights,
              const QString& name = QStringLiteral("example.net")) {
        net = support::NetworkFromText(data, name.toStdString());
        support::SetTrainedWeights(net, {weights.begin(), weights.end()});
    }

    pages::ProbePage* open() { return show<pages::ProbePage>(PageId::Probe); }
};

void probe(pages::ProbePage* page, const QString& box) {
    page->PatternBox->setText(box);
    QTest::mouseClick(page->PatternOK, Qt::LeftButton);
}

// The x position at which the first value of each of the block's value lines starts.
QList<int> firstValueColumns(const QPlainTextEdit* text) {
    QList<int> columns;
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
        const qsizetype tab = block.text().indexOf(QLatin1Char('\t'));
        if (tab >= 0 && tab + 1 < block.text().size()) {
            QTextCursor cursor(block);
            cursor.setPosition(block.position() + static_cast<int>(tab) + 1);
            columns << text->cursorRect(cursor).x();
        }
    }
    return columns;
}

QString listed(const QList<double>& values) {
    QStringList texts;
    for (const double v : values) {
        texts << QString::number(v);
    }
    return texts.join(QStringLiteral(", "));
}

// One printed line as "face size[ bold]: text", or a picture as "picture".
QString describe(const ui::PrintJob::Item& item) {
    if (item.kind == ui::PrintJob::Item::Kind::Picture) {
        return QStringLiteral("picture");
    }
    return QStringLiteral("%1 %2%3: %4")
        .arg(item.font.family())
        .arg(item.font.pointSizeF())
        .arg(item.font.bold() ? QStringLiteral(" bold") : QString(), item.text);
}

QString courier(const QString& text, bool bold = false) {
    return QStringLiteral("%1 10%2: %3")
        .arg(ui::PageFont("Courier", 10).family(), bold ? QStringLiteral(" bold") : QString(),
             text);
}

void doubleClick(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    const QPoint at = list->visualItemRect(items.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestProbePage : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // Result blocks.
    void firstProbeFillsTheEmptyWindow();
    void resultBlocks_data();
    void resultBlocks();
    void probesStackNewestFirst();
    void samePatternTwiceGivesTwoEqualBlocks();
    void returnInThePatternBoxPressesOk();
    void clearThenProbeLeavesOnlyTheNewBlock();
    void editsInTheWindowAreKept();
    void laterProbesUseTheWeightsOfThatMoment();
    void noisyProbeIsRepeatable_data();
    void noisyProbeIsRepeatable();
    void ownPattern_data();
    void ownPattern();
    void typedValuesTooLargeAreNamed();
    void testFileIsProbedPatternByPattern();

    // The pattern box.
    void unusablePatternTextIsRefused_data();
    void unusablePatternTextIsRefused();
    void arithmeticFailureIsReportedAndChangesNothing();
    void upDownRangeIsSetAtLoadOnly();

    // The page and its controls as laid out.
    void pageAppearance();
    void controlsAppearance_data();
    void controlsAppearance();
    void valueColumnsLineUp();
    void closeFormUnloadsThePage();

    // Printing.
    void printoutHoldsHeadingAndText_data();
    void printoutHoldsHeadingAndText();
    void printsOnTheDefaultPrinter();
    void withoutPrintSystemOffersPdfNextToTrainingFile_data();
    void withoutPrintSystemOffersPdfNextToTrainingFile();
    void printerGoneSinceThePageOpened();
    void longTextGoesOnOnFurtherPages();
    void wideLinesGoOnOnTheNextLine();
    void unwritablePdfFolderIsReported();

  private:
    std::unique_ptr<Program> m_program;
    QLocale m_locale;
};

void TestProbePage::init() {
    m_locale = QLocale();
    m_program = std::make_unique<Program>();
}

void TestProbePage::cleanup() {
    if (m_program) {
        QCOMPARE(m_program->dialogs.unanswered(), 0);
    }
    m_program.reset();
    QLocale::setDefault(m_locale);
}

void TestProbePage::firstProbeFillsTheEmptyWindow() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    QCOMPARE(page->PatternBox->text(), QStringLiteral("1"));
    QTest::mouseClick(page->PatternOK, Qt::LeftButton);

    QCOMPARE(page->resultsText(), kPattern1);
    // Six lines in the window itself, the first starting with "Pattern: 1" and a TAB.
    const QStringList shown = page->ResultsText->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), 7);
    QVERIFY(shown.front().startsWith(QStringLiteral("Pattern: 1\t")));
    QCOMPARE(shown.back(), QString());
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestProbePage::resultBlocks_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<double>>("weights");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("block");

    QTest::newRow("worked example") << QByteArray(kExample) << kExampleWeights << "C"
                                    << "2" << kPattern2;
    QTest::newRow("one input, one output")
        << QByteArray("1 0 1 1   2   3") << QList<double>{1.25} << "C"
        << "1"
        << crlf({"Pattern: 1\t+2.00\t", "---------------", "Response (A):\t+2.50\t",
                 "Desired  (D):\t+3.00\t", "Error  (D-A):\t+.50\t",
                 "============================================="});
    QTest::newRow("format edge values")
        << QByteArray("1 0 4 1   0 0.004 -0.25 1234.5   -0.25") << QList<double>{0, 0, 0, 0} << "C"
        << "1"
        << crlf({"Pattern: 1\t+.00\t+.00\t-.25\t+1234.50\t", "---------------",
                 "Response (A):\t+.00\t", "Desired  (D):\t-.25\t", "Error  (D-A):\t-.25\t",
                 "============================================="});
    QTest::newRow("two outputs, rounding")
        << QByteArray("2 0 1 1   1   123.456 -3") << QList<double>{0.5, 1.0} << "C"
        << "1"
        << crlf({"Pattern: 1\t+1.00\t", "---------------", "Response (A):\t+.50\t+1.00\t",
                 "Desired  (D):\t+123.46\t-3.00\t", "Error  (D-A):\t+122.96\t-4.00\t",
                 "============================================="});
    QTest::newRow("box text shown as typed")
        << QByteArray(kExample) << kExampleWeights << "C"
        << " +2 " << QString(kPattern2).replace("Pattern: 2\t", "Pattern:  +2 \t");
    QTest::newRow("whole number with decimals")
        << QByteArray(kExample) << kExampleWeights << "C"
        << "2.0" << QString(kPattern2).replace("Pattern: 2\t", "Pattern: 2.0\t");
    QTest::newRow("user's decimal comma")
        << QByteArray(kExample) << kExampleWeights << "de_DE"
        << "2"
        << crlf({"Pattern: 2\t+1,00\t-,50\t", "---------------", "Response (A):\t+,75\t",
                 "Desired  (D):\t+1,00\t", "Error  (D-A):\t+,25\t",
                 "============================================="});
}

void TestProbePage::resultBlocks() {
    QFETCH(QByteArray, data);
    QFETCH(QList<double>, weights);
    QFETCH(QString, locale);
    QFETCH(QString, box);
    QFETCH(QString, block);
    QLocale::setDefault(QLocale(locale));
    m_program->load(data.constData(), weights);
    pages::ProbePage* page = m_program->open();

    probe(page, box);

    QCOMPARE(page->resultsText(), block);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestProbePage::probesStackNewestFirst() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();

    QTest::mouseClick(page->PatternUpDown->upButton(), Qt::LeftButton);
    QCOMPARE(page->PatternBox->text(), QStringLiteral("2"));
    QTest::mouseClick(page->PatternOK, Qt::LeftButton);
    QTest::mouseClick(page->PatternUpDown->downButton(), Qt::LeftButton);
    QCOMPARE(page->PatternBox->text(), QStringLiteral("1"));
    QTest::mouseClick(page->PatternOK, Qt::LeftButton);

    QCOMPARE(page->resultsText(), kPattern1 + kPattern2);
}

void TestProbePage::samePatternTwiceGivesTwoEqualBlocks() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));
    probe(page, QStringLiteral("2"));
    QCOMPARE(page->resultsText(), kPattern2 + kPattern2);
}

void TestProbePage::returnInThePatternBoxPressesOk() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    page->PatternBox->setText(QStringLiteral("2"));
    QTest::keyClick(page->PatternBox, Qt::Key_Return);
    QCOMPARE(page->resultsText(), kPattern2);
}

void TestProbePage::clearThenProbeLeavesOnlyTheNewBlock() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));
    probe(page, QStringLiteral("1"));

    QTest::mouseClick(page->ClearText, Qt::LeftButton);
    QCOMPARE(page->resultsText(), QString());
    QCOMPARE(page->PatternBox->text(), QStringLiteral("1"));
    probe(page, QStringLiteral("2"));

    QCOMPARE(page->resultsText(), kPattern2);
}

void TestProbePage::editsInTheWindowAreKept() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("1"));

    // A note at the very top, and two lines at the end without a final line break.
    page->ResultsText->setFocus();
    QTest::keyClick(page->ResultsText, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(page->ResultsText, QStringLiteral("first try: "));
    QTest::keyClick(page->ResultsText, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(page->ResultsText, QStringLiteral("my note"));
    QTest::keyClick(page->ResultsText, Qt::Key_Return);
    QTest::keyClicks(page->ResultsText, QStringLiteral("x\ty"));
    const QString edited = QStringLiteral("first try: ") + kPattern1 + "my note\r\nx\ty";
    QCOMPARE(page->resultsText(), edited);

    probe(page, QStringLiteral("2"));

    QCOMPARE(page->resultsText(), kPattern2 + edited);
}

void TestProbePage::laterProbesUseTheWeightsOfThatMoment() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));

    // As if training went on from the menu while the page stayed open.
    m_program->net.Weights.setWeight(1, 1, 1.0);
    probe(page, QStringLiteral("2"));

    const QString retrained = crlf({
        "Pattern: 2\t+1.00\t-.50\t",
        "---------------",
        "Response (A):\t+1.25\t",
        "Desired  (D):\t+1.00\t",
        "Error  (D-A):\t-.25\t",
        "=============================================",
    });
    QCOMPARE(page->resultsText(), retrained + kPattern2);
}

// Ten inputs all weighted 1, so the response is the sum of the damaged inputs. With seed
// 41 and 30 % noise, inputs 7, 8 and 9 are damaged (worked out with a separate
// implementation of the random numbers).
void TestProbePage::noisyProbeIsRepeatable_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("block");
    QTest::newRow("0/1 inputs flip")
        << QByteArray("1 0 10 1  1 0 1 1 0 0 1 0 1 0  1")
        << crlf({"Pattern: 1, 30% noise, seed 41\t+1.00\t+.00\t+1.00\t+1.00\t+.00\t+.00\t+.00\t"
                 "+1.00\t+.00\t+.00\t",
                 "---------------", "Response (A):\t+4.00\t", "Desired  (D):\t+1.00\t",
                 "Error  (D-A):\t-3.00\t", "============================================="});
    QTest::newRow("-1/+1 inputs change sign")
        << QByteArray("1 0 10 1  1 -1 1 1 -1 -1 1 -1 1 -1  1")
        << crlf({"Pattern: 1, 30% noise, seed 41\t+1.00\t-1.00\t+1.00\t+1.00\t-1.00\t-1.00\t"
                 "-1.00\t+1.00\t-1.00\t-1.00\t",
                 "---------------", "Response (A):\t-2.00\t", "Desired  (D):\t+1.00\t",
                 "Error  (D-A):\t+3.00\t", "============================================="});
}

void TestProbePage::noisyProbeIsRepeatable() {
    QFETCH(QByteArray, data);
    QFETCH(QString, block);
    m_program->load(data.constData(), QList<double>(10, 1.0));
    pages::ProbePage* page = m_program->open();
    QCOMPARE(page->NoiseBox->text(), QStringLiteral("0"));
    for (int press = 0; press < 6; ++press) {
        QTest::mouseClick(page->NoiseUpDown->upButton(), Qt::LeftButton);
    }
    QCOMPARE(page->NoiseBox->text(), QStringLiteral("30"));
    page->SeedBox->setText(QStringLiteral("41"));
    probe(page, QStringLiteral("1"));
    QCOMPARE(page->resultsText(), block);
    QCOMPARE(page->SeedBox->text(), QStringLiteral("42"));

    // The seed typed back repeats the probe; the weights never change.
    page->SeedBox->setText(QStringLiteral("41"));
    probe(page, QStringLiteral("1"));
    QCOMPARE(page->resultsText(), block + block);
    QCOMPARE(m_program->net.Weights.Weight(1, 7), 1.0);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

// On the worked example: weights 0.5 and -0.5; pattern 1 wants 0, pattern 2 wants 1.
void TestProbePage::ownPattern_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("nearest is pattern 2")
        << "2,\t0"
        << crlf({"Pattern: own\t+2.00\t+.00\t", "--------------- nearest stored pattern: 2",
                 "Response (A):\t+1.00\t", "Desired  (D):\t+1.00\t", "Error  (D-A):\t+.00\t",
                 "============================================="})
        << QString();
    QTest::newRow("a tie names both and shows the lower number")
        << "1 0"
        << crlf({"Pattern: own\t+1.00\t+.00\t",
                 "--------------- nearest stored patterns: 1 and 2, equally near",
                 "Response (A):\t+.50\t", "Desired  (D):\t+.00\t", "Error  (D-A):\t-.50\t",
                 "============================================="})
        << QString();
    QTest::newRow("one number too many")
        << "1 0 1" << QString()
        << "Your pattern was not probed. There are more numbers than input units. Type 2 numbers, "
           "one for each input unit, separated by commas, blanks or tabs as in a .net file.";
}

void TestProbePage::testFileIsProbedPatternByPattern() {
    QTemporaryDir folder;
    const auto write = [&folder](const QString& name, const QByteArray& data) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    };
    write(QStringLiteral("extra.net"), "1 0 2 2   1 -0.5   0 1   0.5  -1");
    write(QStringLiteral("wide.net"), "1 0 3 1   1 1 1   1");
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    m_program->dialogs.choose(folder.filePath(QStringLiteral("extra.net")));
    QTest::mouseClick(page->TestFile, Qt::LeftButton);
    const QString expected = crlf({
        "Test file extra.net: 2 patterns, total SSE 0.31, largest pattern SSE 0.25 (test 2); "
        "recalled: 2 of 2 (nearer their own desired output than any other)",
        "=============================================",
        "Pattern: test 1 of extra.net\t+1.00\t-.50\t",
        "--------------- recalled",
        "Response (A):\t+.75\t",
        "Desired  (D):\t+.50\t",
        "Error  (D-A):\t-.25\t",
        "=============================================",
        "Pattern: test 2 of extra.net\t+.00\t+1.00\t",
        "--------------- recalled",
        "Response (A):\t-.50\t",
        "Desired  (D):\t-1.00\t",
        "Error  (D-A):\t-.50\t",
        "=============================================",
    });
    QCOMPARE(page->resultsText(), expected);
    // Other sizes: a message naming both, nothing probed.
    m_program->dialogs.choose(folder.filePath(QStringLiteral("wide.net")));
    m_program->dialogs.answer(ui::Answer::Ok);
    page->TestFile_Click();
    QCOMPARE(m_program->dialogs.texts().back(),
             QStringLiteral("The test file \"%1\" has 3 inputs and 1 output, but the trained "
                            "network has 2 inputs and 1 output. Choose a file of test patterns "
                            "with the trained network's sizes.")
                 .arg(folder.filePath(QStringLiteral("wide.net"))));
    QCOMPARE(page->resultsText(), expected);
}

void TestProbePage::ownPattern() {
    QFETCH(QString, typed);
    QFETCH(QString, block);
    QFETCH(QString, refusal);
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    m_program->dialogs.type(typed);
    if (!refusal.isEmpty()) {
        m_program->dialogs.answer(ui::Answer::Ok);
    }
    QTest::mouseClick(page->OwnPattern, Qt::LeftButton);
    QCOMPARE(page->resultsText(), block);
    QCOMPARE(m_program->dialogs.texts().size(), refusal.isEmpty() ? 1 : 2);
    QCOMPARE(m_program->dialogs.texts().front(),
             QStringLiteral("Type the 2 input values of your pattern, separated by commas, blanks "
                            "or tabs as in a .net file:"));
    if (!refusal.isEmpty()) {
        QCOMPARE(m_program->dialogs.texts().back(), refusal);
    }
}

void TestProbePage::unusablePatternTextIsRefused_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("zero") << "0";
    QTest::newRow("past the last pattern") << "3";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << " ";
    QTest::newRow("negative") << "-1";
    QTest::newRow("comma in a point locale") << "1,5";
    QTest::newRow("beyond 16 bits") << "99999";
    QTest::newRow("number and text") << "2 x";
}

void TestProbePage::unusablePatternTextIsRefused() {
    QFETCH(QString, box);
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("1"));
    const QString before = page->resultsText();
    // Marks in the unit records show whether a recall ran.
    for (core::UnitRecord& unit : m_program->net.OutputUnits) {
        unit = {-7.0, -7.0, -7.0};
    }

    m_program->dialogs.answer(ui::Answer::Ok);
    probe(page, box);

    support::checkWarnings(m_program->dialogs, {refusal(box, 2)});
    QCOMPARE(page->resultsText(), before);
    QCOMPARE(page->PatternBox->text(), box);
    for (const core::UnitRecord& unit : m_program->net.OutputUnits) {
        QCOMPARE(unit.Activation, -7.0);
        QCOMPARE(unit.Error, -7.0);
    }
}

// Typed values whose recall overflows under weights that recall every stored pattern: the
// advice is about the typed values, not the weights.
void TestProbePage::typedValuesTooLargeAreNamed() {
    m_program->load(kExample, {2.0, 2.0});
    pages::ProbePage* page = m_program->open();
    m_program->dialogs.type(QStringLiteral("1e308 1e308"));
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->OwnPattern, Qt::LeftButton);
    QCOMPARE(m_program->dialogs.texts().back(),
             QStringLiteral("Your pattern could not be probed: a value grew beyond the range of "
                            "double precision (overflow). The typed values are too large for "
                            "these weights, which recall every stored pattern without overflow; "
                            "type smaller values."));
    QCOMPARE(page->resultsText(), QString());
}

void TestProbePage::arithmeticFailureIsReportedAndChangesNothing() {
    // 10 * 1e308 is beyond double precision.
    m_program->load("1 0 1 1   10   1", {1e308});
    pages::ProbePage* page = m_program->open();
    page->ResultsText->setPlainText(QStringLiteral("earlier results"));

    m_program->dialogs.answer(ui::Answer::Ok);
    probe(page, QStringLiteral("1"));

    support::checkWarnings(
        m_program->dialogs,
        QStringList{QStringLiteral(
            "Pattern 1 could not be probed: a value grew beyond the range of double "
            "precision (overflow). Reset the weights and train again, perhaps with a "
            "smaller learning rate.")});
    QCOMPARE(page->resultsText(), QStringLiteral("earlier results"));

    // A file of other sizes loaded while the page is open: no advice about the rate.
    std::string error;
    QVERIFY(files::LoadTrainingData(m_program->net, "1 0 2 1  1 1  1", "other.net", error));
    m_program->dialogs.answer(ui::Answer::Ok);
    probe(page, QStringLiteral("1"));
    QVERIFY2(m_program->dialogs.texts().last().startsWith("The network has not been trained on"),
             qPrintable(m_program->dialogs.texts().last()));
}

void TestProbePage::upDownRangeIsSetAtLoadOnly() {
    m_program->load("1 0 1 3   1 2 3   1 2 3", {1.0});
    pages::ProbePage* page = m_program->open();
    QToolButton* up = page->PatternUpDown->upButton();
    QToolButton* down = page->PatternUpDown->downButton();
    QStringList seen;
    for (int press = 0; press < 4; ++press) {
        QTest::mouseClick(up, Qt::LeftButton);
        seen << page->PatternBox->text();
    }
    for (int press = 0; press < 4; ++press) {
        QTest::mouseClick(down, Qt::LeftButton);
        seen << page->PatternBox->text();
    }
    QCOMPARE(seen, QStringList({"2", "3", "3", "3", "2", "1", "1", "1"}));

    // A new problem with five patterns while the page stays open: the arrows keep the range
    // of the load, while "Ok" takes the network as it is now.
    m_program->load("1 0 1 5   1 2 3 4 5   1 2 3 4 5", {1.0});
    for (int press = 0; press < 5; ++press) {
        QTest::mouseClick(up, Qt::LeftButton);
    }
    QCOMPARE(page->PatternBox->text(), QStringLiteral("3"));
    probe(page, QStringLiteral("5"));
    QVERIFY(page->resultsText().startsWith(QStringLiteral("Pattern: 5\t+5.00\t")));

    // Opened afresh, the page takes the new count.
    m_program->runtime.Unload(PageId::Probe);
    QCoreApplication::processEvents();
    page = m_program->open();
    for (int press = 0; press < 5; ++press) {
        QTest::mouseClick(page->PatternUpDown->upButton(), Qt::LeftButton);
    }
    QCOMPARE(page->PatternBox->text(), QStringLiteral("5"));
}

void TestProbePage::pageAppearance() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    QCOMPARE(page->windowTitle(),
             QStringLiteral(
                 "Distributed Memory Program -- Probe Network Responses To Selected Patterns"));
    QCOMPARE(page->size(), ui::ToPixels(10650, 9090));

    QVERIFY(!page->ResultsText->isReadOnly());
    QCOMPARE(page->ResultsText->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(page->ResultsText->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(page->ResultsText->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(!page->PatternBox->isReadOnly());
    QCOMPARE(page->PatternUpDown->value(), 1);
    QCOMPARE(page->PatternUpDown->minimum(), 1);
    QCOMPARE(page->PatternUpDown->maximum(), 2);
}

void TestProbePage::controlsAppearance_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("centred");

    QTest::newRow("Label2") << "Label2"
                            << "Examine The Network's Responses To Individual Patterns"
                            << "Arial" << 14.25 << int(ui::Bold) << true;
    QTest::newRow("PatternLabel")
        << "PatternLabel"
        << "Use the control to the left to choose a pattern to present to the network.  The "
           "results will be added to the text in the textbox below."
        << "Arial" << 9.0 << int(ui::Bold) << true;
    QTest::newRow("PatternBox") << "PatternBox"
                                << "1"
                                << "Arial" << 10.5 << int(ui::Regular) << true;
    QTest::newRow("PatternOK") << "PatternOK"
                               << "Ok"
                               << "Arial" << 10.5 << int(ui::Bold) << false;
    QTest::newRow("ResultsText") << "ResultsText"
                                 << ""
                                 << "Courier" << 9.75 << int(ui::Regular) << false;
    QTest::newRow("ClearText") << "ClearText"
                               << "Clear The Text In The Window"
                               << "Arial" << 9.75 << int(ui::Bold) << false;
    QTest::newRow("PrintResults") << "PrintResults"
                                  << "Print The Text In The Window"
                                  << "Arial" << 9.75 << int(ui::Bold) << false;
    QTest::newRow("Command2") << "Command2"
                              << "Close Form"
                              << "Arial" << 12.0 << int(ui::Bold | ui::Italic) << false;
}

void TestProbePage::controlsAppearance() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(int, style);
    QFETCH(bool, centred);
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    const QWidget* control = page->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(control);
    QVERIFY(control->isVisible());

    QString shown;
    Qt::Alignment alignment;
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        shown = label->text();
        alignment = label->alignment();
    } else if (const auto* box = qobject_cast<const QLineEdit*>(control)) {
        shown = box->text();
        alignment = box->alignment();
    } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        shown = button->text();
    } else if (const auto* window = qobject_cast<const QPlainTextEdit*>(control)) {
        shown = window->toPlainText();
    } else {
        QFAIL("unexpected kind of control");
    }
    QCOMPARE(shown, text);
    if (centred) {
        QCOMPARE(alignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }
    const QFont expected = ui::PageFont(family.toLatin1().constData(), points, style);
    QCOMPARE(control->font().family(), expected.family());
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().bold(), (style & ui::Bold) != 0);
    QCOMPARE(control->font().italic(), (style & ui::Italic) != 0);
}

void TestProbePage::valueColumnsLineUp() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    QVERIFY(QFontInfo(page->ResultsText->font()).fixedPitch());
    probe(page, QStringLiteral("2"));

    // "Pattern: 2" is 10 characters, the other labels 13: all their values start at the
    // stop after 16 characters.
    const QList<int> columns = firstValueColumns(page->ResultsText);
    QCOMPARE(columns.size(), 4);
    for (const int x : columns) {
        QCOMPARE(x, columns.front());
    }
    const double space =
        QFontMetricsF(page->ResultsText->font()).horizontalAdvance(QLatin1Char(' '));
    QCOMPARE(page->ResultsText->tabStopDistance(), 8 * space);
}

void TestProbePage::closeFormUnloadsThePage() {
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));

    QTest::mouseClick(page->Command2, Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!m_program->runtime.isLoaded(PageId::Probe));

    page = m_program->open();
    QCOMPARE(page->PatternBox->text(), QStringLiteral("1"));
    QCOMPARE(page->resultsText(), QString());
}

void TestProbePage::printoutHoldsHeadingAndText_data() {
    QTest::addColumn<QStringList>("probes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("text");

    QTest::newRow("empty window") << QStringList() << QString() << QStringList{courier("")};
    QTest::newRow("one probe") << QStringList{"2"} << QString()
                               << QStringList{
                                      courier("Pattern: 2\t+1.00\t-.50\t"),
                                      courier("---------------"),
                                      courier("Response (A):\t+.75\t"),
                                      courier("Desired  (D):\t+1.00\t"),
                                      courier("Error  (D-A):\t+.25\t"),
                                      courier("============================================="),
                                      courier("")};
    QTest::newRow("text without a final line break")
        << QStringList() << QStringLiteral("note\tone") << QStringList{courier("note\tone")};
}

void TestProbePage::printoutHoldsHeadingAndText() {
    QFETCH(QStringList, probes);
    QFETCH(QString, typed);
    QFETCH(QStringList, text);
    m_program->load(kExample, kExampleWeights);
    pages::ProbePage* page = m_program->open();
    for (const QString& p : probes) {
        probe(page, p);
    }
    QTest::keyClicks(page->ResultsText, typed);
    const QString before = page->resultsText();

    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    QCOMPARE(m_program->printer.jobs().size(), 1);
    QCOMPARE(m_program->printer.titles(), QStringList{"example-probe"});
    QStringList printed;
    for (const ui::PrintJob::Item& item : m_program->printer.jobs().front().items()) {
        printed << describe(item);
    }
    const QString defaultFont = QStringLiteral("%1 10: ").arg(ui::PageFont("Arial", 10).family());
    const QStringList expected =
        QStringList{defaultFont,
                    courier("Results Of Testing Distributed Memory On example.net", true),
                    courier("")} +
        text;
    QCOMPARE(printed, expected);
    QCOMPARE(page->resultsText(), before);
    QCOMPARE(m_program->dialogs.texts(),
             QStringList{"Sent to the printer " + support::ScriptedPrinter::name()});
}

void TestProbePage::printsOnTheDefaultPrinter() {
    DAM_REQUIRE_PDF_PRINTER();
    m_program = std::make_unique<Program>(true);
    const QString token = support::uniqueToken("probe");
    m_program->load(kExample, kExampleWeights, token + ".net");
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));
    probe(page, QStringLiteral("1"));

    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    QCOMPARE(m_program->dialogs.texts(),
             QStringList{"Sent to the printer " + QPrinterInfo::defaultPrinterName()});
    QCOMPARE(page->resultsText(), kPattern1 + kPattern2);
    const QString pdf = support::waitForCupsPdf(token);
    QVERIFY2(!pdf.isEmpty(), qPrintable("no PDF for " + token + " in " + support::cupsPdfFolder()));
    QCOMPARE(support::pdfPageCount(pdf), 1);
    QCOMPARE(support::pdfLines(pdf),
             QStringList{"Results Of Testing Distributed Memory On " + token + ".net"} +
                 support::simplifiedLines(kPattern1 + kPattern2));
    // TABs advance to every 8th column: the first value of each value line starts in
    // column 16 (counted from 0), after "Pattern: 2" of 10 characters as after the labels
    // of 13. Column widths come from "Pattern: " and the number after it.
    QList<double> firstValues;
    double left = 0.0;
    double column = 0.0;
    const auto words = support::pdfWordStarts(pdf);
    for (qsizetype k = 2; k < words.size(); ++k) {
        const QString& before = words[k - 1].first;
        if (words[k - 2].first == "Pattern:") {
            left = words[k - 2].second;
            column = (words[k - 1].second - left) / 9;
        }
        if (words[k - 2].first == "Pattern:" || before == "(A):" || before == "(D):" ||
            before == "(D-A):") {
            firstValues << words[k].second;
        }
    }
    QCOMPARE(firstValues.size(), 8);
    QVERIFY(column > 0.0);
    for (const double x : firstValues) {
        QVERIFY2(qAbs(x - (left + 16 * column)) < 0.5, qPrintable(listed(firstValues)));
    }
    // Courier 10 throughout, the heading alone in bold.
    const QStringList fonts = support::pdfFonts(pdf);
    QVERIFY2(fonts.contains(QStringLiteral("LiberationMono-Bold")), qPrintable(fonts.join(", ")));
    QVERIFY2(fonts.contains(QStringLiteral("LiberationMono")), qPrintable(fonts.join(", ")));
    QFile::remove(pdf);
}

void TestProbePage::withoutPrintSystemOffersPdfNextToTrainingFile_data() {
    QTest::addColumn<bool>("write");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestProbePage::withoutPrintSystemOffersPdfNextToTrainingFile() {
    QFETCH(bool, write);
    if (const QString problem = support::popplerProblem(); !problem.isEmpty()) {
        QSKIP(qPrintable(problem));
    }
    if (!support::rerunWithoutPrintSystem()) {
        return;
    }
    QVERIFY(QPrinterInfo::defaultPrinter().isNull());

    // The training file comes through the start page, which notes its folder.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString root = QDir(folder.path()).canonicalPath();
    QFile tiny(root + "/tiny.net");
    QVERIFY(tiny.open(QIODevice::WriteOnly));
    tiny.write(kExample);
    tiny.close();
    QFile earlier(root + "/tiny-probe.pdf");
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier printout");
    earlier.close();
    const QString previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root));
    const auto back = qScopeGuard([&previousFolder] { QDir::setCurrent(previousFolder); });

    support::ScriptedDialogs dialogs;
    core::PublicStuff net;
    pages::Session session;
    ui::PageRuntime runtime(dialogs);
    pages::RegisterProgramPages(runtime, net, session);
    QWidget* start = runtime.Show(PageId::Start);
    doubleClick(start->findChild<QListWidget*>(QStringLiteral("File1")),
                QStringLiteral("tiny.net"));
    QCOMPARE(net.NumPatterns, 2);
    net.CreateUnitsAndWeights();
    net.TrainedOnProblem = true;
    net.Weights.setWeight(1, 1, 0.5);
    net.Weights.setWeight(1, 2, -0.5);
    auto* page = static_cast<pages::ProbePage*>(runtime.Show(PageId::Probe));
    probe(page, QStringLiteral("2"));

    // A link to nothing takes its name too: the PDF never goes where a link points.
    QVERIFY(QDir(root).mkdir(QStringLiteral("elsewhere")));
    QVERIFY(QFile::link(root + "/elsewhere/planted.pdf", root + "/tiny-probe-2.pdf"));
    const QString target = root + "/tiny-probe-3.pdf";
    dialogs.answer(write ? ui::Answer::Yes : ui::Answer::No);
    if (write) {
        dialogs.answer(ui::Answer::Ok);
    }
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    QStringList expected{"There is no printer to print on.\n\nWrite the pages to the PDF file \"" +
                         target + "\" instead?"};
    if (write) {
        expected << "The pages were written to \"" + target + "\".";
    }
    QCOMPARE(dialogs.texts(), expected);
    QCOMPARE(dialogs.shown().front().buttons, ui::Buttons::YesNo);
    QCOMPARE(dialogs.shown().front().icon, ui::Icon::Question);
    QCOMPARE(dialogs.unanswered(), 0);
    QCOMPARE(QFileInfo::exists(target), write);
    if (write) {
        QCOMPARE(support::pdfLines(target),
                 QStringList{"Results Of Testing Distributed Memory On tiny.net"} +
                     support::simplifiedLines(kPattern2));
    }
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("an earlier printout"));
    QVERIFY(QDir(root + "/elsewhere").isEmpty());
    QCOMPARE(page->resultsText(), kPattern2);
}

void TestProbePage::printerGoneSinceThePageOpened() {
    DAM_REQUIRE_PDF_PRINTER();
    m_program = std::make_unique<Program>(true);
    const QString token = support::uniqueToken("gone");
    m_program->load(kExample, kExampleWeights, token + ".net");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    m_program->session.TrainingFolder = folder.path().toStdString();
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("2"));

    // The user's default printer now names a printer that the print system does not have,
    // as when the printer was removed while the page was open.
    qputenv("LPDEST", (token + "-removed").toLatin1());
    const auto restore = qScopeGuard([] { qunsetenv("LPDEST"); });
    QVERIFY(QPrinterInfo::defaultPrinter().isNull());
    m_program->dialogs.answer(ui::Answer::Yes);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    const QString target = QDir(folder.path()).filePath(token + "-probe.pdf");
    QCOMPARE(m_program->dialogs.texts(),
             QStringList({"There is no printer to print on.\n\nWrite the pages to the PDF file \"" +
                              target + "\" instead?",
                          "The pages were written to \"" + target + "\"."}));
    QCOMPARE(support::pdfLines(target),
             QStringList{"Results Of Testing Distributed Memory On " + token + ".net"} +
                 support::simplifiedLines(kPattern2));

    // Back again: the next job finds it without reopening the page.
    qunsetenv("LPDEST");
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);
    const QString pdf = support::waitForCupsPdf(token);
    QVERIFY2(!pdf.isEmpty(), qPrintable("no PDF for " + token + " in " + support::cupsPdfFolder()));
    QCOMPARE(m_program->dialogs.shown().size(), 3);
    QCOMPARE(m_program->dialogs.shown().back().text,
             "Sent to the printer " + QPrinterInfo::defaultPrinterName());
    QFile::remove(pdf);
}

void TestProbePage::longTextGoesOnOnFurtherPages() {
    if (const QString problem = support::popplerProblem(); !problem.isEmpty()) {
        QSKIP(qPrintable(problem));
    }
    m_program->load(kExample, kExampleWeights);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    m_program->session.TrainingFolder = folder.path().toStdString();
    // Straight to the PDF file, which is written as a printer would print.
    m_program->printer.refuseWith(QStringLiteral("There is no printer to print on."));
    pages::ProbePage* page = m_program->open();
    for (int k = 0; k < 40; ++k) {
        probe(page, QString::number(k % 2 + 1));
    }

    m_program->dialogs.answer(ui::Answer::Yes);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("example-probe.pdf"));
    QVERIFY(support::pdfPageCount(pdf) >= 3);
    QCOMPARE(support::pdfLines(pdf),
             QStringList{"Results Of Testing Distributed Memory On example.net"} +
                 support::simplifiedLines(page->resultsText()));
}

// 300 values to a line: far wider than the page, continued on further lines, none cut off.
void TestProbePage::wideLinesGoOnOnTheNextLine() {
    if (const QString problem = support::popplerProblem(); !problem.isEmpty()) {
        QSKIP(qPrintable(problem));
    }
    QByteArray data = "300 0 300 1";
    for (int k = 0; k < 600; ++k) {
        data += k % 7 == 0 ? " -1.25" : " 0.5";
    }
    m_program->load(data.constData(), {0.25, -0.75, 1.5});
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    m_program->session.TrainingFolder = folder.path().toStdString();
    m_program->printer.refuseWith(QStringLiteral("There is no printer to print on."));
    pages::ProbePage* page = m_program->open();
    probe(page, QStringLiteral("1"));

    m_program->dialogs.answer(ui::Answer::Yes);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("example-probe.pdf"));
    const QStringList lines = support::pdfLines(pdf);
    QVERIFY(lines.size() > 20);
    const auto words = [](const QStringList& text) {
        return text.join(QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    QCOMPARE(words(lines), words(QStringList{"Results Of Testing Distributed Memory On "
                                             "example.net"} +
                                 support::simplifiedLines(page->resultsText())));
}

void TestProbePage::unwritablePdfFolderIsReported() {
    m_program->load(kExample, kExampleWeights);
    m_program->session.TrainingFolder = "/nonexistent/folder";
    m_program->printer.refuseWith(
        QStringLiteral("The printer \"Office\" could not start the print job."));
    pages::ProbePage* page = m_program->open();

    m_program->dialogs.answer(ui::Answer::Yes);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(page->PrintResults, Qt::LeftButton);

    QCOMPARE(m_program->dialogs.texts(),
             QStringList({"The printer \"Office\" could not start the print job.\n\nWrite the "
                          "pages to the PDF file \"/nonexistent/folder/example-probe.pdf\" "
                          "instead?",
                          "The PDF file \"/nonexistent/folder/example-probe.pdf\" could not be "
                          "written: No such file or directory. Check that the folder "
                          "exists and that you may write to it."}));
    QCOMPARE(m_program->dialogs.shown().back().icon, ui::Icon::Exclamation);
}

QTEST_MAIN(TestProbePage)
#include "tst_probe_page.moc"
