#include "core/epoch_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

// The vector helpers below are always inlined, so their argument passing never crosses
// between the builds for different instruction sets.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace core {

namespace {

constexpr int L = ConnectionMatrix::Lanes;
using Block = ConnectionMatrix::Block;
typedef double V8 __attribute__((vector_size(L * sizeof(double))));

// Blocks handled together in one pass: their sums are independent chains, which keeps
// the floating-point units busy while each chain waits for its previous addition.
constexpr int Group = 4;

inline V8 load(const double* p) {
    V8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store(double* p, V8 v) {
    std::memcpy(p, &v, sizeof v);
}

// One pattern's pass over G blocks of n inputs. For every input i and lane k:
//   w = w + c[i] * out[k]          (the learning step, when Learn)
//   a[k] = (w * x[i]) + a[k]       (the recall after the step)
//   b[k] = (w * xn[i]) + b[k]      (the recall of the next pattern, when Next)
// a and b start at zero. The sums live in registers; the loops over g unroll fully.
template <int G, bool Learn, bool Next>
[[gnu::always_inline]] inline void passBody(Block* w, int n, const double* c, const double* x,
                                            const double* xn, const double* out, double* a,
                                            double* b) {
    V8 o[G];
    V8 sa[G];
    V8 sb[G];
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) {
        o[g] = load(out + g * L);
        sa[g] = V8{};
        sb[g] = V8{};
    }
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        [[maybe_unused]] const double ci = Learn ? c[i] : 0.0;
        [[maybe_unused]] const double xni = Next ? xn[i] : 0.0;
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) {
            Block& block = w[static_cast<std::ptrdiff_t>(g) * n + i];
            V8 wi = load(block.lane);
            if constexpr (Learn) {
                wi = wi + ci * o[g];
                store(block.lane, wi);
            }
            sa[g] = (wi * xi) + sa[g];
            if constexpr (Next) {
                sb[g] = (wi * xni) + sb[g];
            }
        }
    }
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) {
        store(a + g * L, sa[g]);
        if constexpr (Next) {
            store(b + g * L, sb[g]);
        }
    }
}

using PassFunction = void (*)(Block*, int, const double*, const double*, const double*,
                              const double*, double*, double*);

// Each variant is compiled for AVX-512, AVX2 and plain x86-64, picked when the program
// starts; none fuses a multiply with an add, so all give the same bits.
#define DAM_PASS(name, G, Learn, Next)                                                          \
    [[gnu::target_clones("avx512f", "avx2", "default")]] void name(                             \
        Block* w, int n, const double* c, const double* x, const double* xn, const double* out, \
        double* a, double* b) {                                                                 \
        passBody<G, Learn, Next>(w, n, c, x, xn, out, a, b);                                    \
    }
DAM_PASS(deltaGroup, Group, true, true)
DAM_PASS(deltaOne, 1, true, true)
DAM_PASS(hebbGroup, Group, true, false)
DAM_PASS(hebbOne, 1, true, false)
DAM_PASS(recallGroup, Group, false, false)
DAM_PASS(recallOne, 1, false, false)
#undef DAM_PASS

// Runs `count` blocks (at most Group) through one pass; c null means recall only, xn null
// means no recall of a next pattern.
void pass(int count, Block* w, int n, const double* c, const double* x, const double* xn,
          const double* out, double* a, double* b) {
    const PassFunction group = c == nullptr ? recallGroup : xn == nullptr ? hebbGroup : deltaGroup;
    const PassFunction one = c == nullptr ? recallOne : xn == nullptr ? hebbOne : deltaOne;
    if (count == Group) {
        group(w, n, c, x, xn, out, a, b);
    } else {
        for (int g = 0; g < count; ++g) {
            one(w + static_cast<std::ptrdiff_t>(g) * n, n, c, x, xn, out + g * L, a + g * L,
                b == nullptr ? nullptr : b + g * L);
        }
    }
}

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

}  // namespace

EpochKernel::EpochKernel(int threads)
    : m_threads(threads > 0 ? threads
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {}

void EpochKernel::prepare(const PublicStuff& net) {
    const int n = net.NumInputs;
    const int m = net.NumOutputs;
    const int patterns = net.NumPatterns;
    const bool resized = n != m_inputs || m != m_outputs || patterns != m_patterns;
    if (resized) {
        m_changeInput.assign(ui(patterns) * ui(n), 0.0);
        m_snapshot.assign(ui(net.Weights.blocks()) * ui(n), Block{});
        m_patternSSE.assign(ui(patterns) + 1, 0.0);
        const std::size_t padded = ui(net.Weights.blocks()) * L;
        m_nextNet.assign(padded, 0.0);
        m_newNextNet.assign(padded, 0.0);
        m_lastNet.assign(padded, 0.0);
        m_lastError.assign(padded, 0.0);
        m_lastOutput.assign(padded, 0.0);
        // Errors of every pattern and output, for folding in order after parallel blocks;
        // large problems with many patterns run on one thread instead.
        const std::size_t errors = ui(patterns) * padded;
        m_errors.clear();
        if (m_threads > 1 && errors <= (std::size_t{64} << 20) / sizeof(double)) {
            m_errors.assign(errors, 0.0);
        }
        m_nextNetValid = false;
    }
    if (resized || net.LearningRate != m_rate ||
        std::signbit(net.LearningRate) != std::signbit(m_rate)) {
        // LearningRate * input activation, as every step computes it.
        for (int p = 1; p <= patterns; ++p) {
            const double* x = net.InputPatterns.pattern(p);
            double* c = m_changeInput.data() + ui(p - 1) * ui(n);
            for (int i = 1; i <= n; ++i) {
                c[i - 1] = net.LearningRate * x[i];
            }
        }
        m_rate = net.LearningRate;
    }
    m_inputs = n;
    m_outputs = m;
    m_patterns = patterns;
}

// Runs blocks [firstBlock, endBlock) through every pattern. With `fold` the squared
// errors go straight into m_patternSSE (blocks in increasing order keep the order of the
// sum); otherwise the errors are stored for folding later. Returns false when any value
// was not finite.
bool EpochKernel::runBlocks(PublicStuff& net, bool hebb, int firstBlock, int endBlock, bool fold) {
    const int n = net.NumInputs;
    const int m = net.NumOutputs;
    const int patterns = net.NumPatterns;
    const std::size_t padded = m_nextNet.size();
    ConnectionMatrix& weights = net.Weights;
    // Stays zero while every sum is finite: x - x is NaN for an infinity or a NaN.
    V8 trouble{};

    for (int b0 = firstBlock; b0 < endBlock; b0 += Group) {
        const int count = std::min(Group, endBlock - b0);
        // The group's blocks lie one after another: block b0 + g starts g * n entries on.
        Block* blocks = weights.block(b0);
        std::copy_n(blocks, static_cast<std::size_t>(count) * ui(n),
                    m_snapshot.data() + ui(b0) * ui(n));
        const std::size_t lane0 = ui(b0) * L;
        const int firstOutput = b0 * L + 1;
        const int lanes = std::min(count * L, m - firstOutput + 1);  // real outputs here

        alignas(64) double desired[Group * L];
        alignas(64) double output[Group * L];
        alignas(64) double sumAfter[Group * L];
        alignas(64) double sumNext[Group * L];
        if (!hebb) {
            if (m_nextNetValid) {
                std::copy_n(m_nextNet.data() + lane0, count * L, sumNext);
            } else {
                pass(count, blocks, n, nullptr, net.InputPatterns.pattern(1) + 1, nullptr, sumNext,
                     sumNext, nullptr);
            }
        }
        for (int p = 1; p <= patterns; ++p) {
            std::fill_n(desired, Group * L, 0.0);
            std::copy_n(net.DesiredOutputs.pattern(p) + firstOutput, lanes, desired);
            if (hebb) {
                std::copy_n(desired, Group * L, output);
            } else {
                for (int k = 0; k < count * L; ++k) {
                    output[k] = desired[k] - sumNext[k];
                }
            }
            const double* x = net.InputPatterns.pattern(p) + 1;
            const double* xn = hebb ? nullptr : net.InputPatterns.pattern(p % patterns + 1) + 1;
            pass(count, blocks, n, m_changeInput.data() + ui(p - 1) * ui(n), x, xn, output,
                 sumAfter, sumNext);

            double* errors = fold ? nullptr : m_errors.data() + ui(p - 1) * padded + lane0;
            double sse = m_patternSSE[ui(p)];
            for (int k = 0; k < count * L; ++k) {
                const double e = desired[k] - sumAfter[k];
                trouble[k % L] +=
                    (sumAfter[k] - sumAfter[k]) + (e - e) + (hebb ? 0.0 : sumNext[k] - sumNext[k]);
                if (k < lanes) {
                    if (fold) {
                        sse = sse + e * e;
                    } else {
                        errors[k] = e;
                    }
                }
                if (p == patterns) {
                    m_lastNet[lane0 + ui(k)] = sumAfter[k];
                    m_lastError[lane0 + ui(k)] = e;
                    m_lastOutput[lane0 + ui(k)] = output[k];
                }
            }
            if (fold) {
                m_patternSSE[ui(p)] = sse;
            }
        }
        if (!hebb) {
            std::copy_n(sumNext, count * L, m_newNextNet.data() + lane0);
        }
    }
    for (int k = 0; k < L; ++k) {
        if (trouble[k] != 0.0) {
            return false;
        }
    }
    return true;
}

ArithStatus EpochKernel::trainEpoch(PublicStuff& net, bool hebb) {
    if (!net.NetworkMatchesProblem()) {
        return ArithStatus::BadArguments;
    }
    prepare(net);
    const int blocks = net.Weights.blocks();
    std::fill(m_patternSSE.begin(), m_patternSSE.end(), 0.0);

    // Threads pay off only for big epochs, and need room to keep every error.
    const double work = static_cast<double>(net.NumInputs) * net.NumOutputs * net.NumPatterns;
    const int threads = m_errors.empty() || work < double(1 << 22)
                            ? 1
                            : std::min(m_threads, (blocks + Group - 1) / Group);
    bool finite = true;
    if (threads == 1) {
        finite = runBlocks(net, hebb, 0, blocks, true);
    } else {
        // Contiguous ranges of whole groups; each thread writes only its own blocks.
        const int groups = (blocks + Group - 1) / Group;
        std::vector<char> ok(ui(threads), 1);
        {
            std::vector<std::jthread> workers;
            for (int t = 0; t < threads; ++t) {
                const int first = std::min(blocks, groups * t / threads * Group);
                const int end = std::min(blocks, groups * (t + 1) / threads * Group);
                workers.emplace_back([this, &net, hebb, first, end, &ok, t] {
                    ok[ui(t)] = runBlocks(net, hebb, first, end, false) ? 1 : 0;
                });
            }
        }
        finite = std::all_of(ok.begin(), ok.end(), [](char v) { return v != 0; });
        if (finite) {
            const std::size_t padded = m_nextNet.size();
            for (int p = 1; p <= net.NumPatterns; ++p) {
                const double* e = m_errors.data() + ui(p - 1) * padded;
                double sse = 0.0;
                for (int j = 0; j < net.NumOutputs; ++j) {
                    sse = sse + e[j] * e[j];
                }
                m_patternSSE[ui(p)] = sse;
            }
        }
    }

    double total = 0.0;
    for (int p = 1; finite && p <= net.NumPatterns; ++p) {
        total = total + m_patternSSE[ui(p)];
        finite = std::isfinite(total);
    }
    if (!finite) {
        for (int b = 0; b < blocks; ++b) {
            std::copy_n(m_snapshot.data() + ui(b) * ui(net.NumInputs), net.NumInputs,
                        net.Weights.block(b));
        }
        return ArithStatus::Overflow;
    }

    // Commit what the plain steps would have left: the last pattern's activations, its
    // recall, and the Change factors of its learning step.
    const int last = net.NumPatterns;
    const double* x = net.InputPatterns.pattern(last);
    for (int i = 1; i <= net.NumInputs; ++i) {
        net.InputUnits[ui(i)].Activation = x[i];
    }
    for (int j = 1; j <= net.NumOutputs; ++j) {
        UnitRecord& unit = net.OutputUnits[ui(j)];
        unit.NetInput = m_lastNet[ui(j - 1)];
        unit.Activation = unit.NetInput;
        unit.Error = m_lastError[ui(j - 1)];
    }
    // Change factors: element 0 first, as the matrix keeps them.
    double* changeOutput = m_lastOutput.data();
    std::vector<double>& in = net.Work.changeInput;
    const double* c = m_changeInput.data() + ui(last - 1) * ui(net.NumInputs);
    in[0] = 0.0;
    std::copy_n(c, net.NumInputs, in.begin() + 1);
    std::vector<double>& out = net.Work.netInput;  // scratch of the right size
    out[0] = 0.0;
    std::copy_n(changeOutput, net.NumOutputs, out.begin() + 1);
    net.Weights.setChangeFactors(in.data(), out.data());
    net.Weights.forgetBound();
    if (!hebb) {
        m_nextNet.swap(m_newNextNet);
        m_nextNetValid = true;
    }
    net.TotalSSE = total;
    return ArithStatus::Ok;
}

}  // namespace core
