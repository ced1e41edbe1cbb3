// The start page, driven through its real widgets on a folder of small training files.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

#include "files/loader.h"
#include "pages/start_page.h"
#include "tests/support/long_task_cancel.h"
#include "tests/support/page_program.h"
#include "ui/file_lists.h"
#include "ui/long_task.h"

namespace {

using pages::PageId;
using ui::PageKey;

// The start page, with stand-ins for the pages it opens.
struct Program : support::PageProgram {
    Program() {
        add<pages::StartPage>(PageId::Start);
        standIn(PageId::Setup);
        standIn(PageId::Probe);
    }
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

template <class Control>
Control* control(const QWidget* page, const QString& name) {
    return page->findChild<Control*>(name, Qt::FindDirectChildrenOnly);
}

QString indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QStringList itemTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        texts << list->item(row)->text().trimmed();
    }
    return texts;
}

// A click, then a double-click, on the entry of `list` whose text (without indentation)
// is `text`: the way a user double-clicks.
[[nodiscard]] bool doubleClickEntry(QListWidget* list, const QString& text) {
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (item->text().trimmed() == text) {
            list->scrollToItem(item);
            const QPoint centre = list->visualItemRect(item).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
            return true;
        }
    }
    return false;
}

// The file information part of the page, as one comparable description.
QStringList fileInformation(const QWidget* page) {
    QStringList lines;
    const auto* next = control<QPushButton>(page, QStringLiteral("NextPage"));
    lines << QStringLiteral("NextPage %1").arg(next->isVisible() ? "shown" : "hidden");
    for (int i = 0; i < 5; ++i) {
        const auto* label = control<QLabel>(page, indexed("Label8", i));
        lines
            << QStringLiteral("Label8(%1) %2").arg(i).arg(label->isVisible() ? "shown" : "hidden");
    }
    for (int i = 0; i < 4; ++i) {
        const auto* box = control<QLineEdit>(page, indexed("OutputText", i));
        lines << QStringLiteral("OutputText(%1) %2 %3 \"%4\"")
                     .arg(i)
                     .arg(box->isVisible() ? "shown" : "hidden",
                          box->isEnabled() ? "enabled" : "disabled", box->text());
    }
    return lines;
}

QStringList noFileInformation() {
    QStringList lines{QStringLiteral("NextPage hidden")};
    for (int i = 0; i < 5; ++i) {
        lines << QStringLiteral("Label8(%1) hidden").arg(i);
    }
    for (int i = 0; i < 4; ++i) {
        lines << QStringLiteral("OutputText(%1) hidden enabled \"\"").arg(i);
    }
    return lines;
}

QStringList shownFileInformation(const QStringList& boxes) {
    QStringList lines{QStringLiteral("NextPage shown")};
    for (int i = 0; i < 5; ++i) {
        lines << QStringLiteral("Label8(%1) shown").arg(i);
    }
    for (int i = 0; i < 4; ++i) {
        lines << QStringLiteral("OutputText(%1) shown disabled \"%2\"").arg(i).arg(boxes.at(i));
    }
    return lines;
}

// The loaded training set, as one comparable description.
QStringList trainingSet(const core::PublicStuff& net) {
    QStringList lines;
    lines << QString::fromStdString(net.TrainingFileName)
          << QStringLiteral("%1 %2 %3 %4")
                 .arg(net.NumOutputs)
                 .arg(net.SecondHeaderValue)
                 .arg(net.NumInputs)
                 .arg(net.NumPatterns);
    for (int p = 1; p <= net.NumPatterns; ++p) {
        QString line;
        for (int u = 1; u <= net.NumInputs; ++u) {
            line += QStringLiteral(" %1").arg(net.InputPatterns(u, p));
        }
        line += QStringLiteral(" |");
        for (int u = 1; u <= net.NumOutputs; ++u) {
            line += QStringLiteral(" %1").arg(net.DesiredOutputs(u, p));
        }
        lines << line;
    }
    return lines;
}

// 1 output, 1 input, 1200 patterns: a count that a thousands separator would spoil.
QByteArray bigProblem() {
    QByteArray bytes = "1 0 1 1200\n";
    for (int k = 0; k < 2 * 1200; ++k) {
        bytes += (k % 2 == 0) ? "1 " : "0 ";
    }
    return bytes;
}

}  // namespace

class TestStartPage : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void opensAtCurrentFolderWithoutFileInformation();
    void doubleClickLoadsAndShowsFile_data();
    void doubleClickLoadsAndShowsFile();
    void singleClickLoadsNothing();
    void secondFileReplacesFirst();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void cancelledLoadChangesNothing();
    void openingSubfolderListsAndLoadsItsFiles();
    void fileGivenAtStartIsLoadedFromItsFolder();
    void unreadableFolderIsReportedAndListsStayUsable();
    void nextPageGoesToSetupWithFreshStart();
    void exitEndsProgram();
    void comingBackShowsNoFileInformation();

  private:
    QWidget* showStartPage();
    [[nodiscard]] bool load(QWidget* page, const QString& fileName);

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_root;  // the temporary folder, also the current folder during a test
    QString m_previousFolder;
    std::unique_ptr<Program> m_program;
};

void TestStartPage::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_root = QDir::currentPath();

    QVERIFY(writeFile(m_root + "/a.net", "2 0 3 2 1 0 1 0 1 0 1 0 0 1"));
    QVERIFY(writeFile(m_root + "/b.net", "1,0,2,3\r\n1,0\r\n0,1\r\n1,1\r\n1\r\n0\r\n1\r\n"));
    QVERIFY(writeFile(m_root + "/broken.net", "2 0 3 2 1 0 1"));
    QVERIFY(writeFile(m_root + "/notes.txt", "2 0 3 2 1 0 1 0 1 0 1 0 0 1"));
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("more")));
    QVERIFY(writeFile(m_root + "/more/my problem.net", bigProblem()));
    QVERIFY(writeFile(m_root + "/more/other.net", "1 0 1 1 1 1"));

    m_program = std::make_unique<Program>();
}

void TestStartPage::cleanup() {
    if (m_program) {
        QCOMPARE(m_program->dialogs.unanswered(), 0);
    }
    m_program.reset();
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
}

QWidget* TestStartPage::showStartPage() {
    QWidget* page = m_program->runtime.Show(PageId::Start);
    if (page != nullptr && !QTest::qWaitForWindowExposed(page)) {
        return nullptr;
    }
    return page;
}

bool TestStartPage::load(QWidget* page, const QString& fileName) {
    return doubleClickEntry(control<ui::FileList>(page, QStringLiteral("File1")), fileName);
}

void TestStartPage::opensAtCurrentFolderWithoutFileInformation() {
    QWidget* page = showStartPage();
    QVERIFY(page);

    QCOMPARE(fileInformation(page), noFileInformation());
    for (const char* name :
         {"Label1", "FileLabel", "Drive1", "Dir1", "File1", "Command2", "Label3"}) {
        QVERIFY2(control<QWidget>(page, QLatin1String(name))->isVisible(), name);
    }

    const auto* folders = control<ui::FolderList>(page, QStringLiteral("Dir1"));
    const auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    QCOMPARE(folders->path(), m_root);
    QCOMPARE(files->path(), m_root);
    QCOMPARE(itemTexts(files), (QStringList{"a.net", "b.net", "broken.net"}));
    QVERIFY(itemTexts(folders).contains(QStringLiteral("more")));
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestStartPage::doubleClickLoadsAndShowsFile_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("patterns");
    QTest::addColumn<QString>("note");  // beside the boxes

    QTest::newRow("blanks") << "a.net" << QStringList{"a.net", "2", "3", "2"} << 2 << 3 << 2 << "";
    QTest::newRow("commas and CR LF")
        << "b.net" << QStringList{"b.net", "1", "2", "3"} << 1 << 2 << 3 << "";
    QTest::newRow("a decimal comma")
        << "comma.net" << QStringList{"comma.net", "1", "1", "2"} << 1 << 1 << 2
        << "2 more numbers after the last desired output were not read. A comma separates "
           "numbers (so \"0,5\" is read as 0 and 5).";
}

void TestStartPage::doubleClickLoadsAndShowsFile() {
    QFETCH(QString, fileName);
    QFETCH(QStringList, boxes);
    QFETCH(int, outputs);
    QFETCH(int, inputs);
    QFETCH(int, patterns);
    QFETCH(QString, note);

    QWidget* page = showStartPage();
    QVERIFY(page);
    // Written while the page is open: the list shows it without being asked.
    QVERIFY(writeFile(m_root + "/comma.net", "1 0 1 2 0,5 1 0,5 1"));
    QTRY_VERIFY(itemTexts(control<ui::FileList>(page, QStringLiteral("File1")))
                    .contains(QStringLiteral("comma.net")));
    QVERIFY(load(page, fileName));
    const auto* shownNote = control<QLabel>(page, QStringLiteral("TailNote"));
    QCOMPARE(shownNote->isVisible() ? shownNote->text() : QString(), note);

    QCOMPARE(fileInformation(page), shownFileInformation(boxes));
    const core::PublicStuff& net = m_program->net;
    QCOMPARE(QString::fromStdString(net.TrainingFileName), fileName);
    QCOMPARE(net.NumOutputs, outputs);
    QCOMPARE(net.NumInputs, inputs);
    QCOMPARE(net.NumPatterns, patterns);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestStartPage::singleClickLoadsNothing() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->item(0)).center());

    QCOMPARE(files->fileName(), QStringLiteral("a.net"));
    QCOMPARE(fileInformation(page), noFileInformation());
    QCOMPARE(m_program->net.NumPatterns, 0);
    QVERIFY(m_program->net.TrainingFileName.empty());
}

void TestStartPage::secondFileReplacesFirst() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    QVERIFY(load(page, "a.net"));
    QVERIFY(load(page, "b.net"));

    QCOMPARE(fileInformation(page), shownFileInformation({"b.net", "1", "2", "3"}));
    QCOMPARE(trainingSet(m_program->net),
             (QStringList{"b.net", "1 0 2 3", " 1 0 | 1", " 0 1 | 0", " 1 1 | 1"}));
}

void TestStartPage::failedLoadChangesNothing_data() {
    QTest::addColumn<QString>("loadedBefore");  // empty: nothing loaded in this visit
    QTest::addColumn<QString>("badFile");
    QTest::addColumn<bool>("vanishes");  // deleted after it was listed

    QTest::newRow("ends early, first file") << ""
                                            << "broken.net" << false;
    QTest::newRow("ends early, after a good file") << "a.net"
                                                   << "broken.net" << false;
    QTest::newRow("deleted after listing") << "b.net"
                                           << "a.net" << true;
}

void TestStartPage::failedLoadChangesNothing() {
    QFETCH(QString, loadedBefore);
    QFETCH(QString, badFile);
    QFETCH(bool, vanishes);

    QWidget* page = showStartPage();
    QVERIFY(page);
    if (!loadedBefore.isEmpty()) {
        QVERIFY(load(page, loadedBefore));
    }
    const QStringList informationBefore = fileInformation(page);
    const QStringList setBefore = trainingSet(m_program->net);

    const QString path = m_root + "/" + badFile;
    if (vanishes) {
        QVERIFY(QFile::remove(path));
    }
    core::PublicStuff scratch;
    std::string expected;
    QVERIFY(!files::LoadTrainingFile(scratch, path.toStdString(), expected));

    m_program->dialogs.answer(ui::Answer::Ok);
    QVERIFY(load(page, badFile));

    QCOMPARE(m_program->dialogs.shown().size(), 1);
    const support::ShownDialog& shown = m_program->dialogs.shown().front();
    QCOMPARE(shown.text, QString::fromStdString(expected));
    QCOMPARE(shown.title, QString::fromUtf8(pages::ProgramTitle));
    QCOMPARE(shown.buttons, ui::Buttons::Ok);
    QCOMPARE(shown.icon, ui::Icon::Exclamation);
    QCOMPARE(fileInformation(page), informationBefore);
    QCOMPARE(trainingSet(m_program->net), setBefore);

    // The page stays usable.
    QVERIFY(load(page, "b.net"));
    QCOMPARE(fileInformation(page), shownFileInformation({"b.net", "1", "2", "3"}));
}

// "Cancel" in the progress dialog, shown at once here, leaves the page and the problem as
// they were, without a message.
void TestStartPage::cancelledLoadChangesNothing() {
    QByteArray big = "1 0 1000 4000";
    big.reserve(40'000'000);
    for (int k = 0; k < 4000 * 1001; ++k) {
        big += k % 5 != 0 ? " 0.125000" : " -1.50000";
    }
    QVERIFY(writeFile(m_root + "/big.net", big));
    QWidget* page = showStartPage();
    QVERIFY(page);
    QVERIFY(load(page, "a.net"));
    const QStringList informationBefore = fileInformation(page);
    const QStringList setBefore = trainingSet(m_program->net);

    QString status;
    {
        support::CancelFirstLongTask cancel(page);
        QVERIFY(load(page, "big.net"));
        status = cancel.status();
    }

    QVERIFY2(status.contains(" MB read, "), qPrintable(status));
    QCOMPARE(m_program->dialogs.shown().size(), 0);
    QCOMPARE(fileInformation(page), informationBefore);
    QCOMPARE(trainingSet(m_program->net), setBefore);
    QVERIFY(page->findChild<QProgressDialog*>(ui::LongTaskDialogName) == nullptr);
    QVERIFY(load(page, "big.net"));  // uncancelled, it loads
    QCOMPARE(m_program->net.NumPatterns, 4000);
}

void TestStartPage::openingSubfolderListsAndLoadsItsFiles() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    auto* folders = control<ui::FolderList>(page, QStringLiteral("Dir1"));
    auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    QVERIFY(doubleClickEntry(folders, "more"));

    QCOMPARE(folders->path(), m_root + "/more");
    QCOMPARE(files->path(), m_root + "/more");
    QCOMPARE(itemTexts(files), (QStringList{"my problem.net", "other.net"}));

    // Loading takes the file from the opened folder, not the current one.
    QVERIFY(load(page, "my problem.net"));
    QCOMPARE(fileInformation(page), shownFileInformation({"my problem.net", "1", "1", "1200"}));
    QCOMPARE(m_program->net.NumPatterns, 1200);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

// "distmem FILE": the file is loaded as a double-click in its folder would load it, and a
// bad one leaves the page as it was with the loader's message.
void TestStartPage::fileGivenAtStartIsLoadedFromItsFolder() {
    auto* page = static_cast<pages::StartPage*>(showStartPage());
    QVERIFY(page);
    page->loadGiven(m_root + "/more/my problem.net");
    QCOMPARE(control<ui::FileList>(page, QStringLiteral("File1"))->path(), m_root + "/more");
    QCOMPARE(fileInformation(page), shownFileInformation({"my problem.net", "1", "1", "1200"}));
    QCOMPARE(m_program->session.TrainingFolder, (m_root + "/more").toStdString());

    m_program->dialogs.answer(ui::Answer::Ok);
    page->loadGiven(m_root + "/broken.net");
    QCOMPARE(m_program->dialogs.shown().size(), 1);
    QVERIFY(m_program->dialogs.shown().front().text.contains(QStringLiteral("broken.net")));
    QCOMPARE(m_program->net.NumPatterns, 1200);
}

void TestStartPage::unreadableFolderIsReportedAndListsStayUsable() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    auto* folders = control<ui::FolderList>(page, QStringLiteral("Dir1"));
    auto* files = control<ui::FileList>(page, QStringLiteral("File1"));
    QVERIFY(QDir(m_root + "/more").removeRecursively());

    m_program->dialogs.answer(ui::Answer::Ok);
    QVERIFY(doubleClickEntry(folders, "more"));

    QCOMPARE(m_program->dialogs.shown().size(), 1);
    const support::ShownDialog& shown = m_program->dialogs.shown().front();
    QVERIFY2(shown.text.contains(m_root + "/more"), qPrintable(shown.text));
    QCOMPARE(shown.title, QString::fromUtf8(pages::ProgramTitle));
    QCOMPARE(shown.icon, ui::Icon::Exclamation);
    QCOMPARE(folders->path(), m_root);
    QCOMPARE(files->path(), m_root);
    QVERIFY(load(page, "a.net"));
    QCOMPARE(fileInformation(page), shownFileInformation({"a.net", "2", "3", "2"}));
}

void TestStartPage::nextPageGoesToSetupWithFreshStart() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    QPointer<QWidget> startPage = page;
    QSignalSpy finished(&m_program->runtime, &ui::PageRuntime::finished);
    QVERIFY(load(page, "a.net"));
    QCOMPARE(m_program->net.FreshStart, 0);

    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("NextPage")), Qt::LeftButton);

    QCOMPARE(m_program->records[PageId::Setup].loads, 1);
    QCOMPARE(m_program->records[PageId::Setup].freshStart, 1);
    QVERIFY(m_program->records[PageId::Setup].wasLoaded(
        PageId::Start));  // shown before the start page goes
    QVERIFY(m_program->runtime.find(PageId::Setup)->isVisible());
    QVERIFY(!m_program->runtime.isLoaded(PageId::Start));
    QTRY_VERIFY(startPage.isNull());
    QCOMPARE(finished.count(), 0);
}

void TestStartPage::exitEndsProgram() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    QVERIFY(m_program->runtime.Show(PageId::Probe));
    QSignalSpy finished(&m_program->runtime, &ui::PageRuntime::finished);

    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("Command2")), Qt::LeftButton);

    QCOMPARE(finished.count(), 1);
    QCOMPARE(m_program->runtime.loadedCount(), 0);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestStartPage::comingBackShowsNoFileInformation() {
    QWidget* page = showStartPage();
    QVERIFY(page);
    QVERIFY(load(page, "a.net"));
    QTest::mouseClick(control<QPushButton>(page, QStringLiteral("NextPage")), Qt::LeftButton);
    QTRY_VERIFY(!m_program->runtime.isLoaded(PageId::Start));
    const QStringList setBefore = trainingSet(m_program->net);

    // Meanwhile another folder became the current one (as the save page does).
    QVERIFY(QDir::setCurrent(m_root + "/more"));
    page = showStartPage();
    QVERIFY(page);

    QCOMPARE(fileInformation(page), noFileInformation());
    QCOMPARE(trainingSet(m_program->net), setBefore);
    QCOMPARE(control<ui::FileList>(page, QStringLiteral("File1"))->path(), m_root + "/more");
    QCOMPARE(control<ui::FolderList>(page, QStringLiteral("Dir1"))->path(), m_root + "/more");
}

QTEST_MAIN(TestStartPage)
#include "tst_start_page.moc"
