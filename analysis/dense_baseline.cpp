// Plain x86-64: whatever the compiler targets by default.
#include "analysis/dense_kernels.h"

#define DAM_EIGEN EigenBaseline
#define DAM_KERNELS baseline
#define DAM_KERNELS_NAME "x86-64"
#include "analysis/dense_body.inc"
