#include "experiments/nearest_targets.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

#include "core/worker_pool.h"
#include "experiments/recall_batch.h"

namespace experiments {

namespace {

// The unit roundoff of double precision.
constexpr double kUnit = std::numeric_limits<double>::epsilon() / 2;
// Covers what results below the normal range may lose, many times over.
constexpr double kTiny = 1e-300;
// Responses per block of products.
constexpr int kChunk = 64;
// Below this many multiply-adds of products one thread is quicker than waking another.
constexpr double kThreadedWork = 1e8;

// Calls work(first, count) for the chunks of [0, n), on every thread of `pool` (null: on
// the caller alone), each chunk once. `work` must not throw.
void forChunks(core::WorkerPool* pool, int n, int chunk,
               const std::function<void(int thread, int first, int count)>& work) {
    std::atomic<int> next{0};
    auto share = [&](int thread) {
        for (int first = next.fetch_add(chunk); first < n; first = next.fetch_add(chunk)) {
            work(thread, first, std::min(chunk, n - first));
        }
    };
    if (pool == nullptr) {
        share(0);
    } else {
        pool->run(share);
    }
}

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

// v[1]^2 + ... + v[n]^2, summed from 1 up.
double squares(const double* v, int n) {
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) {
        sum = sum + v[j] * v[j];
    }
    return sum;
}

// What the search knows of the targets: per distinct target its squared length and the
// features whose products with a response's features estimate r.t.
//
// The bound. Let T, R be the squared lengths of target t and response r as `squares`
// gives them, P the estimate of r.t and E a bound on |P - r.t|, r.t summed exactly. The
// estimate A = (T - 2P) + R lies within 2E + (2m + 4)u(T + R + 2|P|) of the distance the
// plain loop computes (m outputs, u the unit roundoff: T and R are within (m)u, the plain
// loop within (m + 2)u of the exact values, and two roundings form A); the slack used is
// twice that. E is found per side:
// - from the responses (P = r.t summed over outputs): |P - r.t| <= (m)u |r| |t|;
// - from the inputs, r = W x (P = x.(W't), summed over inputs): the response's own
//   rounding, W't's and the final sum's give at most (2n + m)u |t| |W| |x|, |W| the
//   Frobenius norm (Cauchy-Schwarz row by row).
// Any value that is not finite leaves the response to the plain loop.
class Estimates {
  public:
    Estimates(const core::ConnectionMatrix& weights, const views::RecallTargets& desired,
              core::WorkerPool* pool)
        : m_outputs(weights.outputs()),
          m_inputs(weights.inputs()),
          m_viaInputs(weights.inputs() < weights.outputs()),
          m_features(static_cast<int>(desired.distinct().size()),
                     m_viaInputs ? m_inputs : m_outputs) {
        const std::vector<int>& distinct = desired.distinct();
        const int targets = static_cast<int>(distinct.size());
        m_lengths.resize(ui(targets));
        for (int k = 0; k < targets; ++k) {
            const double length = squares(desired.vector(distinct[ui(k)]), m_outputs);
            m_lengths[ui(k)] = {length, std::sqrt(length)};
        }
        if (!m_viaInputs) {
            for (int k = 0; k < targets; ++k) {
                const double* t = desired.vector(distinct[ui(k)]);
                for (int j = 1; j <= m_outputs; ++j) {
                    m_features.setWeight(k + 1, j, t[j]);
                }
            }
            m_scale = (2.0 * m_outputs + 8.0) * kUnit * 1.01;
            return;
        }
        // W't of every desired output, as the recall through the transposed weights.
        core::ConnectionMatrix transposed(m_inputs, m_outputs);
        double frobenius = 0.0;
        for (int j = 1; j <= m_outputs; ++j) {
            for (int i = 1; i <= m_inputs; ++i) {
                const double w = weights.Weight(j, i);
                transposed.setWeight(i, j, w);
                frobenius = frobenius + w * w;
            }
        }
        // In chunks, so that each chunk's desired outputs stay in cache while every block of
        // the transposed weights passes over them.
        const auto stride = ui(m_inputs) + 1;
        std::vector<double> projected(ui(desired.count()) * stride);
        forChunks(pool, desired.count(), 16, [&](int, int first, int count) {
            RecallVectors(transposed, {desired.vector(first), desired.stride(), count},
                          projected.data() + ui(first) * stride, stride);
        });
        for (int k = 0; k < targets; ++k) {
            const double* g = projected.data() + ui(distinct[ui(k)]) * stride;
            for (int i = 1; i <= m_inputs; ++i) {
                m_features.setWeight(k + 1, i, g[i]);
            }
        }
        m_scale = (4.0 * m_inputs + 2.0 * m_outputs + 16.0) * kUnit * 1.01 * std::sqrt(frobenius);
    }

    bool viaInputs() const { return m_viaInputs; }
    const core::ConnectionMatrix& features() const { return m_features; }

    // Bounds on the plain loop's distance from response r to every distinct target, from
    // the products `p` (element k + 1 for target k), r's inputs `x`. False when a bound is
    // not finite.
    bool bound(const double* r, const double* x, const double* p, std::vector<double>& low,
               std::vector<double>& high) const {
        const double rr = squares(r, m_outputs);
        const double error = m_scale * std::sqrt(m_viaInputs ? squares(x, m_inputs) * 1.01 : rr);
        const double slack = (4.0 * m_outputs + 16.0) * kUnit;
        bool finite = std::isfinite(rr) && std::isfinite(error);
        for (std::size_t k = 0; k < m_lengths.size(); ++k) {
            const auto [tt, length] = m_lengths[k];
            const double pk = p[k + 1];
            const double estimate = (tt - 2.0 * pk) + rr;
            const double s = 2.0 * error * length + slack * (tt + rr + 2.0 * std::abs(pk)) + kTiny;
            low[k] = estimate - s;
            high[k] = estimate + s;
            finite = finite && std::isfinite(low[k]) && std::isfinite(high[k]);
        }
        return finite;
    }

  private:
    struct Length {
        double squared;
        double root;
    };
    int m_outputs;
    int m_inputs;
    bool m_viaInputs;
    core::ConnectionMatrix m_features;  // row k + 1: distinct target k's features
    std::vector<Length> m_lengths;
    double m_scale = 0.0;  // E = m_scale * (|x| or |r|) * |t|
};

// The plain loop over every desired output, for a response whose bounds are not finite.
NearestTarget plainNearest(const double* r, int own, const views::RecallTargets& desired,
                           int outputs) {
    NearestTarget out;
    out.ownDistance = views::SquaredDistance(r, desired.vector(own), outputs);
    double best = std::numeric_limits<double>::infinity();
    bool found = false;
    for (int q = 0; q < desired.count(); ++q) {
        const double d = views::SquaredDistance(r, desired.vector(q), outputs);
        if (!found || d < best) {
            out.nearest = q;
            best = d;
            found = true;
        }
    }
    out.recalled = desired.recalled(r, own, out.ownDistance);
    return out;
}

// The same result from the bounds: only targets whose low bound reaches the least high
// bound can be nearest, and only those whose low bound reaches the own distance can be
// as near as the own target.
NearestTarget boundedNearest(const double* r, int own, const views::RecallTargets& desired,
                             int outputs, const std::vector<double>& low,
                             const std::vector<double>& high, std::vector<double>& exact) {
    const std::vector<int>& distinct = desired.distinct();
    NearestTarget out;
    out.ownDistance = views::SquaredDistance(r, desired.vector(own), outputs);
    const double reach = *std::min_element(high.begin(), high.end());
    double best = std::numeric_limits<double>::infinity();
    bool found = false;
    std::fill(exact.begin(), exact.end(), -1.0);
    for (std::size_t k = 0; k < distinct.size(); ++k) {
        if (low[k] <= reach) {
            exact[k] = views::SquaredDistance(r, desired.vector(distinct[k]), outputs);
            if (!found || exact[k] < best) {
                out.nearest = distinct[k];
                best = exact[k];
                found = true;
            }
        }
    }
    const int ownTarget = desired.target(own);
    out.recalled = out.ownDistance <= std::numeric_limits<double>::max();
    for (std::size_t k = 0; k < distinct.size() && out.recalled; ++k) {
        if (distinct[k] != ownTarget && low[k] <= out.ownDistance) {
            const double d = exact[k] >= 0.0
                                 ? exact[k]
                                 : views::SquaredDistance(r, desired.vector(distinct[k]), outputs);
            out.recalled = d > out.ownDistance;
        }
    }
    return out;
}

}  // namespace

bool FindNearestTargets(const core::ConnectionMatrix& weights, const double* inputs,
                        std::size_t inputStride, const double* sums, std::size_t stride,
                        const views::RecallTargets& desired, std::vector<NearestTarget>& out,
                        core::Progress* progress) {
    const int count = desired.count();
    const int outputs = weights.outputs();
    out.assign(ui(count), {});
    if (progress != nullptr) {
        progress->setDone(0);
        progress->setTotal(count);
    }
    if (count == 0) {
        return true;
    }
    const auto targets = desired.distinct().size();
    const double work = static_cast<double>(count) * static_cast<double>(targets) *
                        std::min(weights.inputs(), weights.outputs());
    std::unique_ptr<core::WorkerPool> pool;
    if (work >= kThreadedWork && std::thread::hardware_concurrency() > 1) {
        pool = std::make_unique<core::WorkerPool>(2);
    }
    const Estimates estimates(weights, desired, pool.get());
    // Per thread: products of a chunk, bounds and exact distances of one response.
    struct Scratch {
        std::vector<double> products;
        std::vector<double> low;
        std::vector<double> high;
        std::vector<double> exact;
    };
    std::vector<Scratch> scratch(pool ? ui(pool->size()) : 1);
    for (Scratch& s : scratch) {
        s.products.resize(ui(kChunk) * (targets + 1));
        s.low.resize(targets);
        s.high.resize(targets);
        s.exact.resize(targets);
    }
    std::atomic<bool> cancelled{false};
    forChunks(pool.get(), count, kChunk, [&](int thread, int first, int chunk) {
        if (core::StopRequested(progress)) {
            cancelled.store(true);
            return;
        }
        Scratch& s = scratch[ui(thread)];
        const VectorSet features =
            estimates.viaInputs() ? VectorSet{inputs + ui(first) * inputStride, inputStride, chunk}
                                  : VectorSet{sums + ui(first) * stride, stride, chunk};
        RecallVectors(estimates.features(), features, s.products.data(), targets + 1);
        for (int t = first; t < first + chunk; ++t) {
            const double* r = sums + ui(t) * stride;
            const double* x = inputs + ui(t) * inputStride;
            const double* p = s.products.data() + ui(t - first) * (targets + 1);
            out[ui(t)] = estimates.bound(r, x, p, s.low, s.high)
                             ? boundedNearest(r, t, desired, outputs, s.low, s.high, s.exact)
                             : plainNearest(r, t, desired, outputs);
        }
        if (progress != nullptr) {
            progress->addDone(chunk);
        }
    });
    return !cancelled.load();
}

}  // namespace experiments
