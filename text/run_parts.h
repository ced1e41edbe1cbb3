#pragma once

// The parts of a run in words, one format wherever a run is named: "Delta 0.1 for 200,
// then Hebb 0.1 for 100".

#include <string>
#include <vector>

#include "core/run_record.h"
#include "text/number_format.h"

namespace text {

// Each part's rule, rate (as FormatGeneral writes it with `separators`) and epochs, joined
// by ", then "; "" for no parts. With `epochsWord` the first count says "epochs" (or
// "epoch"): "Delta 0.1 for 100 epochs, then Hebb 0.1 for 50", where no total precedes it.
std::string RunPartsText(const std::vector<core::TrainedPart>& parts,
                         const NumberSeparators& separators = {}, bool epochsWord = false);

}  // namespace text
