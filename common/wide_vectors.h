// ATMOTAB_WIDE_VECTORS before the definition of a function whose depth loops vectorise builds it
// twice, for processors with AVX2 (four doubles per vector instruction instead of two) and for the
// x86-64 baseline; the dynamic loader picks one at start-up (GCC and Clang target_clones). Both
// versions give the same bits: the loops are element by element IEEE operations, and the build
// never contracts a product and a sum into one fused operation (-ffp-contract=off).
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define ATMOTAB_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define ATMOTAB_WIDE_VECTORS
#endif
