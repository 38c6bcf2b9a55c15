// Fixed-size arrays indexed from 1, column-major (first index fastest), so that formulas read as
// X(j) and X(j,k) and a routine can fill consecutive columns X(1,k), X(1,k+1), ... through a
// pointer to X(1,k).
#pragma once

#include <array>
#include <cassert>
#include <cstddef>

#ifdef ATMOTAB_BOUNDS_CHECK
#include <cstdio>
#include <cstdlib>
#define ATMOTAB_CHECK_INDEX(i, n)                                                    \
  do {                                                                               \
    if ((i) < 1 || (i) > (n)) {                                                      \
      std::fprintf(stderr, "index %d outside 1..%d at %s:%d\n", static_cast<int>(i), \
                   static_cast<int>(n), __FILE__, __LINE__);                         \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)
#else
#define ATMOTAB_CHECK_INDEX(i, n) ((void)0)
#endif

namespace atmotab {

template <class T, int N1, int N2 = 1, int N3 = 1>
class Arr {
 public:
  static constexpr int SIZE = N1 * N2 * N3;
  static constexpr int DIM1 = N1, DIM2 = N2, DIM3 = N3;

  constexpr Arr() : v_{} {}  // all elements zero (value-initialised)

  T& operator()(int i) {
    ATMOTAB_CHECK_INDEX(i, SIZE);
    return v_[i - 1];
  }
  const T& operator()(int i) const {
    ATMOTAB_CHECK_INDEX(i, SIZE);
    return v_[i - 1];
  }
  T& operator()(int i, int j) {
    ATMOTAB_CHECK_INDEX(i, N1);
    ATMOTAB_CHECK_INDEX(j, N2 * N3);
    return v_[(i - 1) + N1 * (j - 1)];
  }
  const T& operator()(int i, int j) const {
    ATMOTAB_CHECK_INDEX(i, N1);
    ATMOTAB_CHECK_INDEX(j, N2 * N3);
    return v_[(i - 1) + N1 * (j - 1)];
  }
  T& operator()(int i, int j, int k) {
    ATMOTAB_CHECK_INDEX(i, N1);
    ATMOTAB_CHECK_INDEX(j, N2);
    ATMOTAB_CHECK_INDEX(k, N3);
    return v_[(i - 1) + N1 * ((j - 1) + N2 * (k - 1))];
  }
  const T& operator()(int i, int j, int k) const {
    ATMOTAB_CHECK_INDEX(i, N1);
    ATMOTAB_CHECK_INDEX(j, N2);
    ATMOTAB_CHECK_INDEX(k, N3);
    return v_[(i - 1) + N1 * ((j - 1) + N2 * (k - 1))];
  }

  T* data() { return v_.data(); }
  const T* data() const { return v_.data(); }
  static constexpr int size() { return SIZE; }
  void fill(const T& x) { v_.fill(x); }
  auto begin() { return v_.begin(); }
  auto end() { return v_.end(); }
  auto begin() const { return v_.begin(); }
  auto end() const { return v_.end(); }

 private:
  std::array<T, static_cast<std::size_t>(SIZE)> v_;
};

// Single-precision constant widened to double: sp(0.911f) is the value a single-precision constant
// 0.911 carries into double-precision arithmetic.
constexpr double sp(float x) { return static_cast<double>(x); }

}  // namespace atmotab
