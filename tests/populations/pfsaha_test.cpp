// Partition functions (level sums, packed table, ground-configuration floor, tail, iron group)
// and the Saha balance of pfsaha, against hand computations.
#include "populations/pfsaha.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fortio/error.h"
#include "model_fixture.h"

namespace atmotab {
namespace {

using testing::PopsRun;

// Partition function of stage ION of IZ at depth 1 through pfsaha, mode 3.
double part(Run& r, int iz, int ion) {
  Arr<double, MAXD> a;
  pfsaha(r, 1, iz, ion, 3, a.data());
  return a(1);
}

// The tail written term by term (not the nested form of the routine).
double tail_ref(int z, double g, double ip, double potlo, double tv, double d2) {
  auto f = [](double d) {
    return 1.0 / 3 + d - 0.5 * d * d - d * d * d / 18 - d * d * d * d / 120;
  };
  const double q = 13.595 * z * z / tv, d1 = potlo / tv;
  return g * std::exp(-ip / tv) * (std::pow(q / d1, 1.5) * f(d1) - std::pow(q / d2, 1.5) * f(d2));
}

TEST(pflight, hydrogen_gate_at_9000K) {
  PopsRun p;
  p.r.BHYD.BHYD(1, 1) = 1.25;
  p.set_depth(1, 8999.0, 1e4, 1e13);
  EXPECT_EQ(part(p.r, 1, 1), 2 * 1.25);  // ground level only, exactly

  p.set_depth(1, 9000.0, 1e4, 1e13);
  const double x = p.r.TEMP.HCKT(1), tv = p.r.TEMP.TKEV(1);
  const double e[5] = {82259.1, 97492.305, 102823.89, 105291.65, 106632.16};
  double ref = 2 * 1.25;
  for (int n = 2; n <= 6; ++n) ref += 2.0 * n * n * std::exp(-e[n - 2] * x);
  const double ip = 109678.766 / 8065.479;
  ref += tail_ref(1, 2, ip, pfsaha_potlow(p.r, 1), tv, 2595.919 * x);
  EXPECT_NEAR(part(p.r, 1, 1), ref, 1e-6 * ref);
  EXPECT_GT(part(p.r, 1, 1), 2.5);
}

TEST(pflight, helium_gates) {
  PopsRun p;
  struct Case {
    int ion;
    double below, at;
    double ground;
  };
  const Case cases[] = {{1, 14999.0, 15000.0, 1.0}, {2, 29999.0, 30000.0, 2.0}};
  for (const Case& c : cases) {
    p.set_depth(1, c.below, 1e3, 1e10);
    EXPECT_EQ(part(p.r, 2, c.ion), c.ground) << "He stage " << c.ion;
    p.set_depth(1, c.at, 1e3, 1e10);
    EXPECT_GT(part(p.r, 2, c.ion), c.ground) << "He stage " << c.ion;
  }
}

TEST(pflight, departure_coefficients_and_ifnlte_minus_one) {
  PopsRun p;
  p.set_depth(1, 6000.0, 1e5, 1e12);
  const double x = p.r.TEMP.HCKT(1);
  const double lte = part(p.r, 6, 1);
  // The C I ground term (1 + 3 exp(-16.42 x) + 5 exp(-43.42 x)) is multiplied as a whole by b_1.
  p.r.BC.BC1(1, 1) = 3.0;
  const double ground = 1 + 3 * std::exp(-16.42 * x) + 5 * std::exp(-43.42 * x);
  EXPECT_NEAR(part(p.r, 6, 1) - lte, 2 * ground, 1e-6);
  // IFNLTE = -1 ignores every departure coefficient.
  p.r.IF.IFNLTE = -1;
  p.r.BHYD.BHYD(1, 1) = 7.0;
  EXPECT_EQ(part(p.r, 6, 1), lte);
  EXPECT_EQ(part(p.r, 1, 1), 2.0);
  p.r.IF.IFNLTE = 1;
  EXPECT_EQ(part(p.r, 1, 1), 14.0);
}

TEST(pflight, sodium_level_sum_by_hand) {
  PopsRun p;
  p.set_depth(1, 5000.0, 1e4, 1e11);
  const double x = p.r.TEMP.HCKT(1), tv = p.r.TEMP.TKEV(1);
  struct L {
    double e;
    int g;
  };
  const L lev[] = {{0, 2},        {16956.172, 2}, {16973.367, 4}, {25739.99, 2},   {29172.889, 6},
                   {29172.84, 4}, {30266.99, 2},  {30272.58, 4},  {34548.746, 10}, {34586.96, 14}};
  double ref = 0;
  for (const L& l : lev) ref += l.g * std::exp(-l.e * x);
  const double ip = pfsaha_ip(p.r, 11, 1);
  ref += tail_ref(1, 2, ip, pfsaha_potlow(p.r, 1), tv, 5419.004 * x);
  EXPECT_NEAR(part(p.r, 11, 1), ref, 1e-6 * ref);
}

// Packed-table interpolation on a row written in the test: Li II (row 7, NELION 14).
class pftable_row : public ::testing::Test {
 protected:
  PopsRun p;
  double ts = 0;
  void SetUp() override {
    ts = pfsaha_ip(p.r, 3, 2) * 2000 / 11;
    p.r.PFTAB.PFGW(14) = 1.0;  // Li II ground level only
    p.r.PFTAB.PFGLOC(15) = p.r.PFTAB.PFGLOC(14);
  }
  void row(int w1, int w2) {
    for (int i = 1; i <= 5; ++i) p.r.PFTAB.IPFTAB(i, 7) = i == 1 ? w1 : w2;
    p.r.PFTAB.IPFTAB(6, 7) = 0;  // no tail
  }
  double at(double t_over_ts, double xne = 1e10) {
    p.set_depth(1, t_over_ts * ts, 1e3, xne);
    return part(p.r, 3, 2);
  }
};

TEST_F(pftable_row, extrapolation_below_first_point_keeps_ground_weight) {
  struct Case {
    int w1;
    double t_over_ts, expected;
  };
  // Words: K1 = first value, K2 = second value (x 0.001 for KS = 1), then the pairs of word 2.
  const Case cases[] = {
      {200024001, 0.5, 2.0},  // 2.000, 2.400 agree after rounding: floor at 2 (line gives 1.6)
      {200026001, 0.5, 1.4},  // 2.000, 2.600 do not agree: the line itself, 2.0 - 0.6
      {200044001, 0.5, 1.0},  // 2.000, 4.400: never below 1 (the line gives -0.4)
      {200024002, 0.5, 1.6},  // scale 0.01 (KS = 2): 20.00, 24.00, no floor but 1 -> 16.0
  };
  for (const Case& c : cases) {
    row(c.w1, 300030001);
    const double v = at(c.t_over_ts);
    if (c.w1 % 10 == 2)
      EXPECT_NEAR(v, 16.0, 1e-9) << c.w1;
    else
      EXPECT_NEAR(v, c.expected, 1e-9) << c.w1 << " at " << c.t_over_ts << " Ts";
  }
}

TEST_F(pftable_row, even_interval_takes_each_words_scale) {
  // Point 2 = 2.400 (word 1, KS = 1), point 3 = 30.00 (word 2, KS = 2): T = 3 Ts lies half way.
  row(200024001, 300030002);
  EXPECT_NEAR(at(3.0), 0.5 * (2.4 + 30.0), 1e-9);
}

TEST_F(pftable_row, whole_multiples_of_ts_fall_half_way_exactly) {
  // Ts = IP * 2000 / 11 formed left to right. At T = 2, 4, 8 Ts (exact doublings of that Ts)
  // u = T/Ts - 0.5 is exactly 1.5, 3.5, 7.5, so the answer is the mid-point of points
  // (1,2), (3,4), (7,8) to the bit: 1000 + 8999 / 2 = 5499.5 with K1 = 1000, K2 = 9999, KS = 4.
  // Li II is a potential for which IP * (2000/11) is one unit in the last place larger.
  ASSERT_NE(pfsaha_ip(p.r, 3, 2) * (2000.0 / 11.0), ts);
  struct Case {
    int w1, w2;
    double t_over_ts;
  };
  const Case cases[] = {
      {100099994, 300030001, 2.0}, {200024001, 100099994, 4.0}, {200024001, 100099994, 8.0}};
  for (const Case& c : cases) {
    row(c.w1, c.w2);
    EXPECT_EQ(at(c.t_over_ts), 5499.5) << c.t_over_ts << " Ts";
  }
}

TEST(pftable, oxygen_row_between_points_and_beyond_the_last) {
  PopsRun p;
  // O I, row 27: 8.747 8.969 9.247 9.571 9.94 10.49 11.52 13.49 16.9 22.24.
  const double ts = pfsaha_ip(p.r, 8, 1) * 2000 / 11;
  p.set_depth(1, 3.0 * ts, 1e3, 1e6);  // point 2.5: half way between 8.969 and 9.247
  EXPECT_NEAR(part(p.r, 8, 1), 0.5 * (8.969 + 9.247), 1e-9);
  // 11.5 Ts: two steps beyond point 10 on the line through points 9 and 10; a tiny lowering
  // (XNE = 1e6 cm^-3) keeps the tail off.
  p.set_depth(1, 11.5 * ts, 1e3, 1e6);
  ASSERT_LT(pfsaha_potlow(p.r, 1), 0.1);
  EXPECT_NEAR(part(p.r, 8, 1), 16.9 + 2 * (22.24 - 16.9), 1e-9);
  // With a lowering above 0.1 eV the tail is added, with kT frozen at its 11 Ts value.
  p.set_depth(1, 11.5 * ts, 1e3, 1e18);
  const double potlo = pfsaha_potlow(p.r, 1);
  ASSERT_GE(potlo, 0.1);
  const double tv = ts * 0.000947881;
  const double ref =
      16.9 + 2 * (22.24 - 16.9) + tail_ref(1, 7, pfsaha_ip(p.r, 8, 1), potlo, tv, 0.1 / tv);
  EXPECT_NEAR(part(p.r, 8, 1), ref, 1e-6 * ref);
}

TEST(pfground, reference_lists_by_hand) {
  PopsRun p;
  const double t = 4000.0, c = 1.4387884 / t;
  struct Case {
    int nelion;
    double expected;
  };
  const Case cases[] = {
      {31, 1 + 3 * std::exp(-16.4 * c) + 5 * std::exp(-43.4 * c) + 5 * std::exp(-10192.63 * c)},
      {32, 2 + 4 * std::exp(-63.42 * c)},
      {43, 5 + 3 * std::exp(-158.265 * c) + std::exp(-226.977 * c)},
      {37, 4.0},
      {85, 4.0},
      {1, 2.0},
      {327, 4 + 2 * std::exp(-13884 * c)},
      {332, 2 + 4 * std::exp(-4873.852 * c) + 6 * std::exp(-5674.807 * c)},
      {120, 1.0},
      {337, 1.0},
      {500, 1.0}};
  // The table holds single-precision energies: relative agreement to a few 1e-8.
  for (const Case& k : cases)
    EXPECT_NEAR(pfground(p.r, k.nelion, t), k.expected, 3e-8 * k.expected) << k.nelion;
}

TEST(pfiron, lowering_columns_and_ends) {
  PopsRun p;
  p.set_t(1, 10000.0);  // log10 T = 4.00: row 30 (F = 0 up to rounding)
  const auto& tab = p.r.PFTAB.FEGRPF;
  const int k = 1 + 10 * (26 - 20);  // Fe I
  struct Case {
    double potlo_cm;
    double expected;
  };
  const Case cases[] = {
      {100.0, tab(1, 30, k)},  // below 500 cm^-1: first column only
      {499.0, tab(1, 30, k)},
      {32000.0, tab(7, 30, k)},  // from 32000 cm^-1: last column only
      {80000.0, tab(7, 30, k)},
      {std::sqrt(1000.0 * 2000.0), 0.5 * (tab(2, 30, k) + tab(3, 30, k))},  // log-midpoint
  };
  for (const Case& c : cases)
    EXPECT_NEAR(pfiron(p.r, 1, 26, 1, c.potlo_cm / 8065.479), c.expected, 2e-4 * c.expected)
        << c.potlo_cm;
  // Fe I at 10^4 K with the smallest lowering: about 60 (laboratory-level sum 59.65).
  EXPECT_NEAR(pfiron(p.r, 1, 26, 1, 0.01), 60.0, 2.0);
  // Temperature rows: log T = 3.85 lies half way between rows 25 (3.85) exactly -> row 25.
  p.set_t(1, std::pow(10.0, 3.85));
  EXPECT_NEAR(pfiron(p.r, 1, 26, 1, 0.01), tab(1, 25, k), 1e-3 * tab(1, 25, k));
  // Beyond the grid the end rows are extrapolated linearly in log T.
  p.set_t(1, std::pow(10.0, 5.40));
  EXPECT_NEAR(pfiron(p.r, 1, 26, 1, 0.01), tab(1, 56, k) + 2 * (tab(1, 56, k) - tab(1, 55, k)),
              1e-3 * tab(1, 56, k));
  p.set_t(1, std::pow(10.0, 3.30));
  EXPECT_NEAR(pfiron(p.r, 1, 26, 1, 0.01), tab(1, 1, k) - (tab(1, 2, k) - tab(1, 1, k)),
              1e-3 * tab(1, 1, k));
}

TEST(pfsaha, ionization_potential_takes_the_preceding_slot_where_zero) {
  PopsRun p;
  struct Case {
    int z, ion;
    float cm;  // the slot's value, or the preceding slot's where it holds 0
  };
  const Case cases[] = {
      {1, 1, 109678.766f},  // slot 1
      {1, 2, 109678.766f},  // slot 2 (bare proton) holds 0: slot 1
      {2, 3, 438908.844f},  // slot 5 holds 0: slot 4
      {31, 1, 48387.629f},  // slot 496
      {99, 3, 161000.0f},   // slot 838
      {99, 4, 161000.0f},   // slot 839 holds 0: slot 838
  };
  for (const Case& c : cases)
    EXPECT_EQ(pfsaha_ip(p.r, c.z, c.ion), sp(c.cm) / 8065.479) << c.z << " " << c.ion;
}

TEST(pfsaha, potlow_by_hand_and_capped) {
  PopsRun p;
  p.set_depth(1, 6000.0, 1e5, 1e14);
  // Charge 2 XNE - P/kT < 0 here: NCH = 2 XNE.
  const double debye = std::sqrt(p.r.TEMP.TK(1) / 2.8965e-18 / 2e14);
  EXPECT_NEAR(pfsaha_potlow(p.r, 1), 1.44e-7 / debye, 1e-15);
  for (double xne : {1e22, 1e25, 1e30}) {
    p.set_depth(1, 6000.0, 1e5, xne);
    EXPECT_EQ(pfsaha_potlow(p.r, 1), 1.0) << xne;
  }
}

TEST(pfsaha, two_stage_hydrogen_by_hand) {
  PopsRun p;
  struct Case {
    double t, xne;
  };
  const Case cases[] = {{5000, 1e12}, {7000, 1e13}, {8500, 1e14}, {1000, 1e10}};
  for (const Case& c : cases) {
    p.set_depth(1, c.t, 1e5, c.xne);
    Arr<double, MAXD, 2> f;
    pfsaha(p.r, 1, 1, 2, 12, f.data());
    // n(H II) ne / n(H I) = 2.4148e15 T^1.5 (2 U(H II) / U(H I)) exp(-(chi - lowering)/kT),
    // U(H I) = 2 below 9000 K, U(H II) = 1; exponent capped at 75 (1000 K: chi/kT = 158).
    const double chi = 109678.766 / 8065.479 - pfsaha_potlow(p.r, 1);
    const double ratio = 2 * 2.4148e15 * std::pow(c.t, 1.5) / c.xne * 1.0 / 2.0 *
                         std::exp(-std::min(chi / (8.6171e-5 * c.t), 75.0));
    EXPECT_NEAR(f(1, 2) / f(1, 1), ratio, 1e-4 * ratio) << c.t;
    EXPECT_NEAR(f(1, 1) + f(1, 2), 1.0, 1e-15);
  }
}

TEST(pfsaha, modes_agree_with_each_other) {
  PopsRun p;
  p.set_depth(1, 7000.0, 1e4, 1e12);
  Arr<double, MAXD, 6> frac, u, fpu;
  pfsaha(p.r, 1, 8, 6, 12, frac.data());
  pfsaha(p.r, 1, 8, 6, 13, u.data());
  pfsaha(p.r, 1, 8, 6, 11, fpu.data());
  double sum = 0;
  for (int ion = 1; ion <= 6; ++ion) {
    Arr<double, MAXD> one;
    pfsaha(p.r, 1, 8, ion, 1, one.data());
    // A single stage asked in mode 1 uses at most two stages above it, so it matches the
    // all-stage balance only where higher stages are negligible (O at 7000 K: above II).
    EXPECT_NEAR(one(1), fpu(1, ion), 1e-12 * fpu(1, ion) + 1e-300) << ion;
    EXPECT_NEAR(fpu(1, ion), frac(1, ion) / u(1, ion), 1e-14 * fpu(1, ion) + 1e-300);
    sum += frac(1, ion);
  }
  EXPECT_NEAR(sum, 1.0, 1e-14);
  Arr<double, MAXD> e;
  pfsaha(p.r, 1, 8, 6, 4, e.data());
  EXPECT_NEAR(e(1), frac(1, 2) + 2 * frac(1, 3) + 3 * frac(1, 4) + 4 * frac(1, 5) + 5 * frac(1, 6),
              1e-15);
}

TEST(pfsaha, iron_asked_for_one_stage_balances_three) {
  PopsRun p;
  p.set_depth(1, 30000.0, 1e3, 1e13);
  Arr<double, MAXD> f1, u;
  pfsaha(p.r, 1, 26, 1, 2, f1.data());  // code 26.00: NUSED = 3
  Arr<double, MAXD, 3> parts;
  pfsaha(p.r, 1, 26, 3, 13, parts.data());
  const double t = 30000.0, tv = 8.6171e-5 * t, cf = 4.8296e15 * t * std::sqrt(t) / 1e13;
  const double potlow = pfsaha_potlow(p.r, 1);
  auto r = [&](int ion) {
    return std::exp(-(pfsaha_ip(p.r, 26, ion) - potlow * ion) / tv) * cf * parts(1, ion + 1) /
           parts(1, ion);
  };
  const double ref = 1 / (1 + r(1) * (1 + r(2)));
  EXPECT_NEAR(f1(1), ref, 1e-12 * ref);
  // Four stages (code 26.01) shift the Fe I fraction: Fe IV is populated at 30000 K.
  Arr<double, MAXD, 2> f2;
  pfsaha(p.r, 1, 26, 2, 12, f2.data());
  EXPECT_LT(f2(1, 1), f1(1) * (1 - 1e-6));
}

TEST(pfsaha, non_positive_state_stops_naming_the_depth) {
  struct Case {
    double t, p, xne;
    const char* what;
  };
  const Case cases[] = {
      {0.0, 1e4, 1e12, "TEMPERATURE"},         {-5000.0, 1e4, 1e12, "TEMPERATURE"},
      {5000.0, 0.0, 1e12, "PRESSURE"},         {5000.0, 1e4, 0.0, "ELECTRON DENSITY"},
      {5000.0, 1e4, -1.0, "ELECTRON DENSITY"}, {5000.0, 1e4, std::nan(""), "ELECTRON DENSITY"}};
  for (const Case& c : cases) {
    PopsRun p;
    p.set_depth(1, 6000.0, 1e4, 1e12);
    p.set_depth(2, 6000.0, 1e4, 1e12);
    p.set_depth(3, c.t > 0 ? c.t : 6000.0, c.p, c.xne);
    if (!(c.t > 0)) p.r.TEMP.T(3) = c.t;
    Arr<double, MAXD> a;
    try {
      pfsaha(p.r, 3, 1, 1, 2, a.data());
      ADD_FAILURE() << c.what;
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_NE(std::string(e.what()).find("depth J = 3"), std::string::npos) << e.what();
      EXPECT_NE(p.listing.str().find(c.what), std::string::npos) << p.listing.str();
    }
  }
}

TEST(pftable, far_beyond_the_table_the_last_points_continue) {
  // O I (row 27, points 9 and 10: 16.9 and 22.24): at 2e15 K the table position u = T/Ts - 0.5
  // is 1.2e12, beyond any int. The position is clamped to the last interval before it is
  // converted; the conversion of the unclamped position was undefined (the sanitizer build stops
  // on it, and x86 gives INT_MIN, clamped to the first interval: the line through points 1 and 2,
  // 8.747 and 8.969, continued 1.2e12 steps). A tiny lowering (XNE = 1e6 cm^-3) keeps the tail
  // off, so the answer is the line through the last two points, as at 11.5 Ts.
  PopsRun p;
  const double ts = pfsaha_ip(p.r, 8, 1) * 2000 / 11;
  for (const double t : {1e10, 2e15}) {
    p.set_depth(1, t, 1e3, 1e6);
    ASSERT_LT(pfsaha_potlow(p.r, 1), 0.1);
    const double u = t / ts - 0.5;
    const double expected = 16.9 + (u - 9) * (22.24 - 16.9);
    EXPECT_NEAR(part(p.r, 8, 1), expected, 1e-9 * expected) << "T = " << t << " K";
  }
}

TEST(pfsaha, a_partition_function_that_is_not_positive_stops_naming_the_stage) {
  // Deep layers of grey models where the levels dissolved by the lowering outweigh the sum:
  // - depth 72 of 60000 K at log g 6: S VI (88.053 eV, Ts = 16010 K) at 11.05 Ts, lowering
  //   6 x 0.256 eV. The packed table continued beyond 10.5 Ts gives about 666, the levels the
  //   lowering removes (hydrogenic n = 18..70, kT frozen at 11 Ts) about 690: U = -22.2, which
  //   turned the fractions of S IV and S V negative (the tables stopped on XNFPEL of S);
  // - depth 68 of 60000 K at log g 8: the K I level sum with its tail, lowering 0.73 eV: U = -2.0;
  //   with U(K I) and F(K I) both negative XNFPEL(1,19) came out positive, and the run ended with
  //   status 0 and wrong potassium populations.
  struct Case {
    int iz, ion;
    double t, p, xne;
    const char* start;
    const char* cause;
  };
  const Case cases[] = {
      {16, 6, 1.7688e5, 5.9419e8, 1.2563e19,
       "partition function of S stage 6 is -22.2091 at depth J = 1 (T = 1.76880E+05 K, lowering "
       "of the ionization potential 1.538 eV): no ionization balance can be formed",
       "; the levels the lowering dissolves outweigh the partition-function table of the stage, "
       "continued along a straight line beyond its last point (168102 K)"},
      {19, 1, 1.33146e5, 2.256e9, 6.8e19,
       "partition function of K stage 1 is -1.96869 at depth J = 1 (T = 1.33146E+05 K, lowering "
       "of the ionization potential 0.729 eV): no ionization balance can be formed",
       "; the levels the lowering dissolves outweigh the level sum of the stage"},
  };
  for (const Case& c : cases) {
    PopsRun p;
    p.set_depth(1, c.t, c.p, c.xne);
    Arr<double, MAXD> a;
    for (const int mode : {1, 2, 3}) {
      try {
        pfsaha(p.r, 1, c.iz, mode == 3 ? c.ion : std::max(1, c.ion - 2), mode, a.data());
        ADD_FAILURE() << c.start << "\nmode " << mode << ": no stop, answer " << a(1);
      } catch (const atmo_error& e) {
        EXPECT_EQ(e.status(), 1);
        EXPECT_EQ(std::string(e.what()), std::string(c.start) + c.cause);
      }
    }
  }
}

TEST(pfsaha, lowest_temperature_of_the_population_physics) {
  PopsRun p;
  const Run::PftabRec& pf = p.r.PFTAB;
  // The Saha cap: cesium has the smallest first ionization energy, 3.893905 eV (NIST); its Saha
  // exponent reaches 75 at 3.893905 / (75 x 8.6171e-5 eV/K) = 602.5 K.
  EXPECT_NEAR(pf.TMINSAHA, 3.893905 / (75 * 8.6171e-5), 0.1);
  // The iron-group partition functions, continued below their first row (2089 K): all positive
  // just above TMINPF at every lowering column, one (Ca VII) negative just below it.
  auto smallest = [&](double t) {
    p.set_depth(1, t, 1e4, 1e10);
    float u = 1e30f;
    for (int z = 20; z <= 28; ++z)
      for (int ion = 1; ion <= 10; ++ion)
        for (double potlo_cm : {400.0, 700.0, 1500.0, 3000.0, 6000.0, 12000.0, 24000.0, 40000.0})
          u = std::min(u, pfiron(p.r, 1, z, ion, potlo_cm / 8065.479));
    return u;
  };
  EXPECT_GT(smallest(pf.TMINPF * 1.001), 0);
  EXPECT_LT(smallest(pf.TMINPF * 0.999), 0);
  EXPECT_GT(pf.TMINPF, 600);
  EXPECT_LT(pf.TMINPF, 700);
  EXPECT_EQ(pf.TMIN, std::max(pf.TMINPF, pf.TMINSAHA));
  // At and above TMIN pfsaha answers; below it, it refuses with the range.
  Arr<double, MAXD> a;
  p.set_depth(1, pf.TMIN, 1e4, 1e10);
  EXPECT_NO_THROW(pfsaha(p.r, 1, 22, 1, 2, a.data()));
  p.set_depth(1, 50.0, 1e4, 1e10);
  try {
    pfsaha(p.r, 1, 22, 1, 2, a.data());
    ADD_FAILURE() << "no refusal at 50 K";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_NE(std::string(e.what()).find("T = 50.0 K at depth J = 1 is below the range of the "
                                         "population physics, T >= 661.0 K"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace atmotab
