// Loops over the depths that dominate the cost of a model are compiled three times, for AVX-512,
// AVX2 and the baseline instruction set (x86-64 Linux with GCC or Clang; elsewhere the baseline
// alone is built), and the run picks one: the widest the processor has, unless the run was told
// otherwise (Run::VECTORS; the program takes it from the environment variable ATMOTAB_VECTORS, so
// that a test can run every version the build makes). Every version gives the same bits:
// additions, multiplications, divisions and square roots are correctly rounded in every
// instruction set, and -ffp-contract=off keeps them from being fused into multiply-adds.
//
// A loop to be compiled so is a kernel marked ATMOTAB_KERNEL (inlined into each version) and
// called as vectorised<kernel>(run.VECTORS, arguments...). Code that writes its versions itself
// (the register tiles of the line-strength maxima) uses the same three sets and compiles its
// wider versions only where ATMOTAB_X86_VECTORS is 1.
#pragma once

#include <string_view>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define ATMOTAB_X86_VECTORS 1
#else
#define ATMOTAB_X86_VECTORS 0
#endif

// A kernel: inlined into the version of each instruction set that calls it.
#define ATMOTAB_KERNEL [[gnu::always_inline]] inline

namespace atmotab {

// The instruction sets of the versions, narrowest first.
enum VectorSet : int { VECTORS_BASE = 0, VECTORS_AVX2 = 1, VECTORS_AVX512 = 2 };

// The widest of them that this processor runs.
inline VectorSet widest_vector_set() {
#if ATMOTAB_X86_VECTORS
  if (__builtin_cpu_supports("avx512f")) return VECTORS_AVX512;
  if (__builtin_cpu_supports("avx2")) return VECTORS_AVX2;
#endif
  return VECTORS_BASE;
}

// The set named NAME ("base", "avx2", "avx512"); false for any other name.
inline bool vector_set_named(std::string_view name, VectorSet& set) {
  constexpr std::string_view NAMES[] = {"base", "avx2", "avx512"};
  for (int v = VECTORS_BASE; v <= VECTORS_AVX512; ++v)
    if (name == NAMES[v]) {
      set = static_cast<VectorSet>(v);
      return true;
    }
  return false;
}

namespace vector_versions {

// The versions of KERNEL, out of line (inlined into its caller, a version would take the
// caller's instruction set).
template <auto KERNEL, class... A>
[[gnu::noinline]] decltype(auto) base(A&&... a) {
  return KERNEL(std::forward<A>(a)...);
}
#if ATMOTAB_X86_VECTORS
template <auto KERNEL, class... A>
[[gnu::noinline, gnu::target("avx2")]] decltype(auto) avx2(A&&... a) {
  return KERNEL(std::forward<A>(a)...);
}
template <auto KERNEL, class... A>
[[gnu::noinline, gnu::target("avx512f")]] decltype(auto) avx512(A&&... a) {
  return KERNEL(std::forward<A>(a)...);
}
#endif

}  // namespace vector_versions

// KERNEL(A...) in the version of instruction set SET (which the processor must run; a set this
// build has no version of runs the widest narrower one).
template <auto KERNEL, class... A>
decltype(auto) vectorised(VectorSet set, A&&... a) {
#if ATMOTAB_X86_VECTORS
  if (set == VECTORS_AVX512) return vector_versions::avx512<KERNEL>(std::forward<A>(a)...);
  if (set == VECTORS_AVX2) return vector_versions::avx2<KERNEL>(std::forward<A>(a)...);
#endif
  (void)set;
  return vector_versions::base<KERNEL>(std::forward<A>(a)...);
}

}  // namespace atmotab
