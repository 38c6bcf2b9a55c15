// The line-strength indicator must round exactly as four successive divisions rounded to single
// precision, including candidates that sit on a single-precision rounding boundary, and its
// maximum over the depths must be the largest of those singles.
#include "driver/line_strength.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "driver/line_strength_cache.h"

namespace atmotab {
namespace {

float chain(double a, double nu, double rho, double cmin, double norm) {
  return static_cast<float>(a / nu / rho / cmin / norm);
}

bool same_bits(float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; }

struct Divisors {
  double nu, rho, cmin, norm;
};

// Compares line_strengths with the chain for every candidate; returns the number of mismatches.
int mismatches(const std::vector<double>& a, const Divisors& d) {
  std::vector<float> v(a.size());
  line_strengths(a.data(), static_cast<int>(a.size()), d.nu, d.rho, d.cmin, d.norm, v.data());
  int bad = 0;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (!same_bits(v[k], chain(a[k], d.nu, d.rho, d.cmin, d.norm))) {
      if (++bad <= 5)
        ADD_FAILURE() << "a = " << a[k] << " nu = " << d.nu << " rho = " << d.rho
                      << " cmin = " << d.cmin << ": " << v[k] << " against "
                      << chain(a[k], d.nu, d.rho, d.cmin, d.norm);
    }
  return bad;
}

TEST(line_strength, random_candidates_round_as_the_chain) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> u(0, 1);
  auto logu = [&](double lo, double hi) { return std::pow(10.0, lo + (hi - lo) * u(rng)); };
  const double norm = static_cast<double>(0.001f);
  for (int trial = 0; trial < 200; ++trial) {
    const Divisors d{logu(11, 17), logu(-12, -4), logu(-6, 6), norm};
    std::vector<double> a(2000);
    for (double& x : a) x = logu(-90, 40);
    EXPECT_EQ(mismatches(a, d), 0);
  }
}

TEST(line_strength, candidates_on_single_precision_rounding_boundaries) {
  // For targets half-way between two singles (and just beside them) pick A so that the chain lands
  // there; the fast product and the chain then disagree unless the boundary check works.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  const double norm = static_cast<double>(0.001f);
  int near = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const Divisors d{2.99792458e17 / (100 + 2000 * u(rng)), 1e-7 * (1 + u(rng)),
                     std::pow(10.0, 4 * u(rng) - 2), norm};
    std::vector<double> a;
    for (int k = 0; k < 50; ++k) {
      const float f = static_cast<float>(std::pow(10.0, 60 * u(rng) - 30));
      const double mid =
          (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2 * f))) / 2;
      const double a0 = mid * d.nu * d.rho * d.cmin * d.norm;
      double x = a0;
      for (int s = 0; s < 12; ++s) x = std::nextafter(x, 0.0);
      for (int s = 0; s < 25; ++s, x = std::nextafter(x, 2 * a0)) a.push_back(x);
    }
    near += static_cast<int>(a.size());
    EXPECT_EQ(mismatches(a, d), 0);
  }
  EXPECT_GT(near, 0);
}

TEST(line_strength, zeros_extremes_and_unusual_divisors) {
  const double norm = static_cast<double>(0.001f);
  const std::vector<double> a = {0.0,
                                 -0.0,
                                 5e-324,
                                 1e-310,
                                 1e-200,
                                 1e-45,
                                 1e-40,
                                 1e-38,
                                 1.0,
                                 3e38,
                                 1e250,
                                 1e300,
                                 1.7976931348623157e308};
  const Divisors cases[] = {
      {1e15, 1e-7, 1.0, norm},       // ordinary
      {1e15, 1e-300, 1e-300, norm},  // product of the divisors underflows: the chain throughout
      {1e15, 1e200, 1e200, norm},    // product overflows
      {3e11, 1e-20, 1e-10, norm},    // large growth after the first division
      {1e16, 1e-3, 1e12, norm},
      // Divisors and their product all normal, yet an intermediate quotient of the chain leaves
      // the normal range while the result does not: A/NU/RHO overflows for the largest A although
      // the quotient is about 1e11 ...
      {1e6, 5e-7, 1e300, norm},
      // ... and A/NU/RHO falls among the subnormals (losing digits) for the smallest A while the
      // quotient is a normal single.
      {1e15, 0x1p170 * 1.91, 0x1p-950 * 1.37, 0x1p-10},
  };
  for (const Divisors& d : cases) EXPECT_EQ(mismatches(a, d), 0) << d.rho << " " << d.cmin;
  // Candidates whose chain passes through subnormal intermediates: A/NU/RHO = 2^-1060 r, a value
  // with only 14 significant bits, divided by CMIN NORM = 1.37 2^-960 gives a normal single.
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(1, 2);
  const Divisors d{1e15, 0x1p170 * 1.91, 0x1p-950 * 1.37, 0x1p-10};
  std::vector<double> low(1000);
  for (double& x : low) x = u(rng) * (d.nu * d.rho) * 0x1p-1060;
  EXPECT_EQ(mismatches(low, d), 0);
}

// The tile search against a plain loop over the depths, for the baseline and (where the processor
// has them) the AVX2 and AVX-512 versions: products of zeros, negatives, NaN and infinity,
// reciprocals of 0, and the strides of the slot and interval tables.
TEST(line_strength, tile_search_keeps_the_largest_product_on_every_processor) {
  constexpr int LDA = LineStrengthRec::LS_SLOTS, LDR = LineStrengthRec::LS_INTERVALS, TILE = 8;
  constexpr int NJ = 37, NM = 2 * LS_BLOCK;
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> a(LDA * NJ), r(LDR * NJ);
  for (double& x : a) x = std::pow(10.0, 30 * u(rng));
  for (double& x : r) x = std::pow(10.0, 30 * u(rng));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (int j = 0; j < NJ; ++j) {
    a[1 + LDA * j] = -a[1 + LDA * j];  // all negative: the maximum stays +0
    a[2 + LDA * j] = j == 5 ? nan : a[2 + LDA * j];
    a[3 + LDA * j] = j == 7 ? inf : a[3 + LDA * j];
    a[4 + LDA * j] = j % 2 == 0 ? 0.0 : -0.0;
    a[5 + LDA * j] = 0.75;                          // ties over every depth of an interval
    a[6 + LDA * j] = j % 3 == 0 ? 0x1p-3 : 0x1p-4;  // ties between the largest
    r[3 + LDR * j] = 0;                      // interval 3 takes no products: NaN at A = inf, else 0
    r[5 + LDR * j] = 0x1p-40 * (1 + j % 4);  // exact products with repeated maxima
  }
  std::vector<double> expected(TILE * NM);
  for (int m = 0; m < NM; ++m)
    for (int ii = 0; ii < TILE; ++ii) {
      double best = 0;
      for (int j = 0; j < NJ; ++j) {
        const double p = a[ii + LDA * j] * r[m + LDR * j];
        if (p > best) best = p;
      }
      expected[ii + TILE * m] = best;
    }
  const char* names[] = {"baseline", "AVX2", "AVX-512"};
  for (int version = VECTORS_BASE; version <= widest_vector_set(); ++version) {
    std::vector<double> y(TILE * NM, -1.0);
    line_strength_tile(a.data(), r.data(), NJ, NM, y.data(), static_cast<VectorSet>(version));
    EXPECT_EQ(std::memcmp(y.data(), expected.data(), y.size() * sizeof(double)), 0)
        << names[version];
    EXPECT_TRUE(std::isinf(y[3 + TILE * 0]) && y[2 + TILE * 0] > 0 && !std::signbit(y[1]));
  }
}

// A whole set of maxima through begin, update and end: 23 depths, 13 intervals, 21 populated slots
// (tiles of 8 slots and 4 intervals do not divide them), depths and intervals whose smallest
// opacity is 0 or NaN-bearing, and slots whose largest candidate lies within a few units in the
// last place of a single-precision rounding boundary. Every maximum must be the largest of the
// singles of the chain of divisions over the depths.
TEST(line_strength, maxima_over_depths_are_the_largest_singles_of_the_chain) {
  std::ostringstream listing;
  auto run = make_run(listing);
  TablesRec& TB = run->TABLES;
  constexpr int NRHOX = 23, NINT = 13, NSLOT = 21;
  const double norm = static_cast<double>(0.001f);
  run->RHOX.NRHOX = NRHOX;
  run->FRESET.NUMNU = 3 * NINT;
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> u(0, 1);
  for (int i = 1; i <= 3 * NINT; ++i) run->EDGE.FREQSET(i) = 3e15 / (1 + 0.1 * i);
  for (int j = 1; j <= NRHOX; ++j) {
    run->STATE.RHO(j) = 1e-8 * (1 + u(rng));
    for (int i = 1; i <= 3 * NINT; ++i) TB.CONTINALL(i, j) = -3 + 5 * u(rng);
  }
  TB.CONTINALL(3 * 4 - 1, 6) = -std::numeric_limits<double>::infinity();  // CMIN = 0
  TB.CONTINALL(3 * 9 - 2, 11) = std::nan("");                             // passed over
  TB.CONTINALL(3 * 13, 23) = -std::numeric_limits<double>::infinity();
  auto cmin = [&](int m, int j) {
    return std::pow(10.0,
                    std::fmin(std::fmin(TB.CONTINALL(3 * m - 2, j), TB.CONTINALL(3 * m - 1, j)),
                              TB.CONTINALL(3 * m, j)));
  };
  // Slots K = 5 + 27 t: element and stage slot spread over the table.
  int slot[NSLOT];
  for (int t = 0; t < NSLOT; ++t) slot[t] = 5 + 27 * t;
  for (int t = 0; t < NSLOT; ++t)
    TB.XNFP(1 + t % NRHOX, (slot[t] - 1) % 6 + 1, (slot[t] - 1) / 6 + 1) = 1;
  // XNFPEL(K, J) and DOPPLE(K, J) of every depth: random, except that slot t has its largest
  // candidate of interval 1 + t % 13 at depth 1 + t % 23 within a few units of a half-way point.
  std::vector<std::vector<double>> xnfpel(NRHOX + 1, std::vector<double>(6 * 99 + 1, 0.0));
  std::vector<std::vector<double>> dopple(NRHOX + 1, std::vector<double>(6 * 99 + 1, 1.0));
  int near = 0;
  for (int t = 0; t < NSLOT; ++t) {
    const int m = 1 + t % NINT, j0 = 1 + t % NRHOX, k = slot[t];
    const double nu = run->EDGE.FREQSET(3 * m - 1), rho = run->STATE.RHO(j0);
    const float f = static_cast<float>(std::pow(10.0, 20 * u(rng)));
    const double mid = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2 * f))) / 2;
    double a = mid * nu * rho * cmin(m, j0) * norm;
    for (int s = 0; s < std::abs(t - 10); ++s) a = std::nextafter(a, t < 10 ? 0.0 : 2 * a);
    for (int j = 1; j <= NRHOX; ++j) {
      xnfpel[j][k] = j == j0 ? a : a * 1e-9 * u(rng);
      dopple[j][k] = j == j0 ? 1.0 : 1e-5 * (1 + u(rng));
    }
    const double x = a / nu / rho / cmin(m, j0) / norm;
    near += std::fabs(x - mid) <= mid * 0x1p-47;
  }
  EXPECT_GT(near, 5) << "too few maxima near a rounding boundary";
  begin_line_strength_maxima(*run);
  ASSERT_EQ(line_strength_cache(*run).NLSACTIVE, NSLOT);
  for (int j = 1; j <= NRHOX; ++j) {
    for (int k = 1; k <= 6 * 99; ++k) {
      TB.XNFPEL(k) = xnfpel[j][k];
      TB.DOPPLE(k) = dopple[j][k];
    }
    update_line_strength_maxima(*run, j);
  }
  end_line_strength_maxima(*run);
  int wrong = 0;
  for (int m = 1; m <= NTAB_EDGE; ++m)
    for (int k = 1; k <= 6 * 99; ++k) {
      float best = 0;
      if (m <= NINT)
        for (int j = 1; j <= NRHOX; ++j)
          best = std::max(best, chain(xnfpel[j][k] / dopple[j][k], run->EDGE.FREQSET(3 * m - 1),
                                      run->STATE.RHO(j), cmin(m, j), norm));
      if (!same_bits(TB.XNFDOPMAX(m, k), best) && ++wrong <= 5)
        ADD_FAILURE() << "interval " << m << " slot " << k << ": " << TB.XNFDOPMAX(m, k)
                      << " against " << best;
    }
  EXPECT_EQ(wrong, 0);
  // CMIN = 0 makes the chain infinite: the slots populated at depth 6 have an infinite maximum in
  // interval 4.
  EXPECT_TRUE(std::isinf(TB.XNFDOPMAX(4, slot[5])));
}

// One depth, one interval, iron I only: the maximum takes the smallest continuum opacity of the
// interval, passing over a NaN (an undefined log10 opacity) wherever it stands among the three.
TEST(line_strength, smallest_continuum_opacity_passes_over_nan) {
  std::ostringstream listing;
  auto run = make_run(listing);
  TablesRec& TB = run->TABLES;
  run->RHOX.NRHOX = 1;
  run->FRESET.NUMNU = 3;
  run->EDGE.FREQSET(2) = 6e14;
  run->STATE.RHO(1) = 1e-7;
  TB.XNFP(1, 1, 26) = 1e10;
  TB.XNFPEL(1, 26) = 1e10;
  TB.DOPPLE(1, 26) = 1e-5;
  const double nan = std::nan("");
  const double orders[3][3] = {{nan, -2.5, -1}, {-1, nan, -2.5}, {-1, -2.5, nan}};
  const float expected = static_cast<float>(1e10 / 1e-5 / 6e14 / 1e-7 / std::pow(10.0, -2.5) /
                                            static_cast<double>(0.001f));
  for (const auto& c : orders) {
    for (int i = 1; i <= 3; ++i) TB.CONTINALL(i, 1) = c[i - 1];
    begin_line_strength_maxima(*run);
    update_line_strength_maxima(*run, 1);
    end_line_strength_maxima(*run);
    EXPECT_EQ(TB.XNFDOPMAX(1, 1, 26), expected) << c[0] << " " << c[1] << " " << c[2];
  }
}

// The maxima table of a model is whole whatever the model before it wrote: a run that has tabulated
// a model with other populated slots and more intervals gives the table of a fresh run.
TEST(line_strength, maxima_of_a_model_keep_nothing_of_the_one_before) {
  struct Model {
    int nint;
    std::vector<int> slots;  // populated slots K = S + 6 (Z - 1)
  };
  const Model first{7, {1, 5, 150, 593}}, second{3, {5, 200}}, third{7, {1, 5, 150, 593}};
  auto tabulate = [](atmotab::Run& r, const Model& m, int seed) {
    TablesRec& TB = r.TABLES;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    r.RHOX.NRHOX = 4;
    r.FRESET.NUMNU = 3 * m.nint;
    for (int z = 1; z <= 99; ++z)
      for (int s = 1; s <= 10; ++s)
        for (int j = 1; j <= 4; ++j) TB.XNFP(j, s, z) = 0;
    for (int k : m.slots) TB.XNFP(2, (k - 1) % 6 + 1, (k - 1) / 6 + 1) = 1;
    for (int i = 1; i <= 3 * m.nint; ++i) r.EDGE.FREQSET(i) = 3e15 / (1 + 0.1 * i);
    begin_line_strength_maxima(r);
    for (int j = 1; j <= 4; ++j) {
      r.STATE.RHO(j) = 1e-8 * (1 + u(rng));
      for (int i = 1; i <= 3 * m.nint; ++i) TB.CONTINALL(i, j) = -3 + 5 * u(rng);
      TB.XNFPEL.fill(0);
      TB.DOPPLE.fill(1e-5);
      for (int k : m.slots) TB.XNFPEL(k) = 1e10 * (1 + u(rng));
      update_line_strength_maxima(r, j);
    }
    end_line_strength_maxima(r);
  };
  std::ostringstream l1, l2, l3;
  auto run = make_run(l1);
  tabulate(*run, first, 1);
  tabulate(*run, second, 2);
  auto fresh = make_run(l2);
  tabulate(*fresh, second, 2);
  EXPECT_EQ(std::memcmp(run->TABLES.XNFDOPMAX.data(), fresh->TABLES.XNFDOPMAX.data(),
                        sizeof(float) * run->TABLES.XNFDOPMAX.size()),
            0);
  EXPECT_GT(run->TABLES.XNFDOPMAX(3, 200), 0.0f);
  EXPECT_EQ(run->TABLES.XNFDOPMAX(4, 5), 0.0f);
  EXPECT_EQ(run->TABLES.XNFDOPMAX(1, 593), 0.0f);
  // More intervals and slots again.
  tabulate(*run, third, 3);
  auto fresh3 = make_run(l3);
  tabulate(*fresh3, third, 3);
  EXPECT_EQ(std::memcmp(run->TABLES.XNFDOPMAX.data(), fresh3->TABLES.XNFDOPMAX.data(),
                        sizeof(float) * run->TABLES.XNFDOPMAX.size()),
            0);
  EXPECT_EQ(run->TABLES.XNFDOPMAX(1, 200), 0.0f);
}

}  // namespace
}  // namespace atmotab
