#pragma once

// This program's pages by name, and its title. The page runtime (ui/) keys pages by an
// opaque ui::PageKey; adding a page means a name here and a registration in
// program_pages.cpp.

#include "ui/page.h"

namespace pages {

// The title of the program, and of message boxes that have no title of their own.
inline constexpr const char* ProgramTitle = "Distributed Associative Memory";

struct PageId {
    static constexpr ui::PageKey Start{0};        // choose and load a training file
    static constexpr ui::PageKey Setup{1};        // the training parameters and the run
    static constexpr ui::PageKey Menu{2};         // what to do after training
    static constexpr ui::PageKey Probe{3};        // recall single patterns
    static constexpr ui::PageKey Save{4};         // the text report
    static constexpr ui::PageKey Graph{5};        // the SSE history
    static constexpr ui::PageKey Analysis{6};     // what each rule will do
    static constexpr ui::PageKey WeightMap{7};    // the connection weights
    static constexpr ui::PageKey Degradation{8};  // how recall degrades
};

}  // namespace pages
