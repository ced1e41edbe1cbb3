// The save page, driven through its real widgets in a temporary folder that is also the
// current folder, with a small trained network.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "files/loader.h"
#include "pages/page_id.h"
#include "pages/program_pages.h"
#include "pages/save_page.h"
#include "pages/session.h"
#include "report/report_writer.h"
#include "tests/support/long_task_cancel.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"
#include "ui/file_lists.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"

namespace {

using pages::PageId;
using ui::PageKey;
using Flags = report::SectionFlags;

// Two patterns of three inputs and two outputs, trained a little with the Delta rule, and
// a history whose sweep number needs a thousands separator.
[[nodiscard]] bool train(core::PublicStuff& net) {
    net = support::NetworkFromText("2 0 3 2 1 0 1 0 1 0 1 0 0 1", "pairs.net");
    net.TrainedOnProblem = true;
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.25;
    for (int epoch = 0; epoch < 3; ++epoch) {
        for (int p = 1; p <= net.NumPatterns; ++p) {
            if (core::LearnDelta(net, p) != core::ArithStatus::Ok) {
                return false;
            }
        }
    }
    net.SweepCount = 3;
    net.TotalSSE = 0.125;
    net.SSEHistoryCount = 2;
    net.SSEHistory[1] = {0.0, 0.0, 2.0};
    net.SSEHistory[2] = {0.0, 1000.0, 0.5};
    return true;
}

constexpr char kHeaderStart[] = "Distributed Associative Memory Program\r\r\n";

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <class Control>
Control* control(const QWidget* page, const QString& name) {
    return page->findChild<Control*>(name, Qt::FindDirectChildrenOnly);
}

QCheckBox* check1(const QWidget* page, int index) {
    return control<QCheckBox>(page, QStringLiteral("Check1(%1)").arg(index));
}

QStringList itemTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        texts << list->item(row)->text().trimmed();
    }
    return texts;
}

QListWidgetItem* entry(QListWidget* list, const QString& text) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().trimmed() == text) {
            return list->item(row);
        }
    }
    return nullptr;
}

[[nodiscard]] bool clickEntry(QListWidget* list, const QString& text) {
    QListWidgetItem* item = entry(list, text);
    if (item == nullptr) {
        return false;
    }
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    return true;
}

// A click, then a double-click: the way a user opens a folder.
[[nodiscard]] bool doubleClickEntry(QListWidget* list, const QString& text) {
    QListWidgetItem* item = entry(list, text);
    if (item == nullptr) {
        return false;
    }
    list->scrollToItem(item);
    const QPoint centre = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    return true;
}

// The ticked boxes as flags, indexed like the report's sections.
Flags ticked(const QWidget* page) {
    Flags flags{};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags.at(i) = check1(page, static_cast<int>(i))->isChecked();
    }
    return flags;
}

// A report with its date and time lines replaced, so that two reports can be compared.
QString withoutClock(const QByteArray& report) {
    QString text = QString::fromUtf8(report);
    text.replace(QRegularExpression(QStringLiteral("^Date Of Analysis: [^\r]*"),
                                    QRegularExpression::MultilineOption),
                 QStringLiteral("Date Of Analysis: DATE"));
    text.replace(QRegularExpression(QStringLiteral("^Time Of Analysis: [^\r]*"),
                                    QRegularExpression::MultilineOption),
                 QStringLiteral("Time Of Analysis: TIME"));
    return text;
}

// The header line that starts with `start`, without it and without its line end.
QString headerValue(const QByteArray& report, const char* start) {
    for (const QString& line : QString::fromUtf8(report).split(QStringLiteral("\r\r\n"))) {
        if (line.startsWith(QLatin1String(start))) {
            return line.mid(qsizetype(std::strlen(start)));
        }
    }
    return QStringLiteral("<no line \"%1\">").arg(QLatin1String(start));
}

// Default separators, and a clock that always says the same.
report::ReportContext fixedClock() {
    return {{}, [] { return std::string("DATE"); }, [] { return std::string("TIME"); }};
}

QString reason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

}  // namespace

class TestSavePage : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void opensWithDefaultSectionsAndNoName();
    void typedNameGetsTxtExtension_data();
    void typedNameGetsTxtExtension();
    void replyThatIsNotAFileNameChangesNothing_data();
    void replyThatIsNotAFileNameChangesNothing();
    void typedNameStaysInFolderShownWhenTyped();
    void cancelledNameForgetsFileButKeepsLabel();
    void chosenFileIsOverwrittenOnlyAfterYes_data();
    void chosenFileIsOverwrittenOnlyAfterYes();
    void newFileIsSavedSilentlyAndSecondSaveAsks();
    void protectedFileIsRefusedBeforeTheQuestion();
    void checkedBoxesAreTheReportSections_data();
    void checkedBoxesAreTheReportSections();
    void dateTimeAndNumbersFollowLocale_data();
    void dateTimeAndNumbersFollowLocale();
    void folderInTheWayIsReported();
    void failedWriteIsReportedAndChangesNothing();
    void cancelledSaveKeepsTheOldReport();
    void closingKeepsFileAndReopeningResetsPage();
    void newFolderBecomesCurrentAndKeepsChosenFile();
    void folderThatCannotBeCreatedChangesNothing_data();
    void folderThatCannotBeCreatedChangesNothing();
    void programOpensThisPage();

  private:
    QWidget* showSavePage();
    void typeFileName(QWidget* page, const QString& reply);
    void chooseListedFile(QWidget* page, const QString& name);
    static void save(QWidget* page);
    QString reportFileName() const;
    static QString shownName(const QWidget* page);
    void expectOneMessage(const QString& title, ui::Icon icon);

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_root;  // the temporary folder, also the current folder during a test
    QString m_previousFolder;
    QLocale m_previousLocale;
    std::unique_ptr<support::PageProgram> m_program;
};

void TestSavePage::init() {
    m_previousLocale = QLocale();
    QLocale::setDefault(QLocale::c());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_root = QDir::currentPath();

    QVERIFY(writeFile(m_root + "/old.txt", "old contents\r\n"));
    QVERIFY(writeFile(m_root + "/notes.txt", "notes\r\n"));
    QVERIFY(writeFile(m_root + "/upper.TXT", "the pattern is case-sensitive\r\n"));
    QVERIFY(writeFile(m_root + "/pairs.net", "2 0 3 2 1 0 1 0 1 0 1 0 0 1"));
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("more")));
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("folder.txt")));

    m_program = std::make_unique<support::PageProgram>();
    m_program->add<pages::SavePage>(PageId::Save);
    QVERIFY(train(m_program->net));
}

void TestSavePage::cleanup() {
    if (m_program) {
        QCOMPARE(m_program->dialogs.unanswered(), 0);
    }
    m_program.reset();
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
    QLocale::setDefault(m_previousLocale);
}

QWidget* TestSavePage::showSavePage() {
    QWidget* page = m_program->runtime.Show(PageId::Save);
    if (page != nullptr && !QTest::qWaitForWindowExposed(page)) {
        return nullptr;
    }
    return page;
}

void TestSavePage::typeFileName(QWidget* page, const QString& reply) {
    m_program->dialogs.type(reply);
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("FileButton")), Qt::LeftButton);
}

void TestSavePage::chooseListedFile(QWidget* page, const QString& name) {
    QVERIFY(clickEntry(control<ui::FileList>(page, QStringLiteral("File1")), name));
    QCOMPARE(shownName(page), name);
}

void TestSavePage::save(QWidget* page) {
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("SaveFile")), Qt::LeftButton);
}

QString TestSavePage::reportFileName() const {
    return QString::fromStdString(m_program->session.ReportFileName);
}

QString TestSavePage::shownName(const QWidget* page) {
    return control<QLabel>(page, QStringLiteral("FileNameLabel"))->text();
}

// The last dialog shown was the only message box, with an OK button.
void TestSavePage::expectOneMessage(const QString& title, ui::Icon icon) {
    int messages = 0;
    for (const support::ShownDialog& d : m_program->dialogs.shown()) {
        messages += d.kind == support::DialogKind::Message ? 1 : 0;
    }
    QCOMPARE(messages, 1);
    const support::ShownDialog& shown = m_program->dialogs.shown().back();
    QCOMPARE(shown.kind, support::DialogKind::Message);
    QCOMPARE(shown.title, title);
    QCOMPARE(shown.buttons, ui::Buttons::Ok);
    QCOMPARE(shown.icon, icon);
}

void TestSavePage::opensWithDefaultSectionsAndNoName() {
    QWidget* page = showSavePage();
    QVERIFY(page);

    QStringList boxes;
    for (int i = 0; i < 7; ++i) {
        const QCheckBox* box = check1(page, i);
        QVERIFY(box);
        boxes
            << QStringLiteral("%1 %2 %3").arg(i).arg(box->isChecked() ? "[x]" : "[ ]", box->text());
    }
    QCOMPARE(
        boxes,
        (QStringList{"0 [ ] Input Patterns", "1 [x] General Information (Training info etc.)",
                     "2 [x] Network Responses", "3 [x] Network Errors", "4 [x] Connection Weights",
                     "5 [ ] Output Patterns", "6 [ ] Network SSE As A Function Of Sweeps"}));
    QCOMPARE(shownName(page), QString());
    QCOMPARE(page->windowTitle(),
             QStringLiteral("Save Results To A Text File -- Tavrel Neural Network Code"));

    const auto* folders = control<ui::FolderList>(page, QStringLiteral("Dir1"));
    const auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    QCOMPARE(folders->path(), m_root);
    QCOMPARE(files->path(), m_root);
    QCOMPARE(itemTexts(files), (QStringList{"notes.txt", "old.txt"}));
    QVERIFY(itemTexts(folders).contains(QStringLiteral("more")));
    QVERIFY(m_root.startsWith(control<ui::DriveList>(page, QStringLiteral("Drive1"))->drive()));
    QVERIFY(m_program->dialogs.shown().isEmpty());
    QVERIFY(m_program->session.ReportFileName.empty());
}

void TestSavePage::typedNameGetsTxtExtension_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("name");

    QTest::newRow("no extension") << "results"
                                  << "results.txt";
    QTest::newRow("extension typed") << "results.txt"
                                     << "results.txt";
    QTest::newRow("upper-case extension") << "results.TXT"
                                          << "results.TXT.txt";
    QTest::newRow("shorter than the extension") << "txt"
                                                << "txt.txt";
    QTest::newRow("extension inside") << "a.txt.bak"
                                      << "a.txt.bak.txt";
    QTest::newRow("blanks") << "my results"
                            << "my results.txt";
}

void TestSavePage::typedNameGetsTxtExtension() {
    QFETCH(QString, reply);
    QFETCH(QString, name);
    QWidget* page = showSavePage();
    QVERIFY(page);

    typeFileName(page, reply);

    QCOMPARE(shownName(page), name);
    QCOMPARE(reportFileName(), m_root + "/" + name);
    QCOMPARE(m_program->dialogs.shown().size(), 1);
    const support::ShownDialog& asked = m_program->dialogs.shown().front();
    QCOMPARE(asked.kind, support::DialogKind::Input);
    QCOMPARE(asked.text, QStringLiteral("Enter name of file to save:"));
    QCOMPARE(asked.title, QStringLiteral("Name File"));
}

void TestSavePage::replyThatIsNotAFileNameChangesNothing_data() {
    QTest::addColumn<QString>("reply");

    QTest::newRow("folder and name") << "more/results";
    QTest::newRow("absolute path") << "/tmp/results.txt";
    QTest::newRow("parent folder") << "..";
    QTest::newRow("this folder") << ".";
    QTest::newRow("NUL character") << QStringLiteral("a%1b").arg(QChar(u'\0'));
}

void TestSavePage::replyThatIsNotAFileNameChangesNothing() {
    QFETCH(QString, reply);
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));

    m_program->dialogs.type(reply);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("FileButton")), Qt::LeftButton);

    expectOneMessage(QStringLiteral("Name File"), ui::Icon::Exclamation);
    QVERIFY2(m_program->dialogs.shown().back().text.contains(reply),
             qPrintable(m_program->dialogs.shown().back().text));
    QCOMPARE(shownName(page), QStringLiteral("old.txt"));
    QCOMPARE(reportFileName(), m_root + "/old.txt");
}

void TestSavePage::typedNameStaysInFolderShownWhenTyped() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    typeFileName(page, QStringLiteral("results"));

    auto* folders = control<ui::FolderList>(page, QStringLiteral("Dir1"));
    QVERIFY(doubleClickEntry(folders, QStringLiteral("more")));
    QCOMPARE(control<ui::FileList>(page, QStringLiteral("File1"))->path(), m_root + "/more");
    QCOMPARE(reportFileName(), m_root + "/results.txt");
    // The label names the folder the file goes to, which the lists no longer show.
    QCOMPARE(shownName(page), "results.txt\nin " + m_root);

    save(page);

    QVERIFY(readFile(m_root + "/results.txt").startsWith(kHeaderStart));
    QVERIFY(!QFile::exists(m_root + "/more/results.txt"));
    QCOMPARE(m_program->dialogs.shown().size(), 1);  // the input box only
}

void TestSavePage::cancelledNameForgetsFileButKeepsLabel() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));
    QCOMPARE(reportFileName(), m_root + "/old.txt");
    const QStringList entriesBefore = QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden);

    typeFileName(page, QString());
    QVERIFY(reportFileName().isEmpty());
    QCOMPARE(shownName(page), QStringLiteral("old.txt"));

    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 1);  // the input box only
    QCOMPARE(readFile(m_root + "/old.txt"), QByteArray("old contents\r\n"));
    QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden), entriesBefore);
}

void TestSavePage::chosenFileIsOverwrittenOnlyAfterYes_data() {
    QTest::addColumn<ui::Answer>("answer");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("no") << ui::Answer::No << false;
    QTest::newRow("yes") << ui::Answer::Yes << true;
}

void TestSavePage::chosenFileIsOverwrittenOnlyAfterYes() {
    QFETCH(ui::Answer, answer);
    QFETCH(bool, replaced);
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));

    m_program->dialogs.answer(answer);
    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 1);
    const support::ShownDialog& asked = m_program->dialogs.shown().front();
    QCOMPARE(asked.kind, support::DialogKind::Message);
    QCOMPARE(asked.text, QStringLiteral("File already exists -- overwrite it?"));
    QCOMPARE(asked.title, QStringLiteral("Pre-existing Filename"));
    QCOMPARE(asked.buttons, ui::Buttons::YesNo);
    QCOMPARE(asked.icon, ui::Icon::Question);
    QCOMPARE(asked.defaultButton, ui::Answer::No);

    const QByteArray content = readFile(m_root + "/old.txt");
    if (replaced) {
        QVERIFY(content.startsWith(kHeaderStart));
    } else {
        QCOMPARE(content, QByteArray("old contents\r\n"));
    }
    QCOMPARE(reportFileName(), m_root + "/old.txt");
}

void TestSavePage::newFileIsSavedSilentlyAndSecondSaveAsks() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    const auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    typeFileName(page, QStringLiteral("results"));

    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 1);  // the input box only
    QVERIFY(readFile(m_root + "/results.txt").startsWith(kHeaderStart));
    QCOMPARE(itemTexts(files), (QStringList{"notes.txt", "old.txt", "results.txt"}));
    QCOMPARE(shownName(page), QStringLiteral("results.txt"));

    // Marked, so that a second write would show.
    QVERIFY(writeFile(m_root + "/results.txt", "marker"));
    m_program->dialogs.answer(ui::Answer::No);
    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 2);
    QCOMPARE(m_program->dialogs.shown().back().text,
             QStringLiteral("File already exists -- overwrite it?"));
    QCOMPARE(readFile(m_root + "/results.txt"), QByteArray("marker"));
}

void TestSavePage::protectedFileIsRefusedBeforeTheQuestion() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));
    QVERIFY(QFile::setPermissions(m_root + "/old.txt", QFileDevice::ReadOwner));

    m_program->dialogs.answer(ui::Answer::Ok);
    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 1);  // the refusal, not "overwrite?"
    QVERIFY2(m_program->dialogs.shown().front().text.contains(
                 QStringLiteral("protected it against writing")),
             qPrintable(m_program->dialogs.shown().front().text));
    QCOMPARE(readFile(m_root + "/old.txt"), QByteArray("old contents\r\n"));

    // The training file in use, whatever it is called, is refused the same way.
    QVERIFY(QFile::setPermissions(m_root + "/old.txt",
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    m_program->session.TrainingFolder = m_root.toStdString();
    m_program->net.TrainingFileName = "old.txt";
    m_program->dialogs.answer(ui::Answer::Ok);
    save(page);
    QCOMPARE(m_program->dialogs.texts().last(),
             QStringLiteral("Cannot save to \"old.txt\": it is the training file in use. Choose "
                            "another name."));
    QCOMPARE(readFile(m_root + "/old.txt"), QByteArray("old contents\r\n"));
}

void TestSavePage::checkedBoxesAreTheReportSections_data() {
    QTest::addColumn<Flags>("flags");

    QTest::newRow("as opened") << report::DefaultSections;
    QTest::newRow("none") << Flags{};
    for (std::size_t i = 0; i < 7; ++i) {
        Flags only{};
        only.at(i) = true;
        QTest::newRow(qPrintable(QStringLiteral("only Check1(%1)").arg(i))) << only;
    }
    QTest::newRow("all") << Flags{true, true, true, true, true, true, true};
}

void TestSavePage::checkedBoxesAreTheReportSections() {
    QFETCH(Flags, flags);
    QWidget* page = showSavePage();
    QVERIFY(page);
    for (std::size_t i = 0; i < flags.size(); ++i) {
        QCheckBox* box = check1(page, static_cast<int>(i));
        if (box->isChecked() != flags.at(i)) {
            box->click();
        }
    }
    QCOMPARE(ticked(page), flags);
    typeFileName(page, QStringLiteral("report"));

    core::PublicStuff before = m_program->net;
    save(page);

    std::string expected;
    std::string error;
    QVERIFY(report::ReportText(before, flags, fixedClock(), &expected, error));
    const QByteArray written = readFile(m_root + "/report.txt");
    QCOMPARE(withoutClock(written), QString::fromStdString(expected));
    if (flags == Flags{}) {
        QCOMPARE(written.count("\r\r\n"), 7);
    }
}

void TestSavePage::dateTimeAndNumbersFollowLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("timePattern");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("historyRow");

    // Times show seconds and no time zone; AM/PM may follow a narrow no-break space.
    QTest::newRow("C") << QLocale::c() << R"(\d\d:\d\d:\d\d)"
                       << "0.25"
                       << "1,000.00\t5.00E-01\r\n";
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                           << R"(\d{1,2}:\d\d:\d\d[ \x{202F}][AP]M)"
                           << "0.25"
                           << "1,000.00\t5.00E-01\r\n";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << R"(\d\d:\d\d:\d\d)"
                           << "0,25"
                           << "1.000,00\t5,00E-01\r\n";
}

void TestSavePage::dateTimeAndNumbersFollowLocale() {
    QFETCH(QLocale, locale);
    QFETCH(QString, timePattern);
    QFETCH(QString, rate);
    QFETCH(QString, historyRow);
    QLocale::setDefault(locale);
    QWidget* page = showSavePage();
    QVERIFY(page);
    check1(page, report::SSEHistorySection)->click();
    typeFileName(page, QStringLiteral("report"));

    const QString dayBefore = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    save(page);
    const QString dayAfter = locale.toString(QDate::currentDate(), QLocale::ShortFormat);

    const QByteArray written = readFile(m_root + "/report.txt");
    const QString date = headerValue(written, "Date Of Analysis: ");
    QVERIFY2(date == dayBefore || date == dayAfter, qPrintable(date));
    const QString time = headerValue(written, "Time Of Analysis: ");
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(timePattern)).match(time).hasMatch(),
        qPrintable(time));
    QCOMPARE(headerValue(written, "Learning rate: "), rate);
    QVERIFY2(QString::fromUtf8(written).contains(historyRow), written.constData());
}

void TestSavePage::folderInTheWayIsReported() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    typeFileName(page, QStringLiteral("folder"));
    QCOMPARE(reportFileName(), m_root + "/folder.txt");

    m_program->dialogs.answer(ui::Answer::Ok);
    save(page);

    expectOneMessage(QStringLiteral("Save The File"), ui::Icon::Exclamation);
    const QString text = m_program->dialogs.shown().back().text;
    QVERIFY2(text.contains(m_root + "/folder.txt") && text.contains(QLatin1String("a folder")),
             qPrintable(text));
    QVERIFY(QFileInfo(m_root + "/folder.txt").isDir());
    QVERIFY(QDir(m_root + "/folder.txt").isEmpty());
    QCOMPARE(reportFileName(), m_root + "/folder.txt");
}

void TestSavePage::failedWriteIsReportedAndChangesNothing() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    QVERIFY(doubleClickEntry(control<ui::FolderList>(page, QStringLiteral("Dir1")),
                             QStringLiteral("more")));
    typeFileName(page, QStringLiteral("results"));
    const QString path = m_root + "/more/results.txt";
    QCOMPARE(reportFileName(), path);
    QVERIFY(QDir(m_root + "/more").removeRecursively());

    core::PublicStuff scratch = m_program->net;
    std::string expected;
    QVERIFY(!report::WriteReport(scratch, path.toStdString(), report::DefaultSections, fixedClock(),
                                 expected));

    m_program->dialogs.answer(ui::Answer::Ok);
    save(page);

    expectOneMessage(QStringLiteral("Save The File"), ui::Icon::Exclamation);
    QCOMPARE(m_program->dialogs.shown().back().text, QString::fromStdString(expected));
    QCOMPARE(reportFileName(), path);
    QCOMPARE(shownName(page), QStringLiteral("results.txt"));

    // Usable again once the folder is back.
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("more")));
    save(page);
    QCOMPARE(m_program->dialogs.shown().size(), 2);
    QVERIFY(readFile(path).startsWith(kHeaderStart));
}

// "Cancel" in the progress dialog, shown at once here, leaves the earlier file as it was,
// no temporary file and no message.
void TestSavePage::cancelledSaveKeepsTheOldReport() {
    core::PublicStuff& net = m_program->net;
    std::string numbers = "1500 0 1500 1";
    for (int k = 0; k < 3000; ++k) {
        numbers += " 0.5";
    }
    net = support::NetworkFromText(numbers, "large.net");
    for (int j = 1; j <= 1500; ++j) {
        for (int i = 1; i <= 1500; ++i) {
            net.Weights.setWeight(j, i, (i * 31 + j * 17) % 4001 / 8.0 - 250.0);
        }
    }
    net.TrainedOnProblem = true;
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));
    const QStringList before = QDir(m_root).entryList(QDir::Files);

    QString status;
    {
        support::CancelFirstLongTask cancel(page);
        m_program->dialogs.answer(ui::Answer::Yes);
        save(page);
        status = cancel.status();
    }

    QVERIFY2(status.endsWith(" MB written"), qPrintable(status));
    QCOMPARE(m_program->dialogs.shown().size(), 1);  // the overwrite question only
    QCOMPARE(readFile(m_root + "/old.txt"), QByteArray("old contents\r\n"));
    QCOMPARE(QDir(m_root).entryList(QDir::Files), before);
}

void TestSavePage::closingKeepsFileAndReopeningResetsPage() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    QPointer<QWidget> firstVisit = page;
    typeFileName(page, QStringLiteral("results"));
    check1(page, report::GeneralSection)->click();
    check1(page, report::InputPatternsSection)->click();
    save(page);
    QVERIFY(!headerValue(readFile(m_root + "/results.txt"), "The set of input patterns was:")
                 .startsWith('<'));

    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("Command2")), Qt::LeftButton);
    QVERIFY(!m_program->runtime.isLoaded(PageId::Save));
    QTRY_VERIFY(firstVisit.isNull());
    QCOMPARE(reportFileName(), m_root + "/results.txt");

    // Opened again from another folder: the chosen file stays where it was.
    QVERIFY(QDir::setCurrent(m_root + "/more"));
    page = showSavePage();
    QVERIFY(page);
    QCOMPARE(shownName(page), "results.txt\nin " + m_root);
    QCOMPARE(ticked(page), report::DefaultSections);
    QCOMPARE(control<ui::FileList>(page, QStringLiteral("File1"))->path(), m_root + "/more");

    m_program->dialogs.answer(ui::Answer::Yes);
    save(page);

    QCOMPARE(m_program->dialogs.shown().size(), 2);
    QCOMPARE(m_program->dialogs.shown().back().text,
             QStringLiteral("File already exists -- overwrite it?"));
    const QByteArray written = readFile(m_root + "/results.txt");
    QCOMPARE(headerValue(written, "Learning rule: "), QStringLiteral("Delta"));
    QVERIFY(headerValue(written, "The set of input patterns was:").startsWith('<'));
    QVERIFY(!QFile::exists(m_root + "/more/results.txt"));
}

void TestSavePage::newFolderBecomesCurrentAndKeepsChosenFile() {
    QWidget* page = showSavePage();
    QVERIFY(page);
    const auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    chooseListedFile(page, QStringLiteral("old.txt"));
    QVERIFY(doubleClickEntry(control<ui::FolderList>(page, QStringLiteral("Dir1")),
                             QStringLiteral("more")));

    m_program->dialogs.type(QStringLiteral("reports"));
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("DirButton")), Qt::LeftButton);

    const QString created = m_root + "/more/reports";
    QCOMPARE(m_program->dialogs.shown().size(), 1);
    QCOMPARE(m_program->dialogs.shown().front().text, QStringLiteral("Enter name of directory:"));
    QCOMPARE(m_program->dialogs.shown().front().title, QStringLiteral("Create Directory"));
    QVERIFY(QFileInfo(created).isDir());
    QCOMPARE(QDir::currentPath(), created);
    QCOMPARE(control<ui::FolderList>(page, QStringLiteral("Dir1"))->path(), created);
    QCOMPARE(files->path(), created);
    QCOMPARE(files->count(), 0);
    QCOMPARE(reportFileName(), m_root + "/old.txt");
    QCOMPARE(shownName(page), "old.txt\nin " + m_root);

    // A name typed now goes into the new folder.
    typeFileName(page, QStringLiteral("inside"));
    QCOMPARE(reportFileName(), created + "/inside.txt");
}

void TestSavePage::folderThatCannotBeCreatedChangesNothing_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("reason");   // part of the message; empty: the page's own words
    QTest::addColumn<QString>("notMade");  // a folder that must not appear; empty: none

    QTest::newRow("folder exists") << "more" << reason(EEXIST) << "";
    QTest::newRow("file has the name") << "old.txt" << reason(EEXIST) << "";
    QTest::newRow("inside an existing folder") << "more/deeper"
                                               << ""
                                               << "more/deeper";
    QTest::newRow("parent folder") << ".."
                                   << ""
                                   << "";
    QTest::newRow("this folder") << "."
                                 << ""
                                 << "";
    QTest::newRow("name too long") << QString(300, QLatin1Char('x')) << reason(ENAMETOOLONG) << "";
}

void TestSavePage::folderThatCannotBeCreatedChangesNothing() {
    QFETCH(QString, reply);
    QFETCH(QString, reason);
    QFETCH(QString, notMade);
    QWidget* page = showSavePage();
    QVERIFY(page);
    chooseListedFile(page, QStringLiteral("old.txt"));

    m_program->dialogs.type(reply);
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("DirButton")), Qt::LeftButton);

    expectOneMessage(QStringLiteral("Create Directory"), ui::Icon::Exclamation);
    const QString text = m_program->dialogs.shown().back().text;
    QVERIFY2(text.contains(m_root + "/" + reply), qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    if (!notMade.isEmpty()) {
        QVERIFY(!QFile::exists(m_root + "/" + notMade));
    }
    QCOMPARE(QDir::currentPath(), m_root);
    QCOMPARE(control<ui::FolderList>(page, QStringLiteral("Dir1"))->path(), m_root);
    QCOMPARE(control<ui::FileList>(page, QStringLiteral("File1"))->path(), m_root);
    QCOMPARE(reportFileName(), m_root + "/old.txt");
    QCOMPARE(shownName(page), QStringLiteral("old.txt"));
}

void TestSavePage::programOpensThisPage() {
    support::ScriptedDialogs dialogs;
    ui::PageRuntime runtime(dialogs);
    pages::RegisterProgramPages(runtime, m_program->net, m_program->session);
    QVERIFY(qobject_cast<pages::SavePage*>(runtime.Show(PageId::Save)));
}

QTEST_MAIN(TestSavePage)
#include "tst_save_page.moc"
