#pragma once

// Drive, folder and file lists kept in step: picking a drive moves the folder list there,
// opening a folder moves the file list there. "Drives" are the mounted volumes (the root
// folder and the mount points) where the system has no drive letters.

#include <QComboBox>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QString>

namespace ui {

class DriveList : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveList(QWidget* parent = nullptr);
    // The volume that holds `path` becomes the current drive (no signal).
    void setDriveFor(const QString& path);
    QString drive() const;  // root path of the current drive

  signals:
    // The user picked another drive. Picking the current one again is no change, so the
    // folder list stays where it is.
    void driveChanged(const QString& root);

  private:
    int m_shownIndex = -1;
};

// The folders of the current path: the path's ancestors from the root down, then the
// subfolders of the current folder. Double-clicking (or Enter on) an entry opens it.
class FolderList : public QListWidget {
    Q_OBJECT
  public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    // Opens `path`; emits pathChanged when it differs. A folder that cannot be read keeps
    // the list at the previous folder and emits unreadable().
    void setPath(const QString& path);

  signals:
    void pathChanged(const QString& path);
    void unreadable(const QString& path, const QString& reason);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void open(QListWidgetItem* item);
    void fill();
    QString m_path;
};

// The files of a folder whose names match a pattern such as "*.net" (several patterns are
// separated by ';'), case-sensitively like the file system, sorted by name. Folders and
// hidden files are not listed. Selecting a name, by a click or from the keyboard (arrow
// keys, typing its first letters), counts as a click; a double-click or Enter activates.
// Files added to or removed from the shown folder while it is shown appear or go at once.
class FileList : public QListWidget {
    Q_OBJECT
  public:
    FileList(const QString& pattern, QWidget* parent = nullptr);
    QString path() const { return m_path; }
    void setPath(const QString& path);
    void refresh();
    QString pattern() const { return m_pattern; }
    // The selected file's name without its folder; empty when none is selected.
    QString fileName() const;

  signals:
    void fileClicked();        // the user selected a name
    void fileDoubleClicked();  // the user double-clicked a name or pressed Enter on it

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString m_path;
    QString m_pattern;
    QFileSystemWatcher m_watcher;
};

// Couples the three lists as the pages use them, starting at `startFolder`.
void CoupleFileLists(DriveList* drive, FolderList* folders, FileList* files,
                     const QString& startFolder);

}  // namespace ui
