#include "text/run_parts.h"

namespace text {

std::string RunPartsText(const std::vector<core::TrainedPart>& parts,
                         const NumberSeparators& separators, bool epochsWord) {
    std::string out;
    for (const core::TrainedPart& part : parts) {
        const bool first = out.empty();
        out += (first ? "" : ", then ") + std::string(core::RuleName(part.rule)) + " " +
               FormatGeneral(part.rate, separators) + " for " + FormatInteger(part.epochs);
        if (first && epochsWord) {
            out += part.epochs == 1 ? " epoch" : " epochs";
        }
    }
    return out;
}

}  // namespace text
