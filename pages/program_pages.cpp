#include "pages/program_pages.h"

#include <QApplication>

#include "pages/analysis_page.h"
#include "pages/degradation_page.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/network_save.h"
#include "pages/probe_page.h"
#include "pages/save_page.h"
#include "pages/setup_page.h"
#include "pages/start_page.h"
#include "pages/weight_map_page.h"

namespace pages {

void registerProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net) {
    runtime.setLeaveCheck([&runtime, &net] {
        return MayLeave(QApplication::activeWindow(), runtime.dialogs(), net);
    });
    runtime.registerPage(ui::PageId::Start,
                         [&net](ui::PageRuntime& r) { return new StartPage(r, net); });
    runtime.registerPage(ui::PageId::Setup,
                         [&net](ui::PageRuntime& r) { return new pages::SetupPage(r, net); });
    runtime.registerPage(ui::PageId::Menu,
                         [&net](ui::PageRuntime& r) { return new MenuPage(r, net); });
    runtime.registerPage(ui::PageId::Save,
                         [&net](ui::PageRuntime& r) { return new pages::SavePage(r, net); });
    runtime.registerPage(ui::PageId::Probe, [&net](ui::PageRuntime& r) {
        return new ProbePage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Graph, [&net](ui::PageRuntime& r) {
        return new GraphPage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Analysis, [&net](ui::PageRuntime& r) {
        return new AnalysisPage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::WeightMap, [&net](ui::PageRuntime& r) {
        return new WeightMapPage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Degradation, [&net](ui::PageRuntime& r) {
        return new DegradationPage(r, net, ui::systemPrinter());
    });
}

}  // namespace pages
