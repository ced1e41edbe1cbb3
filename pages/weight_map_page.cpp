#include "pages/weight_map_page.h"

#include <QLabel>
#include <QPushButton>

#include <array>
#include <new>

#include "pages/page_id.h"
#include "pages/print_heading.h"
#include "pages/weight_map_view.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/page_runtime.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 4> kGeometry{{
    {"Label1", {960, 240, 8655, 735}, ui::AnchorAcrossTop},
    {"WeightMap", {960, 1080, 8535, 6135}, ui::AnchorAll},
    {"PrintTheMap", {1440, 7560, 2292, 732}, ui::AnchorBottomLeft},
    {"CloseThisForm", {6960, 7560, 2292, 732}, ui::AnchorBottomRight},
}};

}  // namespace

WeightMapPage::WeightMapPage(ui::PageRuntime& runtime, const core::PublicStuff& net,
                             const Session& session, ui::Printer& printer)
    : ui::Page(runtime, PageId::WeightMap,
               QStringLiteral("Connection Weights -- Tavrel Neural Network Code"), 10620, 9195),
      m_net(net),
      m_session(session),
      m_printer(printer) {
    setFont(ui::PageFont("MS Sans Serif", 8));

    Label1 = ui::Named(
        new QLabel(QStringLiteral("Each cell is one connection: output units down the side, "
                                  "input units along the top. Red weights are positive, blue "
                                  "negative, white zero. Point at a cell to read its weight; "
                                  "where a cell stands for several connections it shows the "
                                  "largest of them."),
                   this),
        "Label1");
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);

    WeightMap = ui::Named(new WeightMapView(this), "WeightMap");

    PrintTheMap = ui::Named(new QPushButton(QStringLiteral("Print The Map"), this), "PrintTheMap");
    PrintTheMap->setFont(ui::PageFont("Arial", 12, ui::Bold));
    CloseThisForm =
        ui::Named(new QPushButton(QStringLiteral("Exit This Page"), this), "CloseThisForm");
    CloseThisForm->setFont(ui::PageFont("Arial", 12, ui::Bold));

    ui::ApplyGeometry(this, geometry());
    growWith(geometry());
    ui::DescribeControl(WeightMap, QStringLiteral("Map of the connection weights"),
                        QStringLiteral("One cell per connection: outputs down, inputs across; red "
                                       "positive, blue negative, white zero."));

    ui::CopyPictureOnCopyKeys(this, WeightMap);
    connect(PrintTheMap, &QPushButton::clicked, this, &WeightMapPage::PrintTheMap_Click);
    connect(CloseThisForm, &QPushButton::clicked, this, &WeightMapPage::CloseThisForm_Click);
    // The end of a training run, which has given the weights back: they have moved.
    connect(&runtime, &ui::PageRuntime::inputUnlocked, this, [this] {
        if (isVisible()) {
            redraw();
        }
    });
}

std::span<const ui::ControlPlace> WeightMapPage::geometry() {
    return kGeometry;
}

void WeightMapPage::Form_Activate() {
    redraw();
    // Said each time the page is chosen, as the weights may belong to another file by now.
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        refuse(untrained);
    }
}

void WeightMapPage::redraw() {
    const bool trained = core::NotTrainedProblem(m_net).empty();
    try {
        WeightMap->refresh(trained ? &m_net.Weights : nullptr);
    } catch (const std::bad_alloc&) {
        WeightMap->refresh(nullptr);
        runtime().dialogs().warn(
            this,
            QStringLiteral("The map could not be drawn: there is not enough memory. Close other "
                           "pages or programs and show the map again."));
    }
}

void WeightMapPage::refuse(const std::string& untrained) {
    runtime().dialogs().warn(this, QString::fromStdString(untrained));
}

void WeightMapPage::PrintTheMap_Click() {
    PrintPictureOfNetwork(WeightMap, m_net, m_session, QStringLiteral("weights"), m_printer,
                          runtime().dialogs(), this);
}

void WeightMapPage::CloseThisForm_Click() {
    runtime().Unload(PageId::WeightMap);
}

}  // namespace pages
