#pragma once

// The parts of a run in words, one format wherever a run is named: "Delta 0.1 for 200,
// then Hebb 0.1 for 100".

#include <string>
#include <vector>

#include "core/run_record.h"
#include "text/number_format.h"

namespace text {

// Each part's rule, rate (as FormatGeneral writes it with `separators`) and epochs, joined
// by ", then "; "" for no parts.
std::string RunPartsText(const std::vector<core::TrainedPart>& parts,
                         const NumberSeparators& separators = {});

}  // namespace text
