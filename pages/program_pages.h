#pragma once

// Registers every page of the program with the runtime, all working on `net` and `session`.

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/page_runtime.h"

namespace pages {

void RegisterProgramPages(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session);

}  // namespace pages
