#include "pages/probe_page.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "experiments/test_patterns.h"
#include "files/loader.h"
#include "pages/page_id.h"
#include "text/number_text.h"
#include "text/utf8.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"
#include "ui/wrapping_button.h"
#include "views/own_pattern.h"
#include "views/probe_block.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 16> kGeometry{{
    {"Label2", {1002, 720, 8640, 492}},
    {"PatternLabel", {840, 1440, 5892, 612}},
    {"PatternBox", {7416, 1500, 756, 372}},
    {"PatternUpDown", {8173, 1500, 156, 372}},
    {"PatternOK", {8760, 1440, 492, 492}},
    {"ResultsText", {396, 2280, 9852, 2175}},
    {"ClearText", {4296, 4680, 2052, 612}},
    {"PrintResults", {4296, 5520, 2052, 612}},
    {"NoiseLabel", {2376, 6420, 1800, 312}},
    {"NoiseBox", {4296, 6360, 756, 372}},
    {"NoiseUpDown", {5053, 6360, 156, 372}},
    {"SeedLabel", {5400, 6420, 612, 312}},
    {"SeedBox", {6048, 6360, 1092, 372}},
    {"OwnPattern", {4296, 6960, 2052, 612}},
    {"TestFile", {4296, 7680, 2052, 612}},
    {"Command2", {8760, 8280, 1695, 615}},
}};

constexpr int kTabColumns = 8;
constexpr long long kLargestSeed = 999999999;

text::NumberSeparators separators() {
    const ui::LocaleSeparators s = ui::CurrentLocaleSeparators();
    return {s.decimal, s.grouping};
}

}  // namespace

ProbePage::ProbePage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session,
                     ui::Printer& printer)
    : ui::Page(runtime, PageId::Probe,
               QStringLiteral(
                   "Distributed Memory Program -- Probe Network Responses To Selected Patterns"),
               10650, 9090),
      m_net(net),
      m_session(session),
      m_printer(printer) {
    // Created in the order of the geometry table, which is also the tab order.
    Label2 = ui::Named(
        new QLabel(QStringLiteral("Examine The Network's Responses To Individual Patterns"), this),
        "Label2");
    Label2->setFont(ui::PageFont("Arial", 14.25, ui::Bold));
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    PatternLabel = ui::Named(new QLabel(QStringLiteral("Use the control to the left to choose a "
                                                       "pattern to present to the network.  The "
                                                       "results will be added to the text in the "
                                                       "textbox below."),
                                        this),
                             "PatternLabel");
    PatternLabel->setFont(ui::PageFont("Arial", 9, ui::Bold));
    PatternLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    PatternLabel->setWordWrap(true);

    PatternBox = ui::Named(new QLineEdit(QStringLiteral("1"), this), "PatternBox");
    PatternBox->setFont(ui::PageFont("Arial", 10.5));
    PatternBox->setAlignment(Qt::AlignCenter);
    // The highest value comes from the network in Form_Load.
    PatternUpDown = ui::Named(new ui::UpDown(PatternBox, 1, 1, 1, this), "PatternUpDown");

    PatternOK = ui::Named(new QPushButton(QStringLiteral("Ok"), this), "PatternOK");
    PatternOK->setFont(ui::PageFont("Arial", 10.5, ui::Bold));

    ResultsText = ui::Named(new QPlainTextEdit(this), "ResultsText");
    ResultsText->setFont(ui::PageFont("Courier", 9.75));
    ResultsText->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The student may type a TAB into the window; Ctrl+Tab moves on from it.
    ui::LeaveWithCtrlTab(ResultsText);
    ResultsText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResultsText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Stops every 8 characters line the value columns up under each other.
    ResultsText->setTabStopDistance(
        kTabColumns * QFontMetricsF(ResultsText->font()).horizontalAdvance(QLatin1Char(' ')));

    ClearText = ui::Named(
        new ui::WrappingButton(QStringLiteral("Clear The Text In The Window"), this), "ClearText");
    ClearText->setFont(ui::PageFont("Arial", 9.75, ui::Bold));
    PrintResults =
        ui::Named(new ui::WrappingButton(QStringLiteral("Print The Text In The Window"), this),
                  "PrintResults");
    PrintResults->setFont(ui::PageFont("Arial", 9.75, ui::Bold));

    NoiseLabel = ui::Named(new QLabel(QStringLiteral("Noise (percent):"), this), "NoiseLabel");
    NoiseLabel->setFont(ui::PageFont("Arial", 9, ui::Bold));
    NoiseLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    NoiseBox = ui::Named(new QLineEdit(QStringLiteral("0"), this), "NoiseBox");
    NoiseBox->setFont(ui::PageFont("Arial", 10.5));
    NoiseBox->setAlignment(Qt::AlignCenter);
    NoiseUpDown = ui::Named(new ui::UpDown(NoiseBox, 0, 0, 100, this), "NoiseUpDown");
    NoiseUpDown->setStep(5);
    SeedLabel = ui::Named(new QLabel(QStringLiteral("Seed:"), this), "SeedLabel");
    SeedLabel->setFont(ui::PageFont("Arial", 9, ui::Bold));
    SeedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SeedBox = ui::Named(new QLineEdit(QStringLiteral("1"), this), "SeedBox");
    SeedBox->setFont(ui::PageFont("Arial", 10.5));
    SeedBox->setAlignment(Qt::AlignCenter);
    OwnPattern = ui::Named(new ui::WrappingButton(QStringLiteral("Probe Your Own Pattern"), this),
                           "OwnPattern");
    OwnPattern->setFont(ui::PageFont("Arial", 9.75, ui::Bold));
    TestFile = ui::Named(
        new ui::WrappingButton(QStringLiteral("Probe A File Of Test Patterns"), this), "TestFile");
    TestFile->setFont(ui::PageFont("Arial", 9.75, ui::Bold));

    Command2 = ui::Named(new QPushButton(QStringLiteral("Close Form"), this), "Command2");
    Command2->setFont(ui::PageFont("Arial", 12, ui::Bold | ui::Italic));

    ui::ApplyGeometry(this, geometry());
    ui::NameAfterLabel(PatternBox, PatternLabel);
    ui::DescribeControl(PatternUpDown, QStringLiteral("Pattern number up or down"),
                        QStringLiteral("The Up and Down keys in the box do the same."));
    ui::DescribeControl(ResultsText, QStringLiteral("Probe results"),
                        QStringLiteral("The responses to the probed patterns, newest first. "
                                       "Ctrl+Tab moves on to the next control."));
    const QString noiseUse = QStringLiteral(
        "Each input of the pattern is changed with this probability (in percent) at the next "
        "Ok. In a file whose inputs are all 0 or 1 a changed input is flipped; in a file whose "
        "inputs are all -1 or +1 it changes sign; in any other file it gets Gaussian noise "
        "whose standard deviation is the pattern's root-mean-square value.");
    ui::NameAfterLabel(NoiseBox, NoiseLabel, noiseUse);
    NoiseBox->setToolTip(noiseUse);
    ui::DescribeControl(NoiseUpDown, QStringLiteral("Noise up or down"),
                        QStringLiteral("Steps of 5 percent; the Up and Down keys in the box do the "
                                       "same."));
    ui::NameAfterLabel(SeedBox, SeedLabel,
                       QStringLiteral("The seed of the noise: the same seed damages a pattern the "
                                      "same way again."));

    connect(PatternOK, &QPushButton::clicked, this, &ProbePage::PatternOK_Click);
    // Return in the pattern box probes, as Ok does.
    connect(PatternBox, &QLineEdit::returnPressed, PatternOK, &QPushButton::click);
    connect(ClearText, &QPushButton::clicked, this, &ProbePage::ClearText_Click);
    connect(PrintResults, &QPushButton::clicked, this, &ProbePage::PrintResults_Click);
    connect(OwnPattern, &QPushButton::clicked, this, &ProbePage::OwnPattern_Click);
    connect(TestFile, &QPushButton::clicked, this, &ProbePage::TestFile_Click);
    connect(Command2, &QPushButton::clicked, this, &ProbePage::Command2_Click);
}

std::span<const ui::ControlPlace> ProbePage::geometry() {
    return kGeometry;
}

void ProbePage::Form_Load() {
    // Only here: training on while the page is open does not move the range.
    PatternUpDown->setMaximum(m_net.NumPatterns);
}

QString ProbePage::resultsText() const {
    // The text control keeps paragraphs, not line-end characters.
    QString text = ResultsText->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void ProbePage::PatternOK_Click() {
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        runtime().dialogs().warn(this, QString::fromStdString(untrained));
        return;
    }
    const QString shown = PatternBox->text();
    const text::NumberSeparators seps = separators();
    const std::optional<int> p =
        text::ParsePatternNumber(shown.toStdString(), m_net.NumPatterns, seps);
    if (!p) {
        runtime().dialogs().warn(
            this, QStringLiteral("\"%1\" is not a pattern number. Type a whole number from 1 to %2 "
                                 "into the box, then press Ok.")
                      .arg(shown)
                      .arg(m_net.NumPatterns));
        return;
    }
    const std::optional<long long> noise =
        text::ParseWholeNumber(NoiseBox->text().toStdString(), 0, 100, seps);
    if (!noise) {
        message(QStringLiteral("\"%1\" is not an amount of noise. Type a whole number from 0 to "
                               "100 (percent) into the Noise box, then press Ok.")
                    .arg(NoiseBox->text()));
        return;
    }
    const std::optional<long long> seed =
        *noise > 0 ? text::ParseWholeNumber(SeedBox->text().toStdString(), 0, kLargestSeed, seps)
                   : std::optional<long long>(0);
    if (!seed) {
        message(QStringLiteral("\"%1\" is not a seed. Type a whole number from 0 to %2 into the "
                               "Seed box, then press Ok.")
                    .arg(SeedBox->text())
                    .arg(kLargestSeed));
        return;
    }
    std::string block;
    try {
        const views::Noise damage{static_cast<int>(*noise), static_cast<std::uint64_t>(*seed)};
        if (!probed(
                views::ProbeDamagedPattern(m_net, *p, shown.toStdString(), damage, seps, &block),
                QStringLiteral("Pattern %1").arg(*p))) {
            return;
        }
    } catch (const std::bad_alloc&) {
        probed(core::ArithStatus::OutOfMemory, QStringLiteral("Pattern %1").arg(*p));
        return;
    }
    insertBlock(block);
    if (*noise > 0) {
        // The next noisy probe damages differently; typing the seed back repeats this one.
        SeedBox->setText(QString::number(*seed < kLargestSeed ? *seed + 1 : 0));
    }
}

void ProbePage::OwnPattern_Click() {
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        message(QString::fromStdString(untrained));
        return;
    }
    const QString typed = runtime().dialogs().inputBox(
        this,
        QStringLiteral("Type the %1 input values of your pattern, separated by commas, blanks "
                       "or tabs as in a .net file:")
            .arg(m_net.NumInputs),
        QStringLiteral("Probe Your Own Pattern"));
    if (typed.trimmed().isEmpty()) {
        return;  // cancelled
    }
    std::string block;
    try {
        const views::TypedPattern pattern =
            views::ParseTypedPattern(typed.toStdString(), m_net.NumInputs);
        if (!pattern.problem.empty()) {
            message(QStringLiteral("Your pattern was not probed. ") +
                    QString::fromStdString(pattern.problem));
            return;
        }
        const core::ArithStatus status =
            views::ProbeOwnPattern(m_net, pattern.values, separators(), &block);
        if (status == core::ArithStatus::Overflow && storedPatternsRecall()) {
            // The weights are sound: what overflows is what was typed.
            message(QStringLiteral(
                        "Your pattern could not be probed: %1. The typed values are too large for "
                        "these weights, which recall every stored pattern without overflow; type "
                        "smaller values.")
                        .arg(QString::fromUtf8(core::Describe(status))));
            return;
        }
        if (!probed(status, QStringLiteral("Your pattern"))) {
            return;
        }
    } catch (const std::bad_alloc&) {
        probed(core::ArithStatus::OutOfMemory, QStringLiteral("Your pattern"));
        return;
    }
    insertBlock(block);
}

void ProbePage::TestFile_Click() {
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        message(QString::fromStdString(untrained));
        return;
    }
    const QString chosen = runtime().dialogs().openFileName(
        this, QStringLiteral("Probe A File Of Test Patterns"),
        QString::fromStdString(m_session.TrainingFolder), QStringLiteral("Training files (*.net)"));
    if (chosen.isEmpty()) {
        return;  // cancelled
    }
    const std::string path = QFile::encodeName(chosen).toStdString();
    const std::string fileName = QFileInfo(chosen).fileName().toStdString();
    // Loaded and recalled on a worker: a test file may be as large as a training file.
    std::string text;
    std::string error;
    core::ArithStatus status = core::ArithStatus::Ok;
    core::Progress progress;        // the file read
    core::Progress recallProgress;  // the test patterns decided
    ui::LongTask task;
    task.title = QStringLiteral("Probing the test patterns");
    task.work = [&] {
        try {
            core::Problem tests;
            experiments::TestRecall recall;
            if (!experiments::LoadTestPatterns(m_net, path, tests, error, &progress) ||
                !experiments::RecallTestPatterns(m_net.Weights, tests, fileName, recall, error,
                                                 &recallProgress)) {
                return false;
            }
            // The summary first, where the eye lands; then each test pattern, marked.
            text = experiments::TestSummary(recall, separators().decimal) + "\r\n" +
                   std::string(45, '=') + "\r\n";
            for (int t = 1; t <= tests.NumPatterns && status == core::ArithStatus::Ok; ++t) {
                std::string block;
                const bool recalled =
                    recall.scores[static_cast<std::size_t>(t - 1)].recalledNearest;
                status = views::ProbeTestPattern(m_net, tests, t, recalled, fileName, separators(),
                                                 &block);
                text += block;
            }
        } catch (const std::bad_alloc&) {
            status = core::ArithStatus::OutOfMemory;
        }
        return !text.empty();
    };
    // Two phases, each with its own count: the status follows the one under way.
    task.status = [&progress, &recallProgress] {
        const bool recalling = recallProgress.total() > 0;
        const core::Progress& now = recalling ? recallProgress : progress;
        return ui::TaskStatus{recalling ? QStringLiteral("Recalling the test patterns")
                                        : QStringLiteral("Reading and recalling the test patterns"),
                              static_cast<double>(now.done()), static_cast<double>(now.total())};
    };
    task.cancel = [&progress, &recallProgress] {
        progress.requestStop();
        recallProgress.requestStop();
    };
    if (ui::RunLongTask(runtime(), this, task) == core::WorkEnd::Cancelled) {
        return;
    }
    if (!error.empty()) {
        message(QString::fromStdString(error));
        return;
    }
    if (probed(status, QStringLiteral("A test pattern of ") + QString::fromStdString(fileName))) {
        insertBlock(text);
    }
}

bool ProbePage::storedPatternsRecall() {
    for (int p = 1; p <= m_net.NumPatterns; ++p) {
        if (core::ComputeResponses(m_net, p) != core::ArithStatus::Ok) {
            return false;
        }
    }
    return true;
}

bool ProbePage::probed(core::ArithStatus status, const QString& what) {
    if (status == core::ArithStatus::Ok) {
        return true;
    }
    // Only an overflow comes from the training itself; a network of other sizes means
    // another training file was loaded after it was trained.
    QString advice;
    switch (status) {
        case core::ArithStatus::Overflow:
            advice = QStringLiteral(
                "Reset the weights and train again, perhaps with a smaller learning rate.");
            break;
        case core::ArithStatus::OutOfMemory:
            advice = QStringLiteral("Close other pages or programs and try again.");
            break;
        default:
            advice = QStringLiteral(
                "A training file was loaded after this network was trained; train a network on "
                "it before probing.");
            break;
    }
    message(QStringLiteral("%1 could not be probed: %2. %3")
                .arg(what, QString::fromUtf8(core::Describe(status)), advice));
    return false;
}

void ProbePage::message(const QString& text) {
    runtime().dialogs().warn(this, text);
}

void ProbePage::insertBlock(const std::string& block) {
    // Newest first. Inserting rather than replacing leaves whatever the student wrote
    // into the window as it was, and undoable.
    QTextCursor top(ResultsText->document());
    top.insertText(
        QString::fromStdString(block).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    ResultsText->moveCursor(QTextCursor::Start);
    ResultsText->ensureCursorVisible();
}

void ProbePage::ClearText_Click() {
    ResultsText->clear();
}

void ProbePage::PrintResults_Click() {
    try {
        printResults();
    } catch (const std::bad_alloc&) {
        runtime().dialogs().warn(
            this, QStringLiteral("The results could not be printed: there is not enough memory to "
                                 "make the pages. Clear the window or print fewer results."));
    }
}

void ProbePage::printResults() {
    const QString fileName = QString::fromStdString(text::ShownName(m_net.TrainingFileName));
    ui::PrintJob job;
    job.printLine(QString());
    job.setFont("Courier", 10);
    job.setBold(true);
    job.printLine(QStringLiteral("Results Of Testing Distributed Memory On ") + fileName);
    job.setBold(false);
    job.printLine(QString());
    job.printText(resultsText());

    // Named after the training file: the print queue and a PDF written instead show it.
    const QString base = QFileInfo(fileName).completeBaseName();
    const QString name =
        (base.isEmpty() ? QStringLiteral("network") : base) + QStringLiteral("-probe");
    ui::PrintOrOfferPdf(m_printer, runtime().dialogs(), this, job, name,
                        QString::fromStdString(m_session.TrainingFolder), name);
}

void ProbePage::Command2_Click() {
    runtime().Unload(PageId::Probe);
}

}  // namespace pages
