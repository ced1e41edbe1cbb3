// Compiled with -mavx2 but not -mfma: no fused multiply-adds, as everywhere in the
// program. Called only where the processor has AVX2.
#include "analysis/dense_kernels.h"

#define DAM_EIGEN EigenAvx2
#define DAM_KERNELS avx2
#define DAM_KERNELS_NAME "AVX2"
#include "analysis/dense_body.inc"
