#pragma once

// The nearest desired outputs of many responses, found in blocks but decided exactly.
//
// Comparing every response with every desired output costs responses x targets x outputs
// operations one after another (a minute for 5000 test patterns of 2000 outputs). Here the
// squared distance |t|^2 - 2 r.t + |r|^2 is estimated for every pair from products formed in
// blocks, with a proven bound on how far the estimate can lie from the distance the plain
// loop computes; only the targets whose bound reaches the nearest one's are then compared
// by the plain loop's own arithmetic. The result is the plain loop's to the bit, ties
// included.

#include <atomic>
#include <vector>

#include "core/network_state.h"
#include "core/progress.h"
#include "views/recall_rule.h"

namespace experiments {

struct NearestTarget {
    double ownDistance = 0.0;  // views::SquaredDistance to the response's own desired output
    int nearest = 0;           // the lowest q (from 0) of the targets nearest the response
    bool recalled = false;     // by views::RecallTargets::recalled
};

// For response t (from 0; sums + t * stride, element 0 unused), the recall through `weights`
// of inputs + t * inputStride, against desired output t of `desired`: its own distance,
// its nearest target and whether it is recalled. `progress` (may be null) counts responses
// decided; returns false when a stop is requested through it. Throws std::bad_alloc.
bool FindNearestTargets(const core::ConnectionMatrix& weights, const double* inputs,
                        std::size_t inputStride, const double* sums, std::size_t stride,
                        const views::RecallTargets& desired, std::vector<NearestTarget>& out,
                        core::Progress* progress = nullptr);

}  // namespace experiments
