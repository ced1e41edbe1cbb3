#pragma once

// The steps every axis and unit ruler of the program labels by: 1, 2, 5, 10, 20, 50, ...

#include <algorithm>

namespace views {

// The least of 1, 2, 5, 10, 20, 50, ... for which `enough(step)` holds, or `limit` when none
// below `limit` does.
template <class Enough>
double LeastRoundStep(Enough enough, double limit) {
    for (double decade = 1.0;; decade *= 10.0) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const double step = factor * decade;
            if (step >= limit || enough(step)) {
                return std::min(step, limit);
            }
        }
    }
}

}  // namespace views
