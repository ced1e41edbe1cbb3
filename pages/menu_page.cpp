#include "pages/menu_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <array>
#include <optional>

#include "pages/network_save.h"
#include "pages/page_id.h"
#include "pages/spreadsheet_export.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/page_runtime.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 7> kGeometry{{
    {"Label5", {2742, 120, 5520, 1092}},
    // Grown downward from its first three items so that all eight show above Line1.
    {"TestList", {2556, 1320, 5892, 2720}},
    {"Label4", {2742, 4200, 5520, 732}},
    {"ContinueList", {2556, 5160, 5892, 1200}},
    {"Label1", {5082, 6720, 840, 492}},
    {"Command2", {4527, 7560, 1950, 615}},
    {"Label3", {0, 8520, 3132, 732}},
}};

constexpr LinePoints kLine1{240, 4080, 10680, 4080};

// The items of TestList, top to bottom: each opens an examining page, or (without a page)
// creates the spreadsheet or saves the network.
struct TestItem {
    const char* caption;
    std::optional<ui::PageKey> page;
};
const std::array<TestItem, 8> kTestItems{{
    {"Probe Network Responses To Selected Patterns", PageId::Probe},
    {"Save Summary As A Text File", PageId::Save},
    {"Plot SSE By Sweeps", PageId::Graph},
    {"Create A Spreadsheet Of The Results", std::nullopt},
    {"Examine The Training Patterns", PageId::Analysis},
    {"Show The Connection Weights", PageId::WeightMap},
    {"Save The Trained Network", std::nullopt},
    {"Show How Recall Degrades", PageId::Degradation},
}};

constexpr int kSpreadsheetItem = 3;

// A list box whose double-click event fires wherever in the list the user double-clicks,
// after the list has handled the clicks, so the handler sees the selection they made.
class ListBox final : public QListWidget {
    Q_OBJECT
  public:
    using QListWidget::QListWidget;

  signals:
    void dblClick();

  protected:
    // Enter chooses the item with the focus, as a double-click does, even when the arrow
    // keys only moved the focus and selected nothing.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (selectedItems().isEmpty() && currentItem() != nullptr) {
                currentItem()->setSelected(true);
            }
            emit dblClick();
            return;
        }
        QListWidget::keyPressEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QListWidget::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton) {
            emit dblClick();
        }
    }
};

// Bold like every caption of the menu: the page font is.
QLabel* centredLabel(QWidget* page, const char* name, const char* caption) {
    QLabel* label = ui::Named(new QLabel(QString::fromLatin1(caption), page), name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// -1 when the list has no selected item.
int selectedIndex(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.front());
}

}  // namespace

MenuPage::MenuPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session)
    : ui::Page(runtime, PageId::Menu,
               QStringLiteral(
                   "Testing The Distributed Associative Memory -- Tavrel Neural Network Code"),
               10995, 9345),
      m_net(net),
      m_session(session) {
    setFont(ui::PageFont("Arial", 12, ui::Bold));

    // Created from top to bottom, which is also the tab order.
    Label5 = centredLabel(this, "Label5",
                          "Choose A Method For Examining Network Performance By "
                          "Double-Clicking One Of The List Items Below:");
    auto* testList = ui::Named(new ListBox(this), "TestList");
    for (const TestItem& item : kTestItems) {
        testList->addItem(QString::fromLatin1(item.caption));
    }
    TestList = testList;

    Line1 = ui::Named(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setGeometry(QRect(QPoint(ui::TwipsToPixels(kLine1.x1), ui::TwipsToPixels(kLine1.y1)),
                             QPoint(ui::TwipsToPixels(kLine1.x2), ui::TwipsToPixels(kLine1.y2))));

    Label4 = centredLabel(this, "Label4",
                          "Choose A Method For Continuing Training By Double-Clicking One Of "
                          "The List Items Below:");
    auto* continueList = ui::Named(new ListBox(this), "ContinueList");
    continueList->addItems({QStringLiteral("Reset Weights And Train Again"),
                            QStringLiteral("Keep Current Weights And Continue Training"),
                            QStringLiteral("Train A New Network On A New Problem")});
    ContinueList = continueList;

    Label1 = centredLabel(this, "Label1", "Or....");
    Command2 = ui::Named(new QPushButton(QStringLiteral("Exit Program"), this), "Command2");
    Command2->setFont(ui::PageFont("Arial", 12, ui::Bold | ui::Italic));
    Label3 =
        ui::Named(new QLabel(QStringLiteral("Double-click an item to choose it."), this), "Label3");
    Label3->setFont(ui::PageFont("Arial", 8));
    Label3->setWordWrap(true);

    ui::ApplyGeometry(this, geometry());

    const QString listUse =
        QStringLiteral("Double-click an item, or press Enter on it, to choose it.");
    ui::NameAfterLabel(TestList, Label5, listUse);
    ui::NameAfterLabel(ContinueList, Label4, listUse);

    // The focus starts on the first item of each list, without selecting it, so that Down
    // moves from there.
    for (QListWidget* list : {TestList, ContinueList}) {
        list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    }

    connect(testList, &ListBox::dblClick, this, &MenuPage::TestList_DblClick);
    connect(continueList, &ListBox::dblClick, this, &MenuPage::ContinueList_DblClick);
    connect(Command2, &QPushButton::clicked, this, &MenuPage::Command2_Click);
}

std::span<const ui::ControlPlace> MenuPage::geometry() {
    return kGeometry;
}

LinePoints MenuPage::line1() {
    return kLine1;
}

void MenuPage::TestList_DblClick() {
    const int index = selectedIndex(TestList);
    if (index < 0) {
        reportNoSelection();
        return;
    }
    // The menu stays open beneath the page it opens.
    const TestItem& item = kTestItems.at(static_cast<std::size_t>(index));
    if (item.page) {
        showPage(*item.page);
    } else {
        std::string saved;
        const bool done =
            index == kSpreadsheetItem
                ? CreateSpreadsheet(this, runtime().dialogs(), m_net, m_session, &saved)
                : SaveTrainedNetwork(this, runtime().dialogs(), m_net, m_session, &saved);
        if (done) {
            showSaved(saved);
        }
    }
}

void MenuPage::showSaved(const std::string& path) {
    const QFileInfo saved(QFile::decodeName(QByteArray::fromStdString(path)));
    Label3->setText(QStringLiteral("Saved %1 in %2.")
                        .arg(saved.fileName(), QDir::toNativeSeparators(saved.absolutePath())));
    Label3->setToolTip(QDir::toNativeSeparators(saved.absoluteFilePath()));
}

void MenuPage::ContinueList_DblClick() {
    const int item = selectedIndex(ContinueList);
    if (item < 0) {
        reportNoSelection();
        return;
    }
    // The flag comes first: the setup page reads it while it loads.
    ui::PageKey next = PageId::Setup;
    switch (item) {
        case 0:
            if (!MayDropTraining(this, runtime().dialogs(), m_net, m_session,
                                 QStringLiteral("resetting the weights"))) {
                return;
            }
            m_net.FreshStart = 1;
            break;
        case 1:
            m_net.FreshStart = 0;
            break;
        default:
            // The start page sets FreshStart itself when the user goes on from there.
            next = PageId::Start;
            break;
    }
    if (showPage(next)) {
        runtime().Unload(PageId::Menu);
    }
}

void MenuPage::Command2_Click() {
    // Only the menu closes; examining pages still open keep the program running.
    runtime().Unload(PageId::Menu);
}

bool MenuPage::showPage(ui::PageKey id) {
    if (runtime().Show(id) != nullptr) {
        return true;
    }
    runtime().dialogs().warn(this,
                             QStringLiteral("This part of the program is not available yet."));
    return false;
}

void MenuPage::reportNoSelection() {
    runtime().dialogs().messageBox(this,
                                   QStringLiteral("No method for continuing has been selected!"),
                                   ProgramTitle, ui::Buttons::Ok, ui::Icon::None, ui::Answer::Ok);
}

}  // namespace pages

#include "menu_page.moc"
