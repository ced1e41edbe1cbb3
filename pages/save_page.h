#pragma once

// The save page (SaveResults): the student picks a folder, a file name and the sections
// of the summary report, and writes it. Opened from the post-training menu, which stays
// open beneath it.
//
// The chosen file lives in core::PublicStuff::ReportFileName (a full path), not in the
// page: it survives closing the page, while the check boxes and the file-name label start
// afresh on every visit. A name is joined to the folder shown at the moment it is chosen,
// so moving through folders afterwards does not move the chosen file.
//
// Failures (a folder that cannot be created, a name that is not a file name, a folder in
// the way of the file, a report that cannot be written) are shown in a message box and
// change neither ReportFileName nor the page.

#include <QString>

#include <array>
#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "report/report_writer.h"
#include "ui/geometry.h"
#include "ui/page.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace ui {
class Dialogs;
class DriveList;
class FileList;
class FolderList;
}  // namespace ui

namespace pages {

// The report's context from the user's locale: separators, short date, time with seconds.
report::ReportContext LocalReportContext();

class SavePage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the network reported on and the holder of ReportFileName; it must outlive
    // the page.
    SavePage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session);

    // Where every control sits, in tab order: headings, lists and buttons, the
    // check boxes from top to bottom, the file name, the rest.
    static std::span<const ui::ControlPlace> geometry();

  private:
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void DirButton_Click();
    void FileButton_Click();
    void SaveFile_Click();
    void Command2_Click();
    void reportUnreadableFolder(const QString& path, const QString& reason);
    void showProblem(const QString& text, const QString& title);
    // Shows in FileNameLabel the file "Save The File" will write: its name, and its folder
    // too when that is not the folder the lists show. Leaves the label alone while no file
    // is chosen.
    void showReportFileName();

    core::PublicStuff& m_net;

    Session& m_session;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* PropertyLabel = nullptr;
    ui::DriveList* Drive1 = nullptr;
    ui::FolderList* Dir1 = nullptr;
    QPushButton* DirButton = nullptr;
    QPushButton* FileButton = nullptr;
    ui::FileList* File1 = nullptr;
    // Indexed like the report's section flags, not in screen order.
    std::array<QCheckBox*, 7> Check1{};
    QLabel* FileLabel = nullptr;
    QLabel* FileNameLabel = nullptr;
    QPushButton* SaveFile = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label3 = nullptr;
};

}  // namespace pages
