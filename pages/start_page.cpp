#include "pages/start_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <string>

#include "files/loader.h"
#include "files/network_file.h"
#include "pages/network_save.h"
#include "pages/page_id.h"
#include "text/number_format.h"
#include "training/run_history.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/file_lists.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"
#include "ui/wrapping_button.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 19> kGeometry{{
    {"Label1", {1440, 240, 6975, 1335}},
    {"FileLabel", {1080, 1680, 7935, 495}},
    {"Drive1", {1014, 2280, 2295, 315}},
    {"Dir1", {1014, 2610, 2295, 2790}},
    {"File1", {3480, 2280, 2295, 1845}},
    {"NextPage", {3480, 4320, 2292, 1095}},
    {"Label8(0)", {6360, 2880, 2415, 255}},
    {"Label8(1)", {6060, 3360, 1335, 255}},
    {"Label8(2)", {6060, 3720, 1335, 255}},
    {"Label8(3)", {6060, 4080, 1335, 255}},
    {"Label8(4)", {6060, 4440, 1335, 255}},
    {"OutputText(0)", {7500, 3360, 1332, 288}},
    {"OutputText(1)", {7500, 3720, 1332, 288}},
    {"OutputText(2)", {7500, 4080, 1332, 288}},
    {"OutputText(3)", {7500, 4440, 1332, 288}},
    // Where the note on a training file's tail shows; a saved network has none.
    {"TrainedInfo", {6060, 4860, 2775, 510}},
    {"Command2", {7560, 7320, 1695, 615}},
    {"Label3", {120, 7320, 3135, 735}},
    {"TailNote", {6060, 4860, 2775, 1455}},
}};

QString indexed(const char* name, std::size_t index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

}  // namespace

StartPage::StartPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session)
    : ui::Page(runtime, PageId::Start,
               QStringLiteral("Tavrel Neural Net Code -- Introductory Form"), 10665, 9135),
      m_net(net),
      m_session(session) {
    // Created in the order of the geometry table, which is also the tab order.
    Label1 = ui::Named(new QLabel(this), QStringLiteral("Label1"));
    FileLabel = ui::Named(new QLabel(this), QStringLiteral("FileLabel"));
    Drive1 = ui::Named(new ui::DriveList(this), QStringLiteral("Drive1"));
    Dir1 = ui::Named(new ui::FolderList(this), QStringLiteral("Dir1"));
    File1 =
        ui::Named(new ui::FileList(QStringLiteral("*.net;*.h5"), this), QStringLiteral("File1"));
    NextPage = ui::Named(new ui::WrappingButton(this), QStringLiteral("NextPage"));
    for (std::size_t i = 0; i < Label8.size(); ++i) {
        Label8[i] = ui::Named(new QLabel(this), indexed("Label8", i));
    }
    for (std::size_t i = 0; i < OutputText.size(); ++i) {
        OutputText[i] = ui::Named(new QLineEdit(this), indexed("OutputText", i));
    }
    TrainedInfo = ui::Named(new QLabel(this), QStringLiteral("TrainedInfo"));
    Command2 = ui::Named(new QPushButton(this), QStringLiteral("Command2"));
    Label3 = ui::Named(new QLabel(this), QStringLiteral("Label3"));
    TailNote = ui::Named(new QLabel(this), QStringLiteral("TailNote"));

    setFont(ui::PageFont("Arial", 12, ui::Bold));

    Label1->setText(QStringLiteral("Tavrel Distributed Associative Memory Program 2002 Edition"));
    Label1->setFont(ui::PageFont("Arial", 20.25, ui::Bold | ui::Italic));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);

    FileLabel->setText(
        QStringLiteral("Use \"Double Clicks\" To Choose The File To Train The Network"));
    FileLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FileLabel->setWordWrap(true);

    NextPage->setText(QStringLiteral("Go To Next Page To Set Training Parameters"));
    NextPage->hide();

    Label8[0]->setText(QStringLiteral("Training File Information"));
    QFont heading = ui::PageFont("Arial", 10.5, ui::Bold | ui::Underline);
    // At this size the caption comes out a few pixels wider than its label; a fifth of a
    // pixel less between letters lets it fit without changing the face or the size.
    heading.setLetterSpacing(QFont::AbsoluteSpacing, -0.2);
    Label8[0]->setFont(heading);
    Label8[0]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label8[1]->setText(QStringLiteral("File Name:"));
    Label8[2]->setText(QStringLiteral("# of Output Units:"));
    Label8[3]->setText(QStringLiteral("# of Input Units:"));
    Label8[4]->setText(QStringLiteral("# of Patterns:"));
    for (std::size_t i = 1; i < Label8.size(); ++i) {
        // The page font is far too wide for these narrow captions.
        Label8[i]->setFont(ui::PageFont("Arial", 8));
        Label8[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    for (QLabel* label : Label8) {
        label->hide();
    }
    for (QLineEdit* box : OutputText) {
        box->setFont(ui::PageFont("Arial", 9, ui::Bold));
        box->setAlignment(Qt::AlignCenter);
        box->hide();
    }

    TrainedInfo->setFont(ui::PageFont("Arial", 8));
    TrainedInfo->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    TrainedInfo->setWordWrap(true);
    TrainedInfo->hide();

    Command2->setText(QStringLiteral("Exit"));
    Command2->setFont(ui::PageFont("Arial", 12, ui::Bold | ui::Italic));

    Label3->setText(QStringLiteral(
        "Double-click a training file (.net) to load it, or a saved network (.h5) to open it."));
    Label3->setFont(ui::PageFont("Arial", 8));
    Label3->setWordWrap(true);

    TailNote->setFont(ui::PageFont("Arial", 8));
    TailNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TailNote->setWordWrap(true);
    TailNote->hide();

    ui::ApplyGeometry(this, geometry());

    ui::DescribeControl(Drive1, QStringLiteral("Drive"));
    ui::DescribeControl(Dir1, QStringLiteral("Folders"),
                        QStringLiteral("Double-click a folder, or press Enter on it, to open it."));
    ui::DescribeControl(File1, QStringLiteral("Training files"),
                        QStringLiteral("Double-click a training file or a saved network, or "
                                       "press Enter on it, to load it."));
    for (std::size_t i = 0; i < OutputText.size(); ++i) {
        ui::NameAfterLabel(OutputText[i], Label8[i + 1]);
    }
    ui::DescribeControl(TrainedInfo, QStringLiteral("How the saved network was trained"));
    ui::DescribeControl(TailNote, QStringLiteral("Not read from the file"));

    connect(Drive1, &ui::DriveList::driveChanged, this, &StartPage::Drive1_Change);
    connect(Dir1, &ui::FolderList::pathChanged, this, &StartPage::Dir1_Change);
    connect(Dir1, &ui::FolderList::unreadable, this, &StartPage::reportUnreadableFolder);
    connect(File1, &ui::FileList::fileDoubleClicked, this, &StartPage::File1_DblClick);
    connect(NextPage, &QPushButton::clicked, this, &StartPage::NextPage_Click);
    connect(Command2, &QPushButton::clicked, this, &StartPage::Command2_Click);

    // Every visit starts at the process's current folder (the save page may have moved it).
    Dir1->setPath(QDir::currentPath());
    if (Dir1->path().isEmpty()) {
        Dir1->setPath(QDir::rootPath());
    }
}

std::span<const ui::ControlPlace> StartPage::geometry() {
    return kGeometry;
}

void StartPage::Drive1_Change() {
    Dir1->setPath(Drive1->drive());
}

void StartPage::Dir1_Change() {
    // Opening a folder on another volume moves the drive list with it.
    Drive1->setDriveFor(Dir1->path());
    File1->setPath(Dir1->path());
}

namespace {

// "12.3 MB of 40.0 MB read, 10.1 MB parsed", and how much of the file has been parsed.
QString megabytes(long long bytes) {
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1);
}

QString loadStatus(const core::Progress& progress) {
    return QStringLiteral("%1 MB of %2 MB read, %3 MB parsed")
        .arg(megabytes(progress.staged()), megabytes(progress.total()), megabytes(progress.done()));
}

QString openStatus(const core::Progress& progress) {
    return QStringLiteral("%1 MB of %2 MB read")
        .arg(megabytes(progress.done()), megabytes(progress.total()));
}

}  // namespace

void StartPage::File1_DblClick() {
    const QString name = File1->fileName();
    if (name.isEmpty()) {
        return;
    }
    loadPath(QDir(File1->path()).filePath(name));
}

void StartPage::loadGiven(const QString& given) {
    const QFileInfo file(given);
    // The lists show the file's folder, as if the student had gone there.
    Dir1->setPath(file.absolutePath());
    if (Dir1->path() == file.absolutePath()) {
        File1->setPath(Dir1->path());
    }
    loadPath(file.absoluteFilePath());
}

void StartPage::loadPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const QString folder = QFileInfo(path).absolutePath();
    if (files::IsNetworkFileName(name.toStdString())) {
        openNetworkFile(path, name);
        return;
    }
    std::string error;
    // Loaded on a worker thread into a network of its own, which replaces the problem only
    // once the load succeeded and was not cancelled: either way the page is as before.
    auto staging = std::make_unique<core::Problem>();
    core::Progress progress;
    bool loaded = false;
    files::FileTail tail;
    const std::string file = QFile::encodeName(path).toStdString();
    ui::LongTask task;
    task.title = QStringLiteral("Loading %1").arg(name);
    task.work = [&] {
        return loaded = files::LoadTrainingFile(*staging, file, error, &progress, &tail);
    };
    ui::TrackProgress(task, progress, loadStatus);
    if (ui::RunLongTask(runtime(), this, task) == core::WorkEnd::Cancelled) {
        return;
    }
    if (!loaded) {
        runtime().dialogs().warn(this, QString::fromStdString(error));
        return;
    }
    if (!MayDropTraining(this, runtime().dialogs(), m_net, m_session,
                         QStringLiteral("opening another file"))) {
        return;
    }
    files::TakeLoadedProblem(m_net, *staging);
    m_net.TrainingFileName = name.toStdString();
    m_session.TrainingFolder = folder.toStdString();
    m_session.OpenedNetworkFile.clear();
    m_opened = false;
    showLoaded(name, QString(), QString::fromStdString(files::TailNote(tail)));
}

void StartPage::openNetworkFile(const QString& path, const QString& name) {
    // Opened on a worker thread into a network of its own, which replaces the program's
    // only once it opened completely: a failure or a cancel leaves everything as it was.
    auto staging = std::make_unique<core::PublicStuff>();
    core::Progress progress;
    std::string error;
    bool opened = false;
    const std::string file = QFile::encodeName(path).toStdString();
    ui::LongTask task;
    task.title = QStringLiteral("Opening %1").arg(name);
    task.work = [&] { return opened = files::OpenNetwork(*staging, file, error, &progress); };
    ui::TrackProgress(task, progress, openStatus);
    if (ui::RunLongTask(runtime(), this, task) == core::WorkEnd::Cancelled) {
        return;
    }
    if (!opened) {
        runtime().dialogs().warn(this, QString::fromStdString(error));
        return;
    }
    if (!MayDropTraining(this, runtime().dialogs(), m_net, m_session,
                         QStringLiteral("opening another file"))) {
        return;
    }
    m_net = std::move(*staging);
    m_session.Runs.AddOpenedRun(m_net, m_net);  // its history is a run the graph page can show
    m_session.TrainingFolder = QFileInfo(path).absolutePath().toStdString();
    m_session.OpenedNetworkFile = file;
    m_session.UnsavedTraining = false;
    m_opened = true;
    const ui::LocaleSeparators seps = ui::CurrentLocaleSeparators();
    showLoaded(name,
               QString::fromStdString(files::NetworkInfoLine(m_net, {seps.decimal, seps.grouping})),
               QString());
}

void StartPage::showLoaded(const QString& name, const QString& trainedInfo,
                           const QString& tailNote) {
    OutputText[0]->setText(name);
    OutputText[1]->setText(QString::fromStdString(text::FormatInteger(m_net.NumOutputs)));
    OutputText[2]->setText(QString::fromStdString(text::FormatInteger(m_net.NumInputs)));
    OutputText[3]->setText(QString::fromStdString(text::FormatInteger(m_net.NumPatterns)));
    for (QLabel* label : Label8) {
        label->show();
    }
    for (QLineEdit* box : OutputText) {
        box->show();
        box->setEnabled(false);
    }
    TrainedInfo->setText(trainedInfo);
    TrainedInfo->setVisible(!trainedInfo.isEmpty());
    TailNote->setText(tailNote);
    TailNote->setVisible(!tailNote.isEmpty());
    NextPage->show();
}

void StartPage::NextPage_Click() {
    // The setup page reads FreshStart while it loads; an opened network goes on from where
    // its run ended.
    m_net.FreshStart = m_opened ? 0 : 1;
    m_session.ShowOpenedRun = m_opened;
    runtime().Show(PageId::Setup);
    runtime().Unload(PageId::Start);
}

void StartPage::Command2_Click() {
    runtime().End();
}

void StartPage::reportUnreadableFolder(const QString& path, const QString& reason) {
    // The folder list stayed where it was; the drive list goes back there too.
    Drive1->setDriveFor(Dir1->path());
    runtime().dialogs().warn(
        this, QStringLiteral("Cannot open the folder \"%1\". %2 Choose another folder or drive.")
                  .arg(QDir::toNativeSeparators(path), reason));
}

}  // namespace pages
