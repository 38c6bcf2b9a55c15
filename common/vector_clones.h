// Loops over the depths that dominate the cost of a model are compiled three times, for AVX-512,
// AVX2 and the baseline instruction set, and the processor picks one when the program starts
// (GCC and Clang target_clones, resolved by the dynamic loader: x86-64 Linux only; elsewhere the
// baseline alone is built). Every clone gives the same bits: additions, multiplications,
// divisions and square roots are correctly rounded in every instruction set, and
// -ffp-contract=off keeps them from being fused into multiply-adds.
//
// Code that picks its version itself (the register tiles of the line-strength maxima, so that a
// test can run every version the processor has) uses the same three instruction sets, asks
// widest_vector_set which of them the processor has, and compiles its wider versions only where
// ATMOTAB_X86_VECTORS is 1.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define ATMOTAB_X86_VECTORS 1
#define ATMOTAB_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define ATMOTAB_X86_VECTORS 0
#define ATMOTAB_VECTOR_CLONES
#endif

namespace atmotab {

// The instruction sets of the clones, narrowest first.
enum VectorSet : int { VECTORS_BASE = 0, VECTORS_AVX2 = 1, VECTORS_AVX512 = 2 };

// The widest of them that this processor runs.
inline VectorSet widest_vector_set() {
#if ATMOTAB_X86_VECTORS
  if (__builtin_cpu_supports("avx512f")) return VECTORS_AVX512;
  if (__builtin_cpu_supports("avx2")) return VECTORS_AVX2;
#endif
  return VECTORS_BASE;
}

}  // namespace atmotab
