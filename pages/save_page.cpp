#include "pages/save_page.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTime>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "files/replacement_file.h"
#include "pages/page_id.h"
#include "pages/save_target.h"
#include "report/report_writer.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/file_lists.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 20> kGeometry{{
    {"Label1", {1320, 0, 6975, 1335}},          {"Label2", {480, 1800, 3735, 735}},
    {"PropertyLabel", {5400, 1800, 3735, 735}}, {"Drive1", {60, 2760, 2295, 315}},
    {"Dir1", {60, 3090, 2295, 2565}},           {"DirButton", {2400, 2880, 2292, 372}},
    {"FileButton", {2400, 3240, 2292, 372}},    {"File1", {2400, 3600, 2295, 1845}},
    {"Check1(1)", {5400, 2640, 3615, 495}},     {"Check1(2)", {5400, 3075, 3615, 495}},
    {"Check1(3)", {5400, 3510, 3615, 495}},     {"Check1(4)", {5400, 3930, 3615, 495}},
    {"Check1(0)", {5400, 4365, 3615, 495}},     {"Check1(5)", {5400, 4800, 3615, 495}},
    {"Check1(6)", {5400, 5280, 3615, 495}},     {"FileLabel", {240, 5640, 3975, 375}},
    {"FileNameLabel", {360, 6120, 3975, 615}},  {"SaveFile", {7440, 6480, 2292, 732}},
    {"Command2", {7920, 7440, 1695, 615}},      {"Label3", {0, 7080, 3135, 735}},
}};

struct SectionBox {
    std::size_t index;
    const char* caption;
    bool ticked;
};

// Top to bottom, which is the order of the sections in the report.
constexpr std::array<SectionBox, 7> kSectionBoxes{{
    {1, "General Information (Training info etc.)", true},
    {2, "Network Responses", true},
    {3, "Network Errors", true},
    {4, "Connection Weights", true},
    {0, "Input Patterns", false},
    {5, "Output Patterns", false},
    {6, "Network SSE As A Function Of Sweeps", false},
}};

const QString kNameFileTitle = QStringLiteral("Name File");
const QString kCreateDirectoryTitle = QStringLiteral("Create Directory");
const QString kSaveTitle = QStringLiteral("Save The File");

QLabel* centredLabel(QWidget* page, const char* name, const char* caption, const QFont& font) {
    QLabel* label = ui::Named(new QLabel(QString::fromLatin1(caption), page), QLatin1String(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(QWidget* page, const char* name, const char* caption, const QFont& font) {
    QPushButton* b =
        ui::Named(new QPushButton(QString::fromLatin1(caption), page), QLatin1String(name));
    b->setFont(font);
    return b;
}

// A reply that would name another folder, or no file at all, once joined to a folder.
bool isPlainName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0')) &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

std::string encodedPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The report's time of analysis is the system clock format, which shows seconds. Qt's
// short formats often drop them (en_US "1:05 PM"), and its long formats add a time zone,
// so the long format is used without its zone: en_US "1:05:09 PM", de_DE "13:05:09".
QString timeFormatWithSeconds(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (!quoted && c == QLatin1Char('t')) {
            // The zone goes with the blank that separates it.
            while (!result.isEmpty() && result.back().isSpace()) {
                result.chop(1);
            }
            continue;
        }
        result += c;
    }
    return result.trimmed();
}

report::ReportContext reportContext() {
    const ui::LocaleSeparators separators = ui::CurrentLocaleSeparators();
    return {
        {separators.decimal, separators.grouping},
        [] { return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString(); },
        [] {
            const QLocale locale;
            return locale.toString(QTime::currentTime(), timeFormatWithSeconds(locale))
                .toStdString();
        },
    };
}

}  // namespace

report::ReportContext LocalReportContext() {
    return reportContext();
}

SavePage::SavePage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session)
    : ui::Page(runtime, PageId::Save,
               QStringLiteral("Save Results To A Text File -- Tavrel Neural Network Code"), 10515,
               9000),
      m_net(net),
      m_session(session) {
    // The lists and check boxes have no font of their own.
    setFont(ui::PageFont("MS Sans Serif", 8.25));
    const QFont heading = ui::PageFont("MS Sans Serif", 12, ui::Bold);
    const QFont smallBold = ui::PageFont("MS Sans Serif", 8.25, ui::Bold);

    // Created in the order of the geometry table, which is also the tab order.
    Label1 =
        centredLabel(this, "Label1", "Tavrel Distributed Associative Memory Program 2002 Edition",
                     ui::PageFont("Arial", 20.25, ui::Bold | ui::Italic));
    Label2 = centredLabel(this, "Label2", "Choose The Name Of The File To Be Saved", heading);
    PropertyLabel =
        centredLabel(this, "PropertyLabel", "Choose The Properties To Save In The File", heading);
    Drive1 = ui::Named(new ui::DriveList(this), QStringLiteral("Drive1"));
    Dir1 = ui::Named(new ui::FolderList(this), QStringLiteral("Dir1"));
    DirButton = button(this, "DirButton", "Create A New Directory", smallBold);
    FileButton = button(this, "FileButton", "Create A New Filename", smallBold);
    File1 = ui::Named(new ui::FileList(QStringLiteral("*.txt"), this), QStringLiteral("File1"));
    for (const SectionBox& box : kSectionBoxes) {
        QCheckBox* check = ui::Named(new QCheckBox(QString::fromLatin1(box.caption), this),
                                     QStringLiteral("Check1(%1)").arg(box.index));
        check->setChecked(box.ticked);
        Check1.at(box.index) = check;
    }
    FileLabel = centredLabel(this, "FileLabel", "Name Of File To Be Saved:",
                             ui::PageFont("Arial", 12, ui::Bold | ui::Underline));
    FileNameLabel =
        centredLabel(this, "FileNameLabel", "", ui::PageFont("Arial", 12, ui::Bold | ui::Italic));
    SaveFile = button(this, "SaveFile", "Save The File", ui::PageFont("Arial", 12, ui::Bold));
    Command2 = button(this, "Command2", "Close", ui::PageFont("Arial", 12, ui::Bold | ui::Italic));
    Label3 =
        ui::Named(new QLabel(QStringLiteral("Tick the sections, pick a file, then save."), this),
                  QStringLiteral("Label3"));
    Label3->setFont(ui::PageFont("Arial", 8.25, ui::Italic));
    Label3->setWordWrap(true);

    ui::ApplyGeometry(this, geometry());

    ui::DescribeControl(Drive1, QStringLiteral("Drive"));
    ui::DescribeControl(Dir1, QStringLiteral("Folders"),
                        QStringLiteral("Double-click a folder, or press Enter on it, to open it."));
    ui::DescribeControl(File1, QStringLiteral("Report files"),
                        QStringLiteral("Selecting a file chooses it as the report file."));
    ui::NameAfterLabel(FileNameLabel, FileLabel);

    connect(Drive1, &ui::DriveList::driveChanged, this, &SavePage::Drive1_Change);
    connect(Dir1, &ui::FolderList::pathChanged, this, &SavePage::Dir1_Change);
    connect(Dir1, &ui::FolderList::unreadable, this, &SavePage::reportUnreadableFolder);
    connect(File1, &ui::FileList::fileClicked, this, &SavePage::File1_Click);
    connect(DirButton, &QPushButton::clicked, this, &SavePage::DirButton_Click);
    connect(FileButton, &QPushButton::clicked, this, &SavePage::FileButton_Click);
    connect(SaveFile, &QPushButton::clicked, this, &SavePage::SaveFile_Click);
    connect(Command2, &QPushButton::clicked, this, &SavePage::Command2_Click);

    // Every visit starts at the process's current folder, which DirButton may have moved.
    Dir1->setPath(QDir::currentPath());
    if (Dir1->path().isEmpty()) {
        Dir1->setPath(QDir::rootPath());
    }
    // A file chosen on an earlier visit is still the one that will be written.
    showReportFileName();
}

std::span<const ui::ControlPlace> SavePage::geometry() {
    return kGeometry;
}

void SavePage::Drive1_Change() {
    Dir1->setPath(Drive1->drive());
}

void SavePage::Dir1_Change() {
    // Opening a folder on another volume moves the drive list with it.
    Drive1->setDriveFor(Dir1->path());
    File1->setPath(Dir1->path());
    showReportFileName();
}

void SavePage::File1_Click() {
    const QString name = File1->fileName();
    if (name.isEmpty()) {
        return;
    }
    m_session.ReportFileName = encodedPath(QDir(File1->path()).filePath(name));
    showReportFileName();
}

void SavePage::showReportFileName() {
    if (m_session.ReportFileName.empty()) {
        return;
    }
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(m_session.ReportFileName)));
    const QString folder = QDir::cleanPath(file.absolutePath());
    const QFontMetrics metrics(FileNameLabel->font());
    const int width = FileNameLabel->width();
    QString text = metrics.elidedText(file.fileName(), Qt::ElideMiddle, width);
    if (folder != File1->path()) {
        const QString in = QStringLiteral("in ");
        text += QLatin1Char('\n') + in +
                metrics.elidedText(folder, Qt::ElideLeft, width - metrics.horizontalAdvance(in));
    }
    FileNameLabel->setText(text);
    FileNameLabel->setToolTip(file.filePath());
}

void SavePage::DirButton_Click() {
    const QString reply = runtime().dialogs().inputBox(
        this, QStringLiteral("Enter name of directory:"), kCreateDirectoryTitle);
    if (reply.isEmpty()) {
        return;
    }
    const QString path = QDir(File1->path()).filePath(reply);
    const auto refuse = [&](const QString& reason) {
        showProblem(QStringLiteral("Cannot create the folder \"%1\": %2 Type another name.")
                        .arg(path, reason),
                    kCreateDirectoryTitle);
    };
    if (!isPlainName(reply)) {
        // The system would accept "a/b" inside an existing "a"; the button makes one new
        // folder in the folder shown, nothing else.
        refuse(QStringLiteral("a folder name cannot contain \"/\" or be \".\" or \"..\"."));
        return;
    }
    if (::mkdir(encodedPath(path).c_str(), 0777) != 0) {
        const int code = errno;
        refuse(QString::fromLocal8Bit(std::strerror(code)) + QLatin1Char('.'));
        return;
    }
    // Lists loaded later, here or on the start page, open in the new folder.
    QDir::setCurrent(path);
    Dir1->setPath(path);
}

void SavePage::FileButton_Click() {
    QString reply = runtime().dialogs().inputBox(
        this, QStringLiteral("Enter name of file to save:"), kNameFileTitle);
    if (reply.isEmpty()) {
        // A cancel forgets the chosen file but leaves the label as it was.
        m_session.ReportFileName.clear();
        return;
    }
    if (!isPlainName(reply)) {
        showProblem(QStringLiteral("\"%1\" is not a file name: a name cannot contain \"/\" or "
                                   "be \".\" or \"..\". Type the name alone; the file goes "
                                   "into the folder shown in the lists.")
                        .arg(reply),
                    kNameFileTitle);
        return;
    }
    if (!reply.endsWith(QLatin1String(".txt"), Qt::CaseSensitive)) {
        reply += QLatin1String(".txt");
    }
    m_session.ReportFileName = encodedPath(QDir(File1->path()).filePath(reply));
    showReportFileName();
}

void SavePage::SaveFile_Click() {
    if (m_session.ReportFileName.empty()) {
        return;
    }
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        showProblem(QString::fromStdString(untrained), kSaveTitle);
        return;
    }
    const QFileInfo target(QFile::decodeName(QByteArray::fromStdString(m_session.ReportFileName)));
    if (target.isDir()) {
        showProblem(QStringLiteral("Cannot save the report as \"%1\": a folder has that name. "
                                   "Choose another file name.")
                        .arg(target.filePath()),
                    kSaveTitle);
        return;
    }
    if (const QString refusal =
            InUseRefusal(m_session.ReportFileName, FilesInUse(m_net, m_session, false));
        !refusal.isEmpty()) {
        showProblem(refusal, kSaveTitle);
        return;
    }
    // Refused before the question, so that "Yes" is never followed by a refusal.
    if (std::string refusal; !files::ReplacementFile::CheckTarget(
            m_session.ReportFileName, "Cannot write the report", refusal)) {
        showProblem(QString::fromStdString(refusal), kSaveTitle);
        return;
    }
    if (target.exists() && !ui::AskOverwrite(this, runtime().dialogs())) {
        return;
    }

    report::SectionFlags flags{};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags.at(i) = Check1.at(i)->isChecked();
    }
    // Written on a worker thread; after 0.2 s a progress dialog offers "Cancel", which
    // leaves the earlier file and no temporary file.
    std::string error;
    bool written = false;
    core::Progress progress;
    report::ReportContext context = reportContext();
    context.progress = &progress;
    ui::LongTask task;
    task.title = QStringLiteral("Saving the report");
    task.work = [&] {
        return written =
                   report::WriteReport(m_net, m_session.ReportFileName, flags, context, error);
    };
    // The report's length is known only once it is written: a busy bar.
    ui::TrackProgress(task, progress, [](const core::Progress& p) {
        return QStringLiteral("%1 MB written").arg(static_cast<double>(p.done()) / 1e6, 0, 'f', 1);
    });
    const bool cancelled = ui::RunLongTask(runtime(), this, task) == core::WorkEnd::Cancelled;
    if (!written && !cancelled) {
        showProblem(QString::fromStdString(error), kSaveTitle);
        return;
    }
    // A new file belongs in the list if it went into the folder shown.
    File1->refresh();
}

void SavePage::Command2_Click() {
    runtime().Unload(PageId::Save);
}

void SavePage::reportUnreadableFolder(const QString& path, const QString& reason) {
    // The folder list stayed where it was; the drive list goes back there too.
    Drive1->setDriveFor(Dir1->path());
    showProblem(QStringLiteral("Cannot open the folder \"%1\". %2 Choose another folder or drive.")
                    .arg(path, reason),
                QString::fromUtf8(ProgramTitle));
}

void SavePage::showProblem(const QString& text, const QString& title) {
    runtime().dialogs().warn(this, text, title);
}

}  // namespace pages
