#include "pages/program_pages.h"

#include "pages/analysis_page.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/probe_page.h"
#include "pages/start_page.h"
#include "pages/weight_map_page.h"
#include "report/save_page.h"
#include "training/setup_page.h"

namespace pages {

void registerProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net) {
    runtime.registerPage(ui::PageId::Network1,
                         [&net](ui::PageRuntime& r) { return new StartPage(r, net); });
    runtime.registerPage(ui::PageId::DistMem,
                         [&net](ui::PageRuntime& r) { return new training::SetupPage(r, net); });
    runtime.registerPage(ui::PageId::TestDAM,
                         [&net](ui::PageRuntime& r) { return new MenuPage(r, net); });
    runtime.registerPage(ui::PageId::SaveResults,
                         [&net](ui::PageRuntime& r) { return new report::SavePage(r, net); });
    runtime.registerPage(ui::PageId::ProbeNetwork, [&net](ui::PageRuntime& r) {
        return new ProbePage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::PlotSSEdata, [&net](ui::PageRuntime& r) {
        return new GraphPage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::ExaminePatterns, [&net](ui::PageRuntime& r) {
        return new AnalysisPage(r, net, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::ConnectionWeights, [&net](ui::PageRuntime& r) {
        return new WeightMapPage(r, net, ui::systemPrinter());
    });
}

}  // namespace pages
