#include "experiments/degradation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>
#include <random>
#include <thread>

#include "core/worker_pool.h"
#include "experiments/recall_batch.h"
#include "views/pattern_noise.h"
#include "views/recall_rule.h"

namespace experiments {

namespace {

std::size_t uz(long long k) {
    return static_cast<std::size_t>(k);
}

// Totals of one trial at one point: SSE over all patterns, patterns recalled.
struct TrialPoint {
    double sse = 0.0;
    int recalled = 0;
};

// A uniform draw from [0, n) that every machine makes alike (no library distribution).
std::uint64_t drawBelow(std::mt19937_64& rng, std::uint64_t n) {
    const std::uint64_t threshold = (0 - n) % n;  // 2^64 mod n: the biased low values
    for (;;) {
        const std::uint64_t r = rng();
        if (r >= threshold) {
            return r % n;
        }
    }
}

// One thread's working arrays, made once.
struct Scratch {
    std::vector<double> inputs;  // the damaged patterns, NumInputs + 1 each
    std::vector<double> sums;    // the responses, NumOutputs + 1 each
    core::ConnectionMatrix weights;
    std::vector<std::uint32_t> order;  // connections in the order they are lost
};

class Degradation {
  public:
    Degradation(const core::Problem& net, const core::ConnectionMatrix& weights, std::uint64_t seed,
                int trials, core::Progress* progress)
        : m_net(net),
          m_weights(weights),
          m_seed(seed),
          m_trials(trials),
          m_progress(progress),
          m_kind(views::ClassifyInputs(net.InputPatterns)),
          m_desired(net.DesiredOutputs.pattern(1), net.DesiredOutputs.stride(), net.NumPatterns,
                    net.NumOutputs),
          m_stored{net.InputPatterns.pattern(1), net.InputPatterns.stride(), net.NumPatterns},
          m_points(uz(2LL * trials * DegradationPoints)) {}

    // Trial work item w: curve w % 2 (0 noise, 1 lost connections) of trial w / 2.
    int items() const { return 2 * m_trials; }

    // False when a value overflowed.
    bool runItem(int item, Scratch& scratch) {
        const int trial = item / 2;
        const std::uint64_t trialSeed = m_seed + static_cast<std::uint64_t>(trial);
        TrialPoint* out = &m_points[uz(static_cast<long long>(item) * DegradationPoints)];
        return item % 2 == 0 ? noiseTrial(trialSeed, scratch, out)
                             : lostTrial(trialSeed, scratch, out);
    }

    bool cancelled() const { return core::StopRequested(m_progress); }

    DegradationCurves curves() const {
        DegradationCurves result;
        result.seed = m_seed;
        result.trials = m_trials;
        for (int curve = 0; curve < 2; ++curve) {
            auto& points = curve == 0 ? result.noise : result.lostConnections;
            for (int k = 0; k < DegradationPoints; ++k) {
                double sse = 0.0;
                double recalled = 0.0;
                for (int t = 0; t < m_trials; ++t) {
                    const TrialPoint& p = m_points[uz((2LL * t + curve) * DegradationPoints + k)];
                    sse += p.sse / m_net.NumPatterns;
                    recalled += 100.0 * p.recalled / m_net.NumPatterns;
                }
                points.push_back({k * DegradationStep, sse / m_trials, recalled / m_trials});
            }
        }
        return result;
    }

    void prepare(Scratch& scratch) const {
        scratch.sums.assign(uz(m_net.NumPatterns) * uz(m_net.NumOutputs + 1LL), 0.0);
        scratch.inputs.assign(uz(m_net.NumPatterns) * uz(m_net.NumInputs + 1LL), 0.0);
    }

  private:
    // Recalls x into the scratch sums and scores every pattern against its own desired
    // output. False when a value is not finite.
    bool score(const core::ConnectionMatrix& weights, const VectorSet& x, Scratch& scratch,
               TrialPoint& out) const {
        const int outputs = m_net.NumOutputs;
        const auto stride = uz(outputs + 1LL);
        RecallVectors(weights, x, scratch.sums.data(), stride);
        out = {};
        for (int q = 0; q < x.count; ++q) {
            const double* r = scratch.sums.data() + uz(q) * stride;
            const double own = views::SquaredDistance(r, m_desired.vector(q), outputs);
            if (!(own <= std::numeric_limits<double>::max())) {
                return false;
            }
            out.sse += own;
            out.recalled += m_desired.recalled(r, q, own) ? 1 : 0;
        }
        if (m_progress != nullptr) {
            m_progress->addDone(1);
        }
        return out.sse <= std::numeric_limits<double>::max();
    }

    bool noiseTrial(std::uint64_t trialSeed, Scratch& scratch, TrialPoint* out) const {
        const auto stride = uz(m_net.NumInputs + 1LL);
        const VectorSet damaged{scratch.inputs.data(), stride, m_net.NumPatterns};
        for (int k = 0; k < DegradationPoints && !cancelled(); ++k) {
            for (int p = 1; p <= m_net.NumPatterns; ++p) {
                const std::vector<double> x = views::DamagePattern(
                    m_net.InputPatterns, p, m_kind, k * DegradationStep, PatternSeed(trialSeed, p));
                std::copy(x.begin(), x.end(), scratch.inputs.data() + uz(p - 1LL) * stride);
            }
            if (!score(m_weights, damaged, scratch, out[k])) {
                return false;
            }
        }
        return true;
    }

    bool lostTrial(std::uint64_t trialSeed, Scratch& scratch, TrialPoint* out) const {
        const int inputs = m_net.NumInputs;
        const long long connections = static_cast<long long>(inputs) * m_net.NumOutputs;
        scratch.weights = m_weights;
        scratch.order.resize(uz(connections));
        std::iota(scratch.order.begin(), scratch.order.end(), 0U);
        std::mt19937_64 rng(trialSeed);
        for (long long c = connections - 1; c > 0; --c) {
            const auto other = drawBelow(rng, static_cast<std::uint64_t>(c) + 1);
            std::swap(scratch.order[uz(c)], scratch.order[other]);
        }
        long long lost = 0;
        for (int k = 0; k < DegradationPoints && !cancelled(); ++k) {
            const long long target =
                (static_cast<long long>(k) * DegradationStep * connections + 50) / 100;
            for (; lost < target; ++lost) {
                const std::uint32_t c = scratch.order[uz(lost)];
                const auto j = static_cast<int>(c / static_cast<std::uint32_t>(inputs));
                const auto i = static_cast<int>(c % static_cast<std::uint32_t>(inputs));
                scratch.weights.block(j / core::ConnectionMatrix::Lanes)[i]
                    .lane[j % core::ConnectionMatrix::Lanes] = 0.0;
            }
            if (!score(scratch.weights, m_stored, scratch, out[k])) {
                return false;
            }
        }
        return true;
    }

    const core::Problem& m_net;
    const core::ConnectionMatrix& m_weights;
    std::uint64_t m_seed;
    int m_trials;
    core::Progress* m_progress;
    views::InputKind m_kind;
    views::RecallTargets m_desired;
    VectorSet m_stored;
    std::vector<TrialPoint> m_points;  // item by item, point by point
};

DegradationResult failed(std::string message) {
    DegradationResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::uint64_t PatternSeed(std::uint64_t trialSeed, int p) {
    return trialSeed * 65536U + static_cast<std::uint64_t>(p);
}

DegradationResult ComputeDegradation(const core::Problem& problem,
                                     const core::ConnectionMatrix& weights, std::uint64_t seed,
                                     int trials, int threads, core::Progress* progress) {
    if (!core::WeightsFit(problem, weights) || trials < 1) {
        return failed("There is no trained network with stored patterns to recall.");
    }
    if (progress != nullptr) {
        progress->setDone(0);
        progress->setTotal(2LL * trials * DegradationPoints);
    }
    if (threads <= 0) {
        threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    }
    try {
        Degradation work(problem, weights, seed, trials, progress);
        threads = std::min(threads, work.items());
        std::vector<Scratch> scratch(uz(threads));
        for (Scratch& s : scratch) {
            work.prepare(s);
        }
        std::atomic<int> next{0};
        std::atomic<bool> overflow{false};
        std::atomic<bool> outOfMemory{false};
        core::WorkerPool pool(threads);
        pool.run([&](int t) {
            for (int item = next++; item < work.items() && !overflow && !outOfMemory;
                 item = next++) {
                if (work.cancelled()) {
                    return;
                }
                try {
                    if (!work.runItem(item, scratch[uz(t)])) {
                        overflow = true;
                    }
                } catch (const std::bad_alloc&) {
                    outOfMemory = true;
                }
            }
        });
        if (overflow) {
            return failed(
                "Recall went beyond the range of double precision (overflow); train "
                "with a smaller rate or scale the file down.");
        }
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        DegradationResult result;
        result.status = work.cancelled() ? core::WorkEnd::Cancelled : core::WorkEnd::Done;
        if (result.status == core::WorkEnd::Done) {
            result.curves = work.curves();
        }
        return result;
    } catch (const std::bad_alloc&) {
        return failed(
            "There is not enough memory to recall every pattern at once; close other "
            "programs and try again.");
    }
}

}  // namespace experiments
