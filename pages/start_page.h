#pragma once

// The start page (Network1), the first window of the program: the student walks drives
// and folders, double-clicks a training file (*.net) to load it into the shared network,
// reads the file's name and counts, and goes on to the setup page with fresh weights.
//
// The page is built afresh on every load, so it always opens in the "no file chosen"
// state, even when the network still holds a file from an earlier visit.

#include <array>
#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class DriveList;
class FileList;
class FolderList;
}  // namespace ui

namespace pages {

class StartPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the network the page loads files into; it must outlive the page.
    StartPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session);

    // Where every control sits: the heading, the lists, the file information, the rest.
    static std::span<const ui::ControlPlace> geometry();

    // Loads a training file or opens a saved network given by its path (the command line's
    // file), as a double-click on it in the lists would; a bad file shows its message.
    void loadGiven(const QString& path);

  private:
    void Drive1_Change();
    void Dir1_Change();
    void File1_DblClick();
    void NextPage_Click();
    void Command2_Click();
    void reportUnreadableFolder(const QString& path, const QString& reason);
    void loadPath(const QString& path);
    void openNetworkFile(const QString& path, const QString& name);
    // The information box for what was loaded; `trainedInfo` is empty for a training file,
    // `tailNote` (what was not read after the last desired output) for a saved network.
    void showLoaded(const QString& name, const QString& trainedInfo, const QString& tailNote);

    core::PublicStuff& m_net;

    Session& m_session;
    bool m_opened = false;  // what was loaded last is a saved network

    QLabel* Label1 = nullptr;
    QLabel* FileLabel = nullptr;
    ui::DriveList* Drive1 = nullptr;
    ui::FolderList* Dir1 = nullptr;
    ui::FileList* File1 = nullptr;
    QPushButton* NextPage = nullptr;
    std::array<QLabel*, 5> Label8{};
    std::array<QLineEdit*, 4> OutputText{};
    QLabel* TrainedInfo = nullptr;  // how an opened network was trained
    QPushButton* Command2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* TailNote = nullptr;  // what the loaded file holds after its last desired output
};

}  // namespace pages
