#include "pages/program_pages.h"

#include <QApplication>

#include "pages/analysis_page.h"
#include "pages/degradation_page.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/network_save.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/save_page.h"
#include "pages/setup_page.h"
#include "pages/start_page.h"
#include "pages/weight_map_page.h"

namespace pages {

void RegisterProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session) {
    runtime.setLeaveCheck([&runtime, &net, &session] {
        return MayLeave(QApplication::activeWindow(), runtime.dialogs(), net, session);
    });
    runtime.registerPage(PageId::Start, [&net, &session](ui::PageRuntime& r) {
        return new StartPage(r, net, session);
    });
    runtime.registerPage(PageId::Setup, [&net, &session](ui::PageRuntime& r) {
        return new pages::SetupPage(r, net, session);
    });
    runtime.registerPage(PageId::Menu, [&net, &session](ui::PageRuntime& r) {
        return new MenuPage(r, net, session);
    });
    runtime.registerPage(PageId::Save, [&net, &session](ui::PageRuntime& r) {
        return new pages::SavePage(r, net, session);
    });
    runtime.registerPage(PageId::Probe, [&net, &session](ui::PageRuntime& r) {
        return new ProbePage(r, net, session, ui::TheSystemPrinter());
    });
    runtime.registerPage(PageId::Graph, [&net, &session](ui::PageRuntime& r) {
        return new GraphPage(r, net, session, ui::TheSystemPrinter());
    });
    runtime.registerPage(PageId::Analysis, [&net, &session](ui::PageRuntime& r) {
        return new AnalysisPage(r, net, session, ui::TheSystemPrinter());
    });
    runtime.registerPage(PageId::WeightMap, [&net, &session](ui::PageRuntime& r) {
        return new WeightMapPage(r, net, session, ui::TheSystemPrinter());
    });
    runtime.registerPage(PageId::Degradation, [&net, &session](ui::PageRuntime& r) {
        return new DegradationPage(r, net, session, ui::TheSystemPrinter());
    });
}

}  // namespace pages
