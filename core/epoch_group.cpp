#include "core/epoch_group.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// Vectors pass between always-inlined helpers only, never across builds for different
// instruction sets.
#pragma GCC diagnostic ignored "-Wpsabi"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 warns inside its own AVX-512 headers, whose unmasked shuffles and maxima start
// from a deliberately undefined vector.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Compiles the functions between BEGIN and END for one instruction set.
#if defined(__clang__)
#define DAM_AVX512_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx512f\"))), apply_to = function)")
#define DAM_AVX2_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define DAM_TARGET_END _Pragma("clang attribute pop")
#else
#define DAM_AVX512_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx512f\")")
#define DAM_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define DAM_TARGET_END _Pragma("GCC pop_options")
#endif

namespace core::epoch {

// AVX-512: one register per block. Written with intrinsics so that each factor of a pass
// is broadcast straight from memory, which keeps the shuffle port free for arithmetic.
DAM_AVX512_BEGIN
namespace avx512 {
struct Ops {
    using V = __m512d;
    static constexpr int Width = 8;
    static constexpr int SweepBlocks = GroupBlocks;
    static constexpr bool FetchAhead = false;
    [[gnu::always_inline]] static V zero() { return _mm512_setzero_pd(); }
    [[gnu::always_inline]] static V splat(const double* p) { return _mm512_set1_pd(*p); }
    [[gnu::always_inline]] static V load(const double* p) { return _mm512_load_pd(p); }
    [[gnu::always_inline]] static void store(double* p, V v) { _mm512_store_pd(p, v); }
    [[gnu::always_inline]] static V loadu(const double* p) { return _mm512_loadu_pd(p); }
    [[gnu::always_inline]] static void storeu(double* p, V v) { _mm512_storeu_pd(p, v); }
    [[gnu::always_inline]] static V add(V a, V b) { return _mm512_add_pd(a, b); }
    [[gnu::always_inline]] static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    [[gnu::always_inline]] static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    [[gnu::always_inline]] static bool allZero(V v) {
        return _mm512_cmp_pd_mask(v, _mm512_setzero_pd(), _CMP_NEQ_UQ) == 0;
    }
    [[gnu::always_inline]] static V largerMagnitudes(V a, V b) {
        return _mm512_max_pd(_mm512_abs_pd(a), _mm512_abs_pd(b));
    }
    [[gnu::always_inline]] static double largestMagnitude(V v) {
        V m = _mm512_abs_pd(v);
        m = _mm512_max_pd(m, _mm512_shuffle_f64x2(m, m, 0x4E));  // halves swapped
        m = _mm512_max_pd(m, _mm512_shuffle_f64x2(m, m, 0xB1));  // quarters swapped
        m = _mm512_max_pd(m, _mm512_permute_pd(m, 0x55));        // neighbours swapped
        return _mm512_cvtsd_f64(m);
    }
};
#include "core/epoch_group_body.inc"
}  // namespace avx512
DAM_TARGET_END

// AVX2: four lanes to a register, so a block is two registers and only one block's
// values fit the sixteen registers together (a Delta pass keeps an output factor and two
// sums per vector, a paired Hebb pass four values per vector, besides the broadcast
// factors): groups run one block at a time. Broadcasts come straight from memory.
DAM_AVX2_BEGIN
namespace avx2 {
struct Ops {
    using V = __m256d;
    static constexpr int Width = 4;
    static constexpr int SweepBlocks = 1;
    static constexpr bool FetchAhead = true;
    [[gnu::always_inline]] static V zero() { return _mm256_setzero_pd(); }
    [[gnu::always_inline]] static V splat(const double* p) { return _mm256_broadcast_sd(p); }
    [[gnu::always_inline]] static V load(const double* p) { return _mm256_load_pd(p); }
    [[gnu::always_inline]] static void store(double* p, V v) { _mm256_store_pd(p, v); }
    [[gnu::always_inline]] static V loadu(const double* p) { return _mm256_loadu_pd(p); }
    [[gnu::always_inline]] static void storeu(double* p, V v) { _mm256_storeu_pd(p, v); }
    [[gnu::always_inline]] static V add(V a, V b) { return _mm256_add_pd(a, b); }
    [[gnu::always_inline]] static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    [[gnu::always_inline]] static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    [[gnu::always_inline]] static bool allZero(V v) {
        return _mm256_movemask_pd(_mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_NEQ_UQ)) == 0;
    }
    [[gnu::always_inline]] static V abs(V v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    [[gnu::always_inline]] static V largerMagnitudes(V a, V b) {
        return _mm256_max_pd(abs(a), abs(b));
    }
    [[gnu::always_inline]] static double largestMagnitude(V v) {
        __m128d m = _mm_max_pd(_mm256_castpd256_pd128(abs(v)), _mm256_extractf128_pd(abs(v), 1));
        m = _mm_max_pd(m, _mm_unpackhi_pd(m, m));
        return _mm_cvtsd_f64(m);
    }
};
#include "core/epoch_group_body.inc"
}  // namespace avx2
DAM_TARGET_END

// Other processors: the compiler's generic vectors, split into the widest registers the
// target has.
namespace baseline {
struct Ops {
    typedef double V __attribute__((vector_size(Lanes * sizeof(double))));
    static constexpr int Width = Lanes;
    static constexpr int SweepBlocks = GroupBlocks;
    static constexpr bool FetchAhead = false;
    static V zero() { return V{}; }
    static V splat(const double* p) { return *p - V{}; }
    static V load(const double* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(double* p, V v) { std::memcpy(p, &v, sizeof v); }
    static V loadu(const double* p) { return load(p); }
    static void storeu(double* p, V v) { store(p, v); }
    static V add(V a, V b) { return a + b; }
    static V sub(V a, V b) { return a - b; }
    static V mul(V a, V b) { return a * b; }
    static bool allZero(V v) {
        bool zero = true;
        for (int k = 0; k < Lanes; ++k) {
            zero = zero && v[k] == 0.0;
        }
        return zero;
    }
    static V largerMagnitudes(V a, V b) {
        V m;
        for (int k = 0; k < Lanes; ++k) {
            m[k] = std::max(std::abs(a[k]), std::abs(b[k]));
        }
        return m;
    }
    static double largestMagnitude(V v) {
        double largest = 0.0;
        for (int k = 0; k < Lanes; ++k) {
            largest = std::max(largest, std::abs(v[k]));
        }
        return largest;
    }
};

#include "core/epoch_group_body.inc"
}  // namespace baseline

const Kernels& KernelsFor(CpuPath path) {
    // Each table is built only where its instruction set runs: the function that builds
    // it is compiled for that set too, and may use its instructions.
    switch (path) {
        case CpuPath::Avx512: {
            static const Kernels avx512Table = avx512::table("AVX-512");
            return avx512Table;
        }
        case CpuPath::Avx2: {
            static const Kernels avx2Table = avx2::table("AVX2");
            return avx2Table;
        }
        case CpuPath::Baseline:
            break;
    }
    static const Kernels baselineTable = baseline::table("x86-64");
    return baselineTable;
}

std::vector<const Kernels*> SupportedKernels() {
    std::vector<const Kernels*> supported;
    for (const CpuPath path : CpuPaths()) {
        supported.push_back(&KernelsFor(path));
    }
    return supported;
}

const Kernels& ChosenKernels() {
    return KernelsFor(ChosenCpuPath());
}

}  // namespace core::epoch
