// Faults met while a student works through the real pages: training files that go away,
// are folders or are huge; arithmetic that overflows; epoch counters at their limit; a
// report file replaced while the program asks about it, or cut short by a full disk; a
// PDF written instead of printing on a full disk. After each fault nothing may be lost
// (files and the network as they were, or consistent) and the next ordinary step works.
//
// The page suites test each page's own refusals with stand-ins around it; here the whole
// program runs, with a trained network at stake.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtCharts/QBarSet>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>

#include "pages/page_id.h"
#include "pages/sse_chart.h"
#include "tests/support/program_driver.h"
#include "text/number_format.h"

namespace {

using pages::PageId;
using support::ProgramDriver;
using ui::PageKey;

const QString kNewProblem = QStringLiteral("Train A New Network On A New Problem");
const QString kReset = QStringLiteral("Reset Weights And Train Again");
const QString kKeep = QStringLiteral("Keep Current Weights And Continue Training");
const QString kProbe = QStringLiteral("Probe Network Responses To Selected Patterns");
const QString kSave = QStringLiteral("Save Summary As A Text File");
const QString kPlot = QStringLiteral("Plot SSE By Sweeps");
const QString kOverwrite = QStringLiteral("File already exists -- overwrite it?");

QStringList itemTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        texts << list->item(row)->text().trimmed();
    }
    return texts;
}

QStringList withoutUnits(QStringList state) {
    state.removeIf([](const QString& line) {
        return line.startsWith(QLatin1String("inputs")) ||
               line.startsWith(QLatin1String("outputs"));
    });
    return state;
}

// The permission bits of the file at `path`; -1 when there is no such file.
int permissions(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
               ? static_cast<int>(info.st_mode & 07777)
               : -1;
}

// The temporary files a report save leaves behind in `folder`, if any.
QStringList leftoverTemporaries(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".report.txt.*")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

// Lowers the process's file size limit (a disk that fills up after `bytes` bytes of any
// file) with SIGXFSZ ignored, so that writes fail with EFBIG; restores both when destroyed.
class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit low = m_saved;
        low.rlim_cur = bytes;
        m_ok = m_ok && m_handler != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &low) == 0;
    }
    ~FullDisk() { restore(); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool ok() const { return m_ok; }
    void restore() {
        if (!m_restored) {
            m_restored = true;
            ::setrlimit(RLIMIT_FSIZE, &m_saved);
            if (m_handler != SIG_ERR) {
                std::signal(SIGXFSZ, m_handler);
            }
        }
    }
    // Whether the limit is back where it was.
    bool restored() const {
        rlimit now{};
        return ::getrlimit(RLIMIT_FSIZE, &now) == 0 && now.rlim_cur == m_saved.rlim_cur &&
               now.rlim_max == m_saved.rlim_max;
    }

  private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_ERR;
    bool m_ok = false;
    bool m_restored = false;
};

// Arms the Stop button to be pressed as soon as the next run lets events through.
void pressStopOnceRunning(pages::SetupPage* page, bool* wasVisible) {
    QTimer::singleShot(0, page, [page, wasVisible] {
        *wasVisible = page->Stop->isVisible();
        QTest::mouseClick(page->Stop, Qt::LeftButton);
    });
}

enum class HugeFile { AnnouncesMore, LongNumbers, WidePatterns };
enum class Replacement { OtherFile, Removed, Folder };
enum class Vanishing { Deleted, Folder, Unreadable };

constexpr qint64 kMiB = 1024 * 1024;

// Writes about 200 MB of training file of the kind `kind` to `path`, a piece at a time so
// that the test itself does not hold it in memory.
bool writeHugeFile(const QString& path, HugeFile kind) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    auto put = [&file](const QByteArray& bytes) { return file.write(bytes) == bytes.size(); };
    switch (kind) {
        case HugeFile::AnnouncesMore: {
            // 32767 x 32767 input values announced; a hundredth of them there.
            const QByteArray piece = QByteArray("1 ").repeated(512 * 1024);
            bool ok = put("32767 0 32767 32767\n");
            for (int k = 0; ok && k < 200; ++k) {
                ok = put(piece);
            }
            return ok;
        }
        case HugeFile::LongNumbers: {
            // One input, one output, 32767 patterns, every number 3000 digits long.
            const QByteArray zeros(2996, '0');
            const QByteArray input = "0.25" + zeros + "\n";
            const QByteArray output = "-0.5" + zeros + "0\n";
            bool ok = put("1 0 1 32767\n");
            for (int k = 0; ok && k < 32767; ++k) {
                ok = put(input);
            }
            for (int k = 0; ok && k < 32767; ++k) {
                ok = put(output);
            }
            return ok;
        }
        case HugeFile::WidePatterns: {
            // 3000 patterns of 32767 inputs, the most input units a file may have.
            const QByteArray pattern = QByteArray("1 ").repeated(32767) + "\n";
            bool ok = put("1 0 32767 3000\n");
            for (int k = 0; ok && k < 3000; ++k) {
                ok = put(pattern);
            }
            for (int k = 0; ok && k < 3000; ++k) {
                ok = put("-1\n");
            }
            return ok;
        }
    }
    return false;
}

}  // namespace

class TestFaults : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // Training files.
    void trainingFileGoesAwayAfterListing_data();
    void trainingFileGoesAwayAfterListing();
    void hugeTrainingFile_data();
    void hugeTrainingFile();

    // Arithmetic.
    void overflowDuringTrainingLeavesAUsableNetwork();
    void overflowInTheFirstEpochShowsThisProblemsError();
    void errorBeforeTrainingOverflows();

    // Epoch counters.
    void runToTheEpochLimitThenTryToGoOn();
    void keptWeightsUnderAnOldMaximumRunToTheEpochLimit();
    void runWhoseMaximumCannotBeMetIsStopped();
    void networkTooLargeForMemoryOffersNoRun();

    // Reports.
    void reportChangedWhileOverwriteQuestionIsOpen_data();
    void reportChangedWhileOverwriteQuestionIsOpen();
    void fullDiskKeepsTheOldReport();
    void reportOfAFileNotYetTrainedIsRefused();

    // Printing.
    void pdfInsteadOfPrintingOnAFullDisk();

  private:
    QString path(const QString& name) const { return m_root + QLatin1Char('/') + name; }
    // The start page, listing the files of the temporary folder as they are now.
    [[nodiscard]] bool showStart() const {
        return m_program->runtime.Show(PageId::Start) != nullptr;
    }
    // Trains tiny.net with the Hebb rule and opens the save page, which has written a first
    // report, report.txt, with every section; returns that report without date and time.
    QByteArray saveFirstReport();

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_root;  // the temporary folder, also the current folder during a test
    QString m_previousFolder;
    QLocale m_previousLocale;
    std::unique_ptr<ProgramDriver> m_program;
};

void TestFaults::init() {
    m_previousLocale = QLocale();
    QLocale::setDefault(QLocale::c());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_root = QDir::currentPath();
    QVERIFY(QFile::copy(QStringLiteral(DAM_EXAMPLES "/tiny.net"), path("tiny.net")));
    m_program = std::make_unique<ProgramDriver>();
}

void TestFaults::cleanup() {
    if (m_program) {
        QCOMPARE(m_program->dialogs.unanswered(), 0);
        QCOMPARE(m_program->dialogs.errors(), QStringList());
    }
    m_program.reset();
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
    QLocale::setDefault(m_previousLocale);
}

QByteArray TestFaults::saveFirstReport() {
    ProgramDriver& program = *m_program;
    if (!showStart() || !program.trainToMenu(QStringLiteral("tiny.net"), QStringLiteral("Hebb")) ||
        !program.pick(kSave) || !program.tickAllSections() ||
        !program.nameReport(QStringLiteral("report")) ||
        !ProgramDriver::click(program.save(), "SaveFile")) {
        return {};
    }
    return support::timelessReport(support::readFile(path(QStringLiteral("report.txt"))));
}

// --- Training files ----------------------------------------------------------------------

void TestFaults::trainingFileGoesAwayAfterListing_data() {
    QTest::addColumn<Vanishing>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("deleted") << Vanishing::Deleted << QStringLiteral("No such file or directory");
    QTest::newRow("replaced by a folder") << Vanishing::Folder << QStringLiteral("Is a directory");
    QTest::newRow("made unreadable")
        << Vanishing::Unreadable << QStringLiteral("Permission denied");
}

void TestFaults::trainingFileGoesAwayAfterListing() {
    QFETCH(Vanishing, fault);
    QFETCH(QString, reason);
    if (fault == Vanishing::Unreadable && ::geteuid() == 0) {
        QSKIP("running as root, which reads a file whatever its permissions say");
    }
    ProgramDriver& program = *m_program;
    QVERIFY(support::writeFile(path("victim.net"), "1 0 2 1  1 -1  0.5"));
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("folder.net")));
    QVERIFY(support::writeFile(path("folder.net/inside.net"), "1 0 1 1  1  1"));
    // Nor are a FIFO or a link to one: opening them would wait for a writer.
    QVERIFY(::mkfifo(QFile::encodeName(path("pipe.net")).constData(), 0600) == 0);
    QVERIFY(QFile::link(QStringLiteral("pipe.net"), path("link.net")));

    QVERIFY(showStart());
    // A trained network is at stake when the student comes back for a new problem.
    QVERIFY(program.trainToMenu(QStringLiteral("tiny.net"), QStringLiteral("Hebb")));
    QVERIFY(program.pick(kNewProblem));
    QVERIFY(program.start());
    // Folders are not training files, whatever their names say.
    QCOMPARE(itemTexts(program.trainingFiles()), (QStringList{"tiny.net", "victim.net"}));
    const QStringList before = support::wholeState(program.net, program.session);

    const QString victim = path("victim.net");
    QVERIFY(QFile::remove(victim));
    if (fault == Vanishing::Folder) {
        QVERIFY(QDir(m_root).mkdir(QStringLiteral("victim.net")));
    } else if (fault == Vanishing::Unreadable) {
        QVERIFY(support::writeFile(victim, "1 0 2 1  1 -1  0.5"));
        QVERIFY(::chmod(QFile::encodeName(victim).constData(), 0) == 0);
    }
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.load(QStringLiteral("victim.net")));  // refused: nothing is asked

    QCOMPARE(program.dialogs.shown().size(), 1);
    const QString shown = program.dialogs.shown().front().text;
    QVERIFY2(shown.contains(victim) && shown.contains(reason), qPrintable(shown));
    QCOMPARE(program.dialogs.shown().front().icon, ui::Icon::Exclamation);
    QCOMPARE(support::wholeState(program.net, program.session), before);
    QVERIFY(!program.start()->findChild<QPushButton*>(QStringLiteral("NextPage"))->isVisible());

    // The student picks a good file, lets the unsaved network go, and trains on.
    program.dialogs.answer(ui::Answer::No);
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(program.goOn());
    QVERIFY(program.train(QStringLiteral("Delta")));
    QCOMPARE(program.net.SweepCount, 100);
    QVERIFY(program.net.LearningRule == core::Rule::Delta);
    QCOMPARE(program.dialogs.shown().size(), 2);
}

void TestFaults::hugeTrainingFile_data() {
    QTest::addColumn<HugeFile>("kind");
    QTest::addColumn<bool>("loads");
    QTest::newRow("header announces far more than the file holds")
        << HugeFile::AnnouncesMore << false;
    QTest::newRow("3000-digit numbers, 32767 patterns") << HugeFile::LongNumbers << true;
    QTest::newRow("32767 inputs, 3000 patterns") << HugeFile::WidePatterns << true;
}

void TestFaults::hugeTrainingFile() {
    QFETCH(HugeFile, kind);
    QFETCH(bool, loads);
    ProgramDriver& program = *m_program;
    const QString huge = path("huge.net");
    QVERIFY(writeHugeFile(huge, kind));
    const qint64 size = QFileInfo(huge).size();
    QVERIFY(size > 190'000'000);
    const auto removeFile = qScopeGuard([&huge] { QFile::remove(huge); });
    QVERIFY(showStart());

    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    const QStringList before = support::wholeState(program.net, program.session);
    if (!loads) {
        program.dialogs.answer(ui::Answer::Ok);
    }
    const long long peakBefore = support::processStatusKiB("VmHWM");
    QVERIFY(program.load(QStringLiteral("huge.net")));
    const long long peakAfter = support::processStatusKiB("VmHWM");

    QVERIFY(peakBefore > 0 && peakAfter > 0);
    const long long growth = (peakAfter - peakBefore) * 1024;
    qInfo("file %lld MiB; peak resident size %lld MiB before, %lld MiB after loading", size / kMiB,
          peakBefore / 1024, peakAfter / 1024);
    QVERIFY2(growth < 6 * size + 200 * kMiB,
             qPrintable(QStringLiteral("the peak grew by %1 MiB").arg(growth / kMiB)));

    if (!loads) {
        QCOMPARE(program.dialogs.shown().size(), 1);
        const QString shown = program.dialogs.shown().front().text;
        QVERIFY2(shown.contains(QStringLiteral("ends early")) && shown.contains(huge),
                 qPrintable(shown));
        QCOMPARE(support::wholeState(program.net, program.session), before);
    } else {
        QCOMPARE(program.dialogs.shown().size(), 0);
        QCOMPARE(program.net.TrainingFileName, std::string("huge.net"));
        QCOMPARE(program.net.NumOutputs, 1);
        if (kind == HugeFile::LongNumbers) {
            QCOMPARE(program.net.NumInputs, 1);
            QCOMPARE(program.net.NumPatterns, 32767);
            QCOMPARE(program.net.InputPatterns(1, 32767), 0.25);
            QCOMPARE(program.net.DesiredOutputs(1, 1), -0.5);
            // Few numbers, however long: it trains like any other problem.
            QVERIFY(program.goOn());
            QVERIFY(program.train(QStringLiteral("Delta")));
            QCOMPARE(program.net.SweepCount, 100);
            QCOMPARE(support::firstNonFinite(program.net), QString());
            QVERIFY(program.testRecall());
            QVERIFY(program.pick(kNewProblem));
        } else {
            QCOMPARE(program.net.NumInputs, 32767);
            QCOMPARE(program.net.NumPatterns, 3000);
            QCOMPARE(program.net.InputPatterns(32767, 3000), 1.0);
            QCOMPARE(program.net.DesiredOutputs(1, 3000), -1.0);
        }
    }

    // Usable afterwards: another file loads and trains.
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(program.goOn());
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.NumInputs, 3);
    QCOMPARE(program.net.SweepCount, 100);
}

// --- Arithmetic --------------------------------------------------------------------------

void TestFaults::overflowDuringTrainingLeavesAUsableNetwork() {
    ProgramDriver& program = *m_program;
    // Delta at rate 2 on inputs of 1.5 multiplies each error by -3.5 every epoch; errors
    // start near 1e150, so their squares pass the double range after a few epochs.
    QVERIFY(support::writeFile(path("overflow.net"),
                               "2 0 2 2  1.5 0  0 1.5  1e150 -1e150  5e149 2e149"));
    QVERIFY(showStart());
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("overflow.net")));
    QVERIFY(program.goOn());
    pages::SetupPage* setup = program.setup();
    setup->LRateBox->setText(QStringLiteral("2"));
    setup->PrintSweepsBox->setText(QStringLiteral("1"));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.train(QStringLiteral("Delta")));

    const int completed = program.net.SweepCount;
    QVERIFY(completed > 0 && completed < 100);
    support::checkWarnings(
        program.dialogs,
        QStringList{QStringLiteral("Training stopped during epoch %1: a value grew beyond the "
                                   "range of double precision (overflow). The network is "
                                   "shown as it was after the last complete epoch.")
                        .arg(completed + 1)});
    QCOMPARE(support::firstNonFinite(program.net), QString());
    QCOMPARE(program.net.SSEHistoryCount, completed + 1);
    QCOMPARE(setup->Picture1[1]->lines(), QStringList{QStringLiteral("Epochs: %1").arg(completed)});
    QVERIFY(!support::showsNonFinite(setup->Picture1[2]->lines().join('\n')));
    QVERIFY(!support::showsNonFinite(setup->Picture1[3]->lines().join('\n')));
    const QStringList trained = support::learnedState(program.net, program.session);

    // Probing, saving and plotting work on the network as the last complete epoch left it.
    QVERIFY(program.testRecall());
    QVERIFY(program.pick(kProbe));
    QVERIFY(program.probePattern(QStringLiteral("1")));
    QVERIFY(program.probePattern(QStringLiteral("2")));
    const QString probed = program.probe()->resultsText();
    QCOMPARE(probed.count(QStringLiteral("Pattern: ")), 2);
    QVERIFY2(!support::showsNonFinite(probed), qPrintable(probed));
    QVERIFY(ProgramDriver::click(program.probe(), "Command2"));

    QVERIFY(program.pick(kSave));
    QVERIFY(program.tickAllSections());
    QVERIFY(program.nameReport(QStringLiteral("overflow")));
    QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));
    const QString report = QString::fromUtf8(support::readFile(path("overflow.txt")));
    QVERIFY(report.startsWith(QStringLiteral("Distributed Associative Memory Program")));
    QVERIFY(report.contains(QStringLiteral("Network SSE as a function of sweeps")));
    QVERIFY2(!support::showsNonFinite(report), qPrintable(report));
    QVERIFY(ProgramDriver::click(program.save(), "Command2"));

    QVERIFY(program.pick(kPlot));
    QCOMPARE(program.graph()->chart()->bars()->count(),
             static_cast<int>(program.net.SSEHistoryCount));
    QVERIFY(ProgramDriver::click(program.graph(), "CloseThisForm"));
    // None of them changed what training left, but for the units a recall sets.
    QCOMPARE(withoutUnits(support::learnedState(program.net, program.session)),
             withoutUnits(trained));

    QVERIFY(program.pick(kNewProblem));
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(program.goOn());
    QVERIFY(program.train(QStringLiteral("Delta")));
    QCOMPARE(program.net.SweepCount, 100);
    // The message, the file name, and whether to save before opening another file.
    QCOMPARE(program.dialogs.shown().size(), 3);
}

void TestFaults::overflowInTheFirstEpochShowsThisProblemsError() {
    ProgramDriver& program = *m_program;
    // The first Delta step at rate 2 makes a weight of 2e300; the next recall overflows.
    QVERIFY(support::writeFile(path("first.net"), "1 0 1 2  1e150 1e150  1e150 -1e150"));
    QVERIFY(showStart());
    QVERIFY(program.trainToMenu(QStringLiteral("tiny.net"), QStringLiteral("Hebb")));
    const double earlierTotal = program.net.TotalSSE;
    QVERIFY(program.pick(kNewProblem));
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("first.net")));
    QVERIFY(program.goOn());
    program.setup()->LRateBox->setText(QStringLiteral("2"));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.train(QStringLiteral("Delta")));

    QCOMPARE(program.dialogs.texts(),
             QStringList({QStringLiteral("The trained network has not been saved. Save it before "
                                         "opening another file?"),
                          QStringLiteral("Training stopped during epoch 1: a value grew beyond the "
                                         "range of double precision (overflow). The network is "
                                         "shown as it was after the last complete epoch.")}));
    QCOMPARE(program.net.SweepCount, 0);
    QCOMPARE(program.net.SSEHistoryCount, 1);
    QCOMPARE(program.net.SSEHistory[1][2], 2e300);
    QCOMPARE(support::firstNonFinite(program.net), QString());
    // Epoch 0 is the last complete one: its total is the error before training, not the
    // total of the problem trained before.
    QVERIFY2(program.net.TotalSSE == program.net.SSEHistory[1][2],
             qPrintable(QStringLiteral("TotalSSE is %1; the error before training was %2, the "
                                       "total of the problem trained before %3")
                            .arg(support::number(program.net.TotalSSE),
                                 support::number(program.net.SSEHistory[1][2]),
                                 support::number(earlierTotal))));
    // Far wider than the row in the Standard format, so shown in the Scientific one.
    QCOMPARE(program.setup()->Picture1[2]->lines(),
             QStringList{QString::fromStdString(
                 "Total SSE: " + text::FormatScientific(program.net.SSEHistory[1][2]))});
}

void TestFaults::errorBeforeTrainingOverflows() {
    ProgramDriver& program = *m_program;
    // Zero weights leave errors of 1e300, whose squares are beyond the double range.
    QVERIFY(support::writeFile(path("huge-values.net"), "1 0 2 2  1 0  0 1  1e300 -1e300"));
    QVERIFY(showStart());
    QVERIFY(program.load(QStringLiteral("huge-values.net")));
    QVERIFY(program.goOn());
    const QString message = QStringLiteral(
        "Training stopped before the first epoch: a value grew beyond the range of double "
        "precision (overflow). The desired outputs of this file are too large: the sum of their "
        "squares is beyond the range of double precision, so no rule or rate can train on it. "
        "Scale the file's values down and load it again.");
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.train(QStringLiteral("Hebb")));

    support::checkWarnings(program.dialogs, QStringList{message});
    QCOMPARE(program.net.SweepCount, 0);
    QCOMPARE(program.net.SSEHistoryCount, 0);
    QCOMPARE(support::firstNonFinite(program.net), QString());
    QCOMPARE(program.net.Weights.Weight(1, 1), 0.0);

    // The menu's examining pages say why nothing can be trained on this file.
    const QString untrained = QStringLiteral(
        "The network has not been trained on \"huge-values.net\": training stops before the "
        "first epoch, because the error before training (the sum of the squared desired "
        "outputs) is beyond the range of double precision. No rule or rate can train on this "
        "file: scale its values down and load it again.");
    QVERIFY(program.testRecall());
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.pick(kPlot));
    QCOMPARE(program.graph()->chart()->bars()->count(), 0);
    QVERIFY(ProgramDriver::click(program.graph(), "CloseThisForm"));
    QVERIFY(program.pick(kProbe));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.probePattern(QStringLiteral("2")));
    QCOMPARE(program.probe()->resultsText(), QString());
    QVERIFY(ProgramDriver::click(program.probe(), "Command2"));

    // Resetting meets the same overflow again, and says so again.
    program.letUnsavedTrainingGo();
    QVERIFY(program.pick(kReset));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.train(QStringLiteral("Delta")));
    QCOMPARE(program.dialogs.texts(), (QStringList{message, untrained, untrained, message}));
    QCOMPARE(program.net.SSEHistoryCount, 0);

    QVERIFY(program.testRecall());
    QVERIFY(program.pick(kNewProblem));
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(QString::fromStdString(core::NotTrainedProblem(program.net))
                .contains(QStringLiteral("Train it first")));  // the reason went with the file
    QVERIFY(program.goOn());
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.SweepCount, 100);
    QCOMPARE(program.net.SSEHistoryCount, 11);
    QCOMPARE(program.dialogs.shown().size(), 4);
}

// --- Epoch counters ----------------------------------------------------------------------

void TestFaults::runToTheEpochLimitThenTryToGoOn() {
    ProgramDriver& program = *m_program;
    QVERIFY(showStart());
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(program.goOn());
    program.setup()->SweepsBox->setText(QStringLiteral("32767"));
    program.setup()->PrintSweepsBox->setText(QStringLiteral("1000"));
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.SweepCount, 32767);
    QCOMPARE(program.net.SSEHistoryCount, 33);
    QCOMPARE(program.net.SSEHistory[33][1], 32000.0);
    QCOMPARE(program.dialogs.shown().size(), 0);
    QCOMPARE(support::firstNonFinite(program.net), QString());
    const QStringList trained = support::learnedState(program.net, program.session);

    // "Continue Training" with the frozen box: 32767 more cannot be counted; the message
    // says how to start again from where the student is.
    const QString viaTestRecall = QStringLiteral(
        " To train from epoch 0 again, choose \"Test Recall\", then \"Reset Weights And Train "
        "Again\".");
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(program.setup(), "Continue"));
    support::checkWarnings(
        program.dialogs,
        QStringList{"Training on for 32767 more epochs would pass epoch 32767, the most "
                    "this program counts." +
                    viaTestRecall});
    QCOMPARE(support::learnedState(program.net, program.session), trained);
    QCOMPARE(program.net.FreshStart, 1);  // a refused continue decides nothing

    // Keeping the weights from the menu: 100 more refused (Test Recall is not offered yet),
    // 0 is no number of epochs; with the rule unticked the run stops at once.
    QVERIFY(program.testRecall());
    QVERIFY(program.pick(kKeep));
    pages::SetupPage* setup = program.setup();
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(setup, "StartTraining"));
    QCOMPARE(program.dialogs.texts().last(),
             QStringLiteral("Training on for 100 more epochs would pass epoch 32767, the most this "
                            "program counts. To train from epoch 0 again, untick \"End After A "
                            "Maximum Number Of Training Epochs\" and start: training ends at "
                            "epoch 32767, and \"Test Recall\" then leads to \"Reset Weights And "
                            "Train Again\"."));
    QVERIFY(setup->SweepsBox->isEnabled());
    setup->SweepsBox->setText(QStringLiteral("0"));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(setup, "StartTraining"));
    QVERIFY(program.dialogs.texts().last().contains(QStringLiteral("is less than 1")));
    setup->Check1[0]->setChecked(false);
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(setup, "StartTraining"));
    QCOMPARE(program.dialogs.texts().last(),
             "Training stopped at epoch 32767, the most epochs this program counts. To train "
             "again from epoch 0, choose \"Test Recall\", then \"Reset Weights And Train "
             "Again\".");
    QCOMPARE(support::learnedState(program.net, program.session), trained);
    QVERIFY(!setup->Stop->isVisible());
    QVERIFY(!program.runtime.inputLocked());

    // As the message says: reset, and training starts from epoch 0 again.
    QVERIFY(program.testRecall());
    program.letUnsavedTrainingGo();
    QVERIFY(program.pick(kReset));
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.SweepCount, 100);
    QCOMPARE(program.net.SSEHistoryCount, 11);
    QCOMPARE(program.dialogs.shown().size(), 5);
}

void TestFaults::keptWeightsUnderAnOldMaximumRunToTheEpochLimit() {
    ProgramDriver& program = *m_program;
    QVERIFY(showStart());
    QVERIFY(program.load(QStringLiteral("tiny.net")));
    QVERIFY(program.goOn());
    // Only the error rule: the maximum stays at what it was, 0.
    program.setup()->Check1[0]->click();
    program.setup()->Check1[1]->click();
    QVERIFY(program.train(QStringLiteral("Delta")));
    const int reached = program.net.SweepCount;
    QVERIFY(program.net.TotalSSE < 0.05);
    QVERIFY(reached > 1 && reached < 100);
    QCOMPARE(program.net.MaxSweeps, 0);

    // One more epoch, says the box; added to the old maximum that makes a limit the count
    // has passed, which only the epoch counter's own limit can end.
    QVERIFY(program.testRecall());
    QVERIFY(program.pick(kKeep));
    program.setup()->SweepsBox->setText(QStringLiteral("1"));
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.train(QStringLiteral("Delta")));
    QCOMPARE(program.net.MaxSweeps, 1);
    QCOMPARE(program.net.SweepCount, 32767);
    support::checkWarnings(
        program.dialogs,
        QStringList{QStringLiteral("Training stopped at epoch 32767, the most epochs this "
                                   "program counts. To train again from epoch 0, choose "
                                   "\"Test Recall\", then \"Reset Weights And Train "
                                   "Again\".")});
    QCOMPARE(support::firstNonFinite(program.net), QString());
    QVERIFY(!program.runtime.inputLocked());

    QVERIFY(program.testRecall());
    program.letUnsavedTrainingGo();
    QVERIFY(program.pick(kReset));
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.SweepCount, 100);
}

void TestFaults::runWhoseMaximumCannotBeMetIsStopped() {
    ProgramDriver& program = *m_program;
    // Big enough that 32767 epochs take far longer than the first screen frame (seconds).
    QByteArray problem = "128 0 128 8";
    for (int k = 0; k < 8 * 256; ++k) {
        problem += k % 3 != 0 ? " 1" : " -1";
    }
    QVERIFY(support::writeFile(path("wide.net"), problem));
    QVERIFY(showStart());
    QVERIFY(program.load(QStringLiteral("wide.net")));
    QVERIFY(program.goOn());
    pages::SetupPage* setup = program.setup();
    // A maximum of 0 epochs, which the page refuses while its rule is ticked: with no rule
    // ticked nothing ends the run but Stop.
    setup->SweepsBox->setText(QStringLiteral("0"));
    setup->Check1[0]->setChecked(false);
    bool stopShown = false;
    pressStopOnceRunning(setup, &stopShown);
    QVERIFY(ProgramDriver::click(setup, "StartTraining"));

    QVERIFY(stopShown);
    const int stoppedAt = program.net.SweepCount;
    QVERIFY(stoppedAt > 0 && stoppedAt < 32767);
    QVERIFY(!setup->Stop->isVisible());
    QVERIFY(!program.runtime.inputLocked());
    QVERIFY(setup->Continue->isVisible());
    QVERIFY(program.dialogs.shown().isEmpty());
    QCOMPARE(support::firstNonFinite(program.net), QString());

    // Continuing with the rule unticked reads no epochs box, however it reads.
    setup->SweepsBox->setText(QStringLiteral("many"));
    stopShown = false;
    pressStopOnceRunning(setup, &stopShown);
    QVERIFY(ProgramDriver::click(setup, "Continue"));
    QVERIFY(stopShown);
    QVERIFY(program.net.SweepCount > stoppedAt && program.net.SweepCount < 32767);
    QVERIFY(!program.runtime.inputLocked());
    QVERIFY(program.dialogs.shown().isEmpty());

    QVERIFY(program.testRecall());
    program.letUnsavedTrainingGo();
    QVERIFY(program.pick(kReset));
    QVERIFY(program.train(QStringLiteral("Hebb")));
    QCOMPARE(program.net.SweepCount, 100);
}

// The units and weights of a problem too large for the memory left: the page says so,
// and neither a press of "Start Training" nor the display passes off the previous
// problem's run as this one's.
void TestFaults::networkTooLargeForMemoryOffersNoRun() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves more address space than the cap leaves");
#else
    ProgramDriver& program = *m_program;
    QByteArray problem = "32767 0 32767 1";  // 8.6 GB of weights
    for (int k = 0; k < 2 * 32767; ++k) {
        problem += " 1";
    }
    QVERIFY(support::writeFile(path("vast.net"), problem));
    QVERIFY(showStart());
    QVERIFY(program.trainToMenu(QStringLiteral("tiny.net"), QStringLiteral("Hebb")));
    QVERIFY(program.pick(kNewProblem));
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("vast.net")));

    rlimit old{};
    QVERIFY(::getrlimit(RLIMIT_AS, &old) == 0);
    const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_AS, &old); });
    rlimit capped = old;
    capped.rlim_cur = 6ULL << 30;  // far more than the test uses, far less than the weights
    QVERIFY(::setrlimit(RLIMIT_AS, &capped) == 0);

    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(program.goOn());
    pages::SetupPage* setup = program.setup();
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(setup, "StartTraining"));
    QCOMPARE(program.dialogs.shown().size(), 3);  // the question before the new file came first
    QVERIFY(program.dialogs.texts().last().startsWith("There is not enough memory"));
    QVERIFY(!setup->Continue->isVisible());
    QVERIFY(!setup->TestRecall->isVisible());
    QVERIFY(!setup->Picture1[2]->isVisible());
    QVERIFY(setup->SweepsBox->isEnabled());
#endif
}

// --- Reports -----------------------------------------------------------------------------

void TestFaults::reportChangedWhileOverwriteQuestionIsOpen_data() {
    QTest::addColumn<Replacement>("change");
    QTest::addColumn<ui::Answer>("answer");
    QTest::newRow("replaced by another file, Yes") << Replacement::OtherFile << ui::Answer::Yes;
    QTest::newRow("replaced by another file, No") << Replacement::OtherFile << ui::Answer::No;
    QTest::newRow("deleted, Yes") << Replacement::Removed << ui::Answer::Yes;
    QTest::newRow("replaced by a folder, Yes") << Replacement::Folder << ui::Answer::Yes;
}

void TestFaults::reportChangedWhileOverwriteQuestionIsOpen() {
    QFETCH(Replacement, change);
    QFETCH(ui::Answer, answer);
    ProgramDriver& program = *m_program;
    const QByteArray first = saveFirstReport();
    QVERIFY(first.startsWith("Distributed Associative Memory Program"));
    const QString report = path(QStringLiteral("report.txt"));
    const QByteArray replacement = "notes someone else wrote\r\n";

    // Meanwhile another program replaces the file the question is about.
    program.dialogs.beforeAnswer = [&] {
        QFile::remove(report);
        if (change == Replacement::OtherFile) {
            QVERIFY(support::writeFile(report, replacement));
            QVERIFY(::chmod(QFile::encodeName(report).constData(), 0640) == 0);
        } else if (change == Replacement::Folder) {
            QVERIFY(QDir(m_root).mkdir(QStringLiteral("report.txt")));
            QVERIFY(support::writeFile(report + QStringLiteral("/kept.txt"), replacement));
        }
    };
    program.dialogs.answer(answer);
    if (change == Replacement::Folder) {
        program.dialogs.answer(ui::Answer::Ok);
    }
    QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));

    QCOMPARE(program.dialogs.texts().mid(1, 1), QStringList{kOverwrite});
    QCOMPARE(leftoverTemporaries(m_root), QStringList());
    QCOMPARE(QString::fromStdString(program.session.ReportFileName), report);
    switch (change) {
        case Replacement::OtherFile:
            if (answer == ui::Answer::Yes) {
                // Whole, and with the permissions of the file it replaced.
                QCOMPARE(support::timelessReport(support::readFile(report)), first);
                QCOMPARE(permissions(report), 0640);
            } else {
                QCOMPARE(support::readFile(report), replacement);
            }
            QCOMPARE(program.dialogs.shown().size(), 2);
            break;
        case Replacement::Removed:
            QCOMPARE(support::timelessReport(support::readFile(report)), first);
            QCOMPARE(program.dialogs.shown().size(), 2);
            break;
        case Replacement::Folder:
            QCOMPARE(
                program.dialogs.texts().mid(2),
                QStringList{
                    QStringLiteral("Cannot write the report \"%1\": Is a directory.").arg(report)});
            QCOMPARE(program.dialogs.shown().back().title, QStringLiteral("Save The File"));
            QCOMPARE(support::readFile(report + QStringLiteral("/kept.txt")), replacement);
            // Once the folder is out of the way, saving works without a question.
            QVERIFY(QDir(report).removeRecursively());
            QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));
            QCOMPARE(support::timelessReport(support::readFile(report)), first);
            QCOMPARE(program.dialogs.shown().size(), 3);
            break;
    }
    QCOMPARE(leftoverTemporaries(m_root), QStringList());
}

void TestFaults::fullDiskKeepsTheOldReport() {
    ProgramDriver& program = *m_program;
    const QByteArray first = saveFirstReport();
    QVERIFY(first.startsWith("Distributed Associative Memory Program"));
    const QString report = path(QStringLiteral("report.txt"));
    const QByteArray old = support::readFile(report);
    QVERIFY(old.size() > 256);

    program.dialogs.answer(ui::Answer::Yes);
    program.dialogs.answer(ui::Answer::Ok);
    {
        FullDisk disk(256);
        QVERIFY(disk.ok());
        const bool clicked = ProgramDriver::click(program.save(), "SaveFile");
        disk.restore();
        QVERIFY(disk.restored());
        QVERIFY(clicked);
    }

    QCOMPARE(program.dialogs.texts().mid(1),
             (QStringList{kOverwrite, QStringLiteral("Cannot write the report \"%1\": File too "
                                                     "large.")
                                          .arg(report)}));
    QCOMPARE(program.dialogs.shown().back().icon, ui::Icon::Exclamation);
    QCOMPARE(support::readFile(report), old);
    QCOMPARE(leftoverTemporaries(m_root), QStringList());

    // With room again, the same click saves.
    program.dialogs.answer(ui::Answer::Yes);
    QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));
    QCOMPARE(support::timelessReport(support::readFile(report)), first);
    QCOMPARE(program.dialogs.shown().size(), 4);
}

// The save page left open while another file of the same sizes is loaded: its report would
// pair the new patterns with the old weights.
void TestFaults::reportOfAFileNotYetTrainedIsRefused() {
    ProgramDriver& program = *m_program;
    QVERIFY(!saveFirstReport().isEmpty());
    QVERIFY(support::writeFile(path("other.net"), "2 0 3 2  1 1 1  0 0 0  5 5  -5 -5"));
    QVERIFY(program.pick(kNewProblem));
    program.letUnsavedTrainingGo();
    QVERIFY(program.load(QStringLiteral("other.net")));
    QVERIFY(program.goOn());
    const QByteArray old = support::readFile(path(QStringLiteral("report.txt")));

    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));
    QVERIFY(program.dialogs.texts().back().startsWith(
        QStringLiteral("The network has not been trained on \"other.net\"")));
    QCOMPARE(support::readFile(path(QStringLiteral("report.txt"))), old);

    // Once trained on it, the same click saves its report.
    QVERIFY(program.train(QStringLiteral("Hebb")));
    program.dialogs.answer(ui::Answer::Yes);
    QVERIFY(ProgramDriver::click(program.save(), "SaveFile"));
    QVERIFY(support::readFile(path(QStringLiteral("report.txt")))
                .contains("Results Of Training With File: other.net"));
}

// --- Printing ----------------------------------------------------------------------------

void TestFaults::pdfInsteadOfPrintingOnAFullDisk() {
    ProgramDriver& program = *m_program;
    QVERIFY(showStart());
    QVERIFY(program.trainToMenu(QStringLiteral("tiny.net"), QStringLiteral("Hebb")));
    QVERIFY(program.pick(kProbe));
    QVERIFY(program.probePattern(QStringLiteral("1")));
    program.printer.refuseWith(QStringLiteral("There is no printer to print on."));
    const QString pdf = path(QStringLiteral("tiny-probe.pdf"));

    program.dialogs.answer(ui::Answer::Yes);
    program.dialogs.answer(ui::Answer::Ok);
    {
        FullDisk disk(1024);
        QVERIFY(disk.ok());
        const bool clicked = ProgramDriver::click(program.probe(), "PrintResults");
        disk.restore();
        QVERIFY(disk.restored());
        QVERIFY(clicked);
    }
    QCOMPARE(program.dialogs.shown().size(), 2);
    const support::ShownDialog& told = program.dialogs.shown().back();
    // A PDF cut short must not be announced as written.
    QVERIFY2(
        told.text.startsWith(QStringLiteral("The PDF file \"%1\" could not be written").arg(pdf)),
        qPrintable(QStringLiteral("told \"%1\"; the file holds %2 bytes")
                       .arg(told.text)
                       .arg(QFileInfo(pdf).size())));
    QCOMPARE(told.icon, ui::Icon::Exclamation);

    // With room again the pages are written, whole.
    program.dialogs.answer(ui::Answer::Yes);
    program.dialogs.answer(ui::Answer::Ok);
    QVERIFY(ProgramDriver::click(program.probe(), "PrintResults"));
    const QString written = program.dialogs.texts().last();
    QVERIFY2(written.startsWith(QStringLiteral("The pages were written to \"")),
             qPrintable(written));
    const QString target = written.section(QLatin1Char('"'), 1, 1);
    const QByteArray bytes = support::readFile(target);
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
