#include "views/slider_position.h"

#include <algorithm>
#include <cmath>

#include "text/number_text.h"

namespace views {

std::optional<int> SliderPositionFor(std::string_view text, const text::NumberSeparators& seps,
                                     int minimum, int maximum) {
    const text::ParsedNumber n = text::ParseNumber(text, seps);
    if (n.error != text::NumberTextError::None || std::isnan(n.value)) {
        return std::nullopt;
    }
    // Clamped before the conversion: a huge rate must not overflow an int.
    const double position = std::clamp(std::nearbyint(n.value * 100.0),
                                       static_cast<double>(minimum), static_cast<double>(maximum));
    return static_cast<int>(position);
}

}  // namespace views
