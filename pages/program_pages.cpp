#include "pages/program_pages.h"

#include "pages/menu_page.h"
#include "pages/start_page.h"
#include "training/setup_page.h"

namespace pages {

void registerProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net) {
    runtime.registerPage(ui::PageId::Network1,
                         [&net](ui::PageRuntime& r) { return new StartPage(r, net); });
    runtime.registerPage(ui::PageId::DistMem,
                         [&net](ui::PageRuntime& r) { return new training::SetupPage(r, net); });
    runtime.registerPage(ui::PageId::TestDAM,
                         [&net](ui::PageRuntime& r) { return new MenuPage(r, net); });
}

}  // namespace pages
