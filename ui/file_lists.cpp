#include "ui/file_lists.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace ui {

namespace {

constexpr int PathRole = Qt::UserRole;

// The kind of file `path` finally names, links followed; stat() never opens the file, so a
// FIFO cannot block it.
bool statIs(const QString& path, mode_t kind) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.st_mode & S_IFMT) == kind;
}

QString cleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isUnder(const QString& root, const QString& path) {
    if (root == QLatin1String("/")) {
        return path.startsWith(QLatin1Char('/'));
    }
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

// Why `path` cannot be listed, or empty when it can.
QString unreadableReason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("The folder does not exist.");
    }
    if (!info.isDir()) {
        return QStringLiteral("This is a file, not a folder.");
    }
    // Listing needs read permission, entering the folder needs execute permission.
    if (!info.isReadable() || !info.isExecutable()) {
        return QStringLiteral("Permission denied: the folder cannot be read.");
    }
    return {};
}

QString indent(int level) {
    return QString(qsizetype{2} * level, QLatin1Char(' '));
}

}  // namespace

// --- DriveList ---

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    struct Volume {
        QString root;
        QString name;
    };
    std::vector<Volume> volumes{{QStringLiteral("/"), {}}};
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        const QString root = storage.rootPath();
        // Containers bind-mount single files; only folders can be opened.
        if (!storage.isValid() || !storage.isReady() || !QFileInfo(root).isDir()) {
            continue;
        }
        const auto same = std::find_if(volumes.begin(), volumes.end(),
                                       [&](const Volume& v) { return v.root == root; });
        if (same == volumes.end()) {
            volumes.push_back({root, storage.name()});
        } else if (same->name.isEmpty()) {
            same->name = storage.name();
        }
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    for (const Volume& v : volumes) {
        addItem(v.name.isEmpty() ? v.root : QStringLiteral("%1  [%2]").arg(v.root, v.name), v.root);
    }
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index != m_shownIndex) {
            m_shownIndex = index;
            emit driveChanged(itemData(index).toString());
        }
    });
}

void DriveList::setDriveFor(const QString& path) {
    const QString clean = cleanAbsolute(path);
    // The deepest mount point that holds the path; "/" holds every path.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (isUnder(root, clean) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0) {
        setCurrentIndex(best);
        m_shownIndex = best;
    }
}

QString DriveList::drive() const {
    return currentData().toString();
}

// --- FolderList ---

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { open(item); });
}

void FolderList::setPath(const QString& path) {
    const QString clean = cleanAbsolute(path);
    const QString reason = unreadableReason(clean);
    if (!reason.isEmpty()) {
        emit unreadable(clean, reason);
        return;
    }
    const bool changed = clean != m_path;
    m_path = clean;
    // Filled again even when unchanged: folders may have been created meanwhile.
    fill();
    if (changed) {
        emit pathChanged(m_path);
    }
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::open(QListWidgetItem* item) {
    if (item != nullptr) {
        // Copied first: fill() deletes the item.
        const QString target = item->data(PathRole).toString();
        setPath(target);
    }
}

void FolderList::fill() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The ancestors from the root down, the current folder last.
    const QStringList parts = m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString ancestor = QStringLiteral("/");
    auto* current = new QListWidgetItem(openIcon, ancestor, this);
    current->setData(PathRole, ancestor);
    int level = 0;
    for (const QString& part : parts) {
        ++level;
        ancestor = ancestor.endsWith(QLatin1Char('/')) ? ancestor + part
                                                       : ancestor + QLatin1Char('/') + part;
        current = new QListWidgetItem(openIcon, indent(level) + part, this);
        current->setData(PathRole, ancestor);
    }

    const QDir dir(m_path);
    const QFileInfoList subfolders = dir.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& sub : subfolders) {
        if (!statIs(sub.absoluteFilePath(), S_IFDIR)) {
            continue;
        }
        auto* item = new QListWidgetItem(closedIcon, indent(level + 1) + sub.fileName(), this);
        item->setData(PathRole, QDir::cleanPath(sub.absoluteFilePath()));
    }
    setCurrentItem(current);
}

// --- FileList ---

FileList::FileList(const QString& pattern, QWidget* parent)
    : QListWidget(parent), m_pattern(pattern) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, [this] { emit fileClicked(); });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit fileDoubleClicked(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileList::refresh);
}

void FileList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !fileName().isEmpty()) {
        emit fileDoubleClicked();
        return;
    }
    // Arrow keys and typed letters select without a click, and count as one.
    const QString before = fileName();
    QListWidget::keyPressEvent(event);
    if (const QString after = fileName(); !after.isEmpty() && after != before) {
        emit fileClicked();
    }
}

void FileList::setPath(const QString& path) {
    const QString clean = cleanAbsolute(path);
    if (clean != m_path) {
        if (!m_path.isEmpty()) {
            m_watcher.removePath(m_path);
        }
        m_path = clean;
        clear();  // a selection does not carry over to another folder
        if (!m_path.isEmpty()) {
            m_watcher.addPath(m_path);
        }
    }
    refresh();
}

void FileList::refresh() {
    const QString selected = fileName();
    clear();
    if (m_path.isEmpty()) {
        return;
    }
    const QStringList patterns = m_pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // Only plain files (and links to them): a device, FIFO or socket is no training file or
    // report, and opening a FIFO would wait for a writer.
    const QDir dir(m_path);
    for (const QString& name : dir.entryList(patterns, QDir::Files | QDir::CaseSensitive,
                                             QDir::Name | QDir::IgnoreCase | QDir::LocaleAware)) {
        if (statIs(dir.filePath(name), S_IFREG)) {
            addItem(name);
        }
    }
    if (!selected.isEmpty()) {
        const QList<QListWidgetItem*> same =
            findItems(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!same.isEmpty()) {
            setCurrentItem(same.first());
        }
    }
}

QString FileList::fileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

// --- Coupling ---

void CoupleFileLists(DriveList* drive, FolderList* folders, FileList* files,
                     const QString& startFolder) {
    QObject::connect(drive, &DriveList::driveChanged, folders,
                     [folders](const QString& root) { folders->setPath(root); });
    QObject::connect(folders, &FolderList::pathChanged, files,
                     [files](const QString& path) { files->setPath(path); });
    // The drive list shows the volume of the folder, also after entering a mount point or
    // after a drive that could not be read.
    QObject::connect(folders, &FolderList::pathChanged, drive,
                     [drive](const QString& path) { drive->setDriveFor(path); });
    QObject::connect(folders, &FolderList::unreadable, drive,
                     [drive, folders] { drive->setDriveFor(folders->path()); });

    folders->setPath(startFolder);
    if (folders->path().isEmpty()) {
        folders->setPath(QDir::rootPath());
    }
    // Set directly too: pathChanged is not emitted when the list was there already.
    files->setPath(folders->path());
    drive->setDriveFor(folders->path());
}

}  // namespace ui
