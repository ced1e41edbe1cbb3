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

void registerProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session) {
    runtime.setLeaveCheck([&runtime, &net, &session] {
        return MayLeave(QApplication::activeWindow(), runtime.dialogs(), net, session);
    });
    runtime.registerPage(ui::PageId::Start, [&net, &session](ui::PageRuntime& r) {
        return new StartPage(r, net, session);
    });
    runtime.registerPage(ui::PageId::Setup, [&net, &session](ui::PageRuntime& r) {
        return new pages::SetupPage(r, net, session);
    });
    runtime.registerPage(ui::PageId::Menu, [&net, &session](ui::PageRuntime& r) {
        return new MenuPage(r, net, session);
    });
    runtime.registerPage(ui::PageId::Save, [&net, &session](ui::PageRuntime& r) {
        return new pages::SavePage(r, net, session);
    });
    runtime.registerPage(ui::PageId::Probe, [&net, &session](ui::PageRuntime& r) {
        return new ProbePage(r, net, session, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Graph, [&net, &session](ui::PageRuntime& r) {
        return new GraphPage(r, net, session, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Analysis, [&net, &session](ui::PageRuntime& r) {
        return new AnalysisPage(r, net, session, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::WeightMap, [&net, &session](ui::PageRuntime& r) {
        return new WeightMapPage(r, net, session, ui::systemPrinter());
    });
    runtime.registerPage(ui::PageId::Degradation, [&net, &session](ui::PageRuntime& r) {
        return new DegradationPage(r, net, session, ui::systemPrinter());
    });
}

}  // namespace pages
