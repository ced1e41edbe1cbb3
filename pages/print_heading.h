#pragma once

// The one heading line of a printed graph or map: "tiny.net, Delta rule, rate 0.1, 100 epochs,
// 12/08/26 00:43:25", the date and time as the report writes them.

#include <QString>

#include "core/network_state.h"

namespace pages {

QString PrintHeading(const core::PublicStuff& net);

}  // namespace pages
