#include "experiments/recall_batch.h"

#include <algorithm>

#include "core/cpu_path.h"

namespace experiments {

namespace {

constexpr int Lanes = core::ConnectionMatrix::Lanes;
constexpr int Group = 4;

// Four doubles side by side: a register of AVX2, two of plain x86-64. GCC's vector type
// keeps the sums in registers, which a plain array of lanes did not.
using Quad = double __attribute__((vector_size(32)));

// The vectors x[0..N) through block w: lanes[g][k] = sum over inputs of w(k, i) * x_g[i],
// each (product + sum) as the plain loop forms it.
template <int N>
[[gnu::always_inline]] inline void recallGroup(const core::ConnectionMatrix::Block* w, int inputs,
                                               const double* const* x,
                                               double (&lanes)[Group][Lanes]) {
    // Unrolled, so that the sums stay in registers (eight of the sixteen of AVX2).
    Quad acc[N][2] = {};
    for (int i = 1; i <= inputs; ++i) {
        Quad lo;
        Quad hi;
        __builtin_memcpy(&lo, w[i - 1].lane, sizeof lo);
        __builtin_memcpy(&hi, w[i - 1].lane + 4, sizeof hi);
#pragma GCC unroll 4
        for (int g = 0; g < N; ++g) {
            const double a = x[g][i];
            acc[g][0] = (lo * a) + acc[g][0];
            acc[g][1] = (hi * a) + acc[g][1];
        }
    }
#pragma GCC unroll 4
    for (int g = 0; g < N; ++g) {
        __builtin_memcpy(lanes[g], &acc[g][0], sizeof(Quad));
        __builtin_memcpy(lanes[g] + 4, &acc[g][1], sizeof(Quad));
    }
}

// Inlined into one build per instruction set below.
[[gnu::always_inline]] inline void recallAll(const core::ConnectionMatrix& weights,
                                             const VectorSet& x, double* sums,
                                             std::size_t sumStride) {
    const int inputs = weights.inputs();
    const int outputs = weights.outputs();
    for (int b = 0; b < weights.blocks(); ++b) {
        const core::ConnectionMatrix::Block* w = weights.block(b);
        const int firstOutput = b * Lanes + 1;
        const int n = std::min(Lanes, outputs - firstOutput + 1);
        for (int q = 0; q < x.count; q += Group) {
            const int count = std::min(Group, x.count - q);
            const double* v[Group] = {};
            for (int g = 0; g < count; ++g) {
                v[g] = x.data + static_cast<std::size_t>(q + g) * x.stride;
            }
            double lanes[Group][Lanes];
            switch (count) {
                case 4:
                    recallGroup<4>(w, inputs, v, lanes);
                    break;
                case 3:
                    recallGroup<3>(w, inputs, v, lanes);
                    break;
                case 2:
                    recallGroup<2>(w, inputs, v, lanes);
                    break;
                default:
                    recallGroup<1>(w, inputs, v, lanes);
                    break;
            }
            for (int g = 0; g < count; ++g) {
                std::copy_n(lanes[g], n,
                            sums + static_cast<std::size_t>(q + g) * sumStride + firstOutput);
            }
        }
    }
}

// Built for AVX2 and for plain x86-64: the same operations in the same order either way
// (no fused multiply-add), only wider registers. AVX-512 processors take the AVX2 build.
[[gnu::target("avx2")]] void recallAvx2(const core::ConnectionMatrix& weights, const VectorSet& x,
                                        double* sums, std::size_t sumStride) {
    recallAll(weights, x, sums, sumStride);
}

void recallBaseline(const core::ConnectionMatrix& weights, const VectorSet& x, double* sums,
                    std::size_t sumStride) {
    recallAll(weights, x, sums, sumStride);
}

}  // namespace

void RecallVectors(const core::ConnectionMatrix& weights, const VectorSet& x, double* sums,
                   std::size_t sumStride, core::CpuPath path) {
    if (path == core::CpuPath::Baseline) {
        recallBaseline(weights, x, sums, sumStride);
    } else {
        recallAvx2(weights, x, sums, sumStride);
    }
}

void RecallVectors(const core::ConnectionMatrix& weights, const VectorSet& x, double* sums,
                   std::size_t sumStride) {
    RecallVectors(weights, x, sums, sumStride, core::ChosenCpuPath());
}

}  // namespace experiments
