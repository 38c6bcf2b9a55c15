// The cool-metal block: what it adds into ACOOL, what reaches the continuum (the five metals and
// the molecular absorption per gram), and WAVENO.
#include "opacity/coolop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/constants.h"
#include "common/state.h"
#include "driver/tabulate.h"
#include "opacity/choh.h"
#include "opacity/coolop_cache.h"
#include "opacity/h2collop.h"
#include "opacity/h2op.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"
#include "populations/molecules_fixture.h"

namespace atmotab {
namespace {

constexpr int COOL = 9;

struct Coolop : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  atmotab::Run& r = *run;

  void SetUp() override {
    testing::fill_model(r, testing::SOLAR3);
    start_model(r);
    for (int j = 1; j <= 3; ++j) {
      r.BC.XNFPC(j, 1) = 1e10;
      r.BMG.XNFPMG(j, 1) = 2e10;
      r.BAL.XNFPAL(j, 1) = 3e9;
      r.BSI.XNFPSI(j, 1) = 3e10;
      r.BFE.XNFPFE(j) = 5e10;
    }
  }
};

TEST_F(Coolop, with_molecules_off_acool_is_the_metal_sum) {
  for (double nu : {1e14, 6e14, 1.5e15, 2.5e15, 2.2e16}) {
    setfreq(r, nu);
    coolop(r);
    for (int j = 1; j <= 3; ++j) {
      const double sum = r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) +
                         r.BFE.AFE1(j) + coolop_cache(r).AH2COLL(j);
      EXPECT_EQ(r.OPS.ACOOL(j), sum) << nu;
    }
    EXPECT_EQ(r.FREQ.WAVENO, nu / CLIGHT);
  }
}

TEST_F(Coolop, acool_holds_the_collision_induced_absorption_below_20000_per_cm) {
  // With H2 (b = 1) and He I present, the block fills AH2COLL with the collision-induced
  // absorption of the hydrogen sources: at 3336 cm^-1 (1e14 Hz) it is positive where H2 forms and
  // equals h2collop's own result bit for bit; at 25000 cm^-1 it is 0. It reaches ACOOL and, with
  // no CH or OH, is the whole molecular part AMOLEC.
  for (int j = 1; j <= 3; ++j) {
    r.BHYD.BHYD(j, 1) = 1;
    r.BHE.XNFHE(j, 1) = 0.1 * r.STATE.XNATOM(j);
  }
  Dep alone;
  for (double nu : {1e14, 25000 * CLIGHT}) {
    setfreq(r, nu);
    coolop(r);
    h2collop(r, alone);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(coolop_cache(r).AH2COLL(j), alone(j)) << nu << " " << j;
      if (nu < 20000 * CLIGHT && j == 1) {
        EXPECT_GT(nh2(r, j), 0.0);
        EXPECT_GT(coolop_cache(r).AH2COLL(j), 0.0);
      }
      if (nu > 20000 * CLIGHT) {
        EXPECT_EQ(coolop_cache(r).AH2COLL(j), 0.0);
      }
      EXPECT_EQ(r.OPS.ACOOL(j), r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) +
                                    r.BFE.AFE1(j) + coolop_cache(r).AH2COLL(j));
      EXPECT_EQ(coolop_cache(r).AMOLEC(j), coolop_cache(r).AH2COLL(j));
    }
  }
  // The 4500 K depth at 3336 cm^-1: the collision-induced term is a visible part of the block.
  setfreq(r, 1e14);
  coolop(r);
  EXPECT_GT(coolop_cache(r).AH2COLL(1), 1e-6 * r.OPS.ACOOL(1));
}

TEST_F(Coolop, ch_and_oh_enter_acool_per_cubic_centimetre_and_the_continuum_per_gram) {
  // 1.2e15 Hz = 4.96 eV: CH and OH both absorb. Through kapp with only COOL on, ACONT is the
  // five metal absorptions plus (chop XNFPCH + ohop XNFPOH) / RHO; ACOOL adds chop XNFPCH +
  // ohop XNFPOH, not divided by RHO.
  r.IF.IFOP.fill(0);
  r.IF.IFOP(COOL) = 1;
  setfreq(r, 1.2e15);
  int nsteps = 0;
  double stepwt = 0;
  kapp(r, 1, nsteps, stepwt);
  double acont[3], acool[3];
  for (int j = 1; j <= 3; ++j) {
    acont[j - 1] = r.OPTOT.ACONT(j);
    acool[j - 1] = r.OPS.ACOOL(j);
    EXPECT_EQ(acont[j - 1],
              r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) + r.BFE.AFE1(j));
  }
  // CH at depths 1 and 3, OH at depths 2 and 3: the block's sum equals the full expression with
  // every term, the absent molecules' products being +0.
  r.CHOH.XNFPCH(1) = 1e8;
  r.CHOH.XNFPCH(3) = 2e8;
  r.CHOH.XNFPOH(2) = 3e8;
  r.CHOH.XNFPOH(3) = 4e8;
  kapp(r, 1, nsteps, stepwt);
  for (int j = 1; j <= 3; ++j) {
    const double ch = chop(r, j), oh = ohop(r, j);
    if (j < 3)
      EXPECT_GT(ch * r.CHOH.XNFPCH(j) + oh * r.CHOH.XNFPOH(j), 0.0) << j;
    else
      EXPECT_EQ(ch + oh, 0.0);  // 9500 K: above the tables
    const double molecular = (ch * r.CHOH.XNFPCH(j) + oh * r.CHOH.XNFPOH(j)) / r.STATE.RHO(j);
    EXPECT_NEAR(r.OPTOT.ACONT(j), acont[j - 1] + molecular, 1e-14 * r.OPTOT.ACONT(j)) << j;
    if (j < 3) {
      EXPECT_GT(molecular, 1e-6 * acont[j - 1]) << j;
    }
    EXPECT_EQ(r.OPS.ACOOL(j), r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) +
                                  r.BFE.AFE1(j) + coolop_cache(r).AH2COLL(j) +
                                  ch * r.CHOH.XNFPCH(j) + oh * r.CHOH.XNFPOH(j));
    EXPECT_GT(r.OPS.ACOOL(j), acool[j - 1] * (j < 3 ? 1.0 + 1e-12 : 0.0)) << j;
  }
}

TEST_F(Coolop, switched_off_it_leaves_nothing_behind) {
  setfreq(r, 2.5e15);
  int nsteps = 0;
  double stepwt = 0;
  kapp(r, 1, nsteps, stepwt);
  EXPECT_GT(r.BMG.AMG1(2), 0.0);
  r.IF.IFOP(COOL) = 0;
  kapp(r, 1, nsteps, stepwt);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(r.OPS.ACOOL(j), 0.0);
    EXPECT_EQ(r.BMG.AMG1(j), 0.0);
    EXPECT_EQ(r.BFE.SFE1(j), 0.0);
  }
}

// The 4000 K dwarf and the sun with molecules: the continuum equals the continuum without the
// molecular term (totals formed again with AMOLEC = 0) plus H2 CIA + (CH, OH) x n/U / RHO, the
// source function weighted by BNU; where they matter they show: OH at 280 nm at the dwarf's top
// (measured 18 %), its CIA at 2.2 um (0.5 %), CH at 400 nm at the sun's top (10 %; a modern code
// finds 7.6 % there).
TEST(coolop_model, the_continuum_gains_the_molecular_absorption_and_nothing_else) {
  struct Case {
    const char* deck;
    double lam;  // [nm]
    int j;
    double share;  // AMOLEC / ACONT at least
  };
  for (const Case& c : {Case{"cool4000.deck", 280, 1, 0.1},
                        {"cool4000.deck", 2200, 20, 3e-3},
                        {"cool4000.deck", 1e4, 30, 0},
                        {"sun.deck", 400, 1, 0.05}}) {
    testing::MoleculeRun m(c.deck);
    atmotab::Run& r = m.r;
    fill_element_records(r);
    setfreq(r, 2.99792458e17 / c.lam);
    int nsteps = 0;
    double stepwt = 0;
    kapp(r, 1, nsteps, stepwt);
    const int j = c.j;
    const double a = r.OPTOT.ACONT(j), s = r.OPTOT.SCONT(j), rho = r.STATE.RHO(j);
    const double mol = coolop_cache(r).AH2COLL(j) + chop(r, j) * r.CHOH.XNFPCH(j) / rho +
                       ohop(r, j) * r.CHOH.XNFPOH(j) / rho;
    EXPECT_NEAR(coolop_cache(r).AMOLEC(j), mol, 1e-14 * mol) << c.deck << " " << c.lam;
    EXPECT_GE(mol, c.share * a) << c.deck << " " << c.lam;
    coolop_cache(r).AMOLEC.fill(0.0);
    kapp_totals_of_switches_on(r);
    EXPECT_NEAR(a, r.OPTOT.ACONT(j) + mol, 1e-14 * a) << c.deck << " " << c.lam;
    EXPECT_NEAR(s * a, r.OPTOT.SCONT(j) * r.OPTOT.ACONT(j) + mol * r.FREQ.BNU(j), 1e-13 * s * a);
  }
}

}  // namespace
}  // namespace atmotab
