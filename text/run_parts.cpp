#include "text/run_parts.h"

namespace text {

std::string RunPartsText(const std::vector<core::TrainedPart>& parts,
                         const NumberSeparators& separators) {
    std::string out;
    for (const core::TrainedPart& part : parts) {
        out += (out.empty() ? "" : ", then ") + std::string(core::RuleName(part.rule)) + " " +
               FormatGeneral(part.rate, separators) + " for " + FormatInteger(part.epochs);
    }
    return out;
}

}  // namespace text
