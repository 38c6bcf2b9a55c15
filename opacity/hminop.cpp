// hminop — H-minus (H^-) continuous absorption: photodetachment (bound-free) and the free-free
// absorption of electrons passing neutral hydrogen atoms.
// Sources: bound-free: the 85-point cross-section table below, interpolated with map1, ending at
//          the photodetachment threshold 1643.91 nm (0.7542 eV). From 175 to 1630 nm it is Wishart
//          1979 (MNRAS 187, 59P), maximum 4.001e-17 cm^2 at 850 nm; the points below 175 nm (with
//          the autodetachment resonance near 113 nm) have no recorded source.
//          Free-free: Bell & Berrington 1987 (J. Phys. B 20, 801), Table 1: K per H atom per unit
//          electron pressure [1e-26 cm^4 dyn^-1], stimulated emission included, at 22 wavelengths
//          (182.3 to 15189 nm) and 11 theta = 5040/T (0.5 to 3.6).
//          H-minus density from the Saha equation with the electron affinity 0.754209 eV:
//          n(H-) = n/U(H I) ne exp(0.754209/kT) / (4.8296e15 T^1.5) (ground-state weight 1 of H-).
// Inputs:  FREQ, EHVKT(J), STIM(J), BNU(J); T(J), TKEV(J); XNE(J), RHO(J); BHYD(J,1), BMIN(J)
//          departure coefficients of the hydrogen ground level and of H-minus; XNFPH(J,1) n/U of
//          H I [cm^-3].
// Output:  AHMIN(J) [cm^2 g^-1]; SHMIN(J) [units of BNU]: free-free at BNU, bound-free with the
//          correction (1 - EHVKT/BMIN) and the source function BNU STIM / (BMIN - EHVKT).
// Valid:   free-free: linear in ln K against ln wavelength beyond the table's wavelengths, and
//          linear in theta beyond 0.5..3.6. Bound-free: 0 at and beyond 1643.91 nm.
// Deviations from the source: two extrapolations that would turn negative are held at 0. The
//          bound-free interpolation below about 12.9 nm (straight line through the first two
//          points) and in the sliver between 1643.91 nm and the cut at 1.82365e14 Hz
//          (1643.9144 nm), where the line through the last two points has passed 0. The free-free
//          coefficient of a hot depth at X-ray wavelengths: extrapolated to short wavelengths the
//          coefficients of the theta nodes 0.5 and 0.6 drift apart, and the line in theta through
//          them reaches 0 at theta = 0.26 (19400 K) at 2 nm, below 0 for hotter depths (at the
//          longest wavelengths the line through 2.8 and 3.6 does the same below about 550 K).
#include "opacity/hminop.h"

#include <algorithm>
#include <cmath>

#include "common/array.h"
#include "common/constants.h"
#include "common/map1.h"
#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/hminop_cache.h"

namespace atmotab {
namespace {

// theta = 5040/T of the free-free table.
constexpr double THETAFF[11] = {
    sp(0.5f), sp(0.6f), sp(0.8f), sp(1.0f), sp(1.2f), sp(1.4f),
    sp(1.6f), sp(1.8f), sp(2.0f), sp(2.8f), sp(3.6f),
};
// Photon energy of the free-free wavelengths: wavelength [nm] = 91.134 / WAVEK.
constexpr double WAVEK[22] = {
    sp(0.5f),  sp(0.4f),  sp(0.35f), sp(0.3f),  sp(0.25f),  sp(0.2f),   sp(0.18f), sp(0.16f),
    sp(0.14f), sp(0.12f), sp(0.1f),  sp(0.09f), sp(0.08f),  sp(0.07f),  sp(0.06f), sp(0.05f),
    sp(0.04f), sp(0.03f), sp(0.02f), sp(0.01f), sp(0.008f), sp(0.006f),
};
// TABFF: free-free K [1e-26 cm^4 dyn^-1] per WAVEK (rows) and THETAFF (columns).
constexpr double TABFF[22][11] = {
    {sp(0.0178f), sp(0.0222f), sp(0.0308f), sp(0.0402f), sp(0.0498f), sp(0.0596f), sp(0.0695f),
     sp(0.0795f), sp(0.0896f), sp(0.131f), sp(0.172f)},  // 0.5
    {sp(0.0228f), sp(0.028f), sp(0.0388f), sp(0.0499f), sp(0.0614f), sp(0.0732f), sp(0.0851f),
     sp(0.0972f), sp(0.11f), sp(0.16f), sp(0.211f)},  // 0.4
    {sp(0.0277f), sp(0.0342f), sp(0.0476f), sp(0.0615f), sp(0.076f), sp(0.0908f), sp(0.105f),
     sp(0.121f), sp(0.136f), sp(0.199f), sp(0.262f)},  // 0.35
    {sp(0.0364f), sp(0.0447f), sp(0.0616f), sp(0.0789f), sp(0.0966f), sp(0.114f), sp(0.132f),
     sp(0.15f), sp(0.169f), sp(0.243f), sp(0.318f)},  // 0.3
    {sp(0.052f), sp(0.0633f), sp(0.0859f), sp(0.108f), sp(0.131f), sp(0.154f), sp(0.178f),
     sp(0.201f), sp(0.225f), sp(0.321f), sp(0.418f)},  // 0.25
    {sp(0.0791f), sp(0.0959f), sp(0.129f), sp(0.161f), sp(0.194f), sp(0.227f), sp(0.26f),
     sp(0.293f), sp(0.327f), sp(0.463f), sp(0.602f)},  // 0.2
    {sp(0.0965f), sp(0.117f), sp(0.157f), sp(0.195f), sp(0.234f), sp(0.272f), sp(0.311f),
     sp(0.351f), sp(0.39f), sp(0.549f), sp(0.711f)},  // 0.18
    {sp(0.121f), sp(0.146f), sp(0.195f), sp(0.241f), sp(0.288f), sp(0.334f), sp(0.381f), sp(0.428f),
     sp(0.475f), sp(0.667f), sp(0.861f)},  // 0.16
    {sp(0.154f), sp(0.188f), sp(0.249f), sp(0.309f), sp(0.367f), sp(0.424f), sp(0.482f), sp(0.539f),
     sp(0.597f), sp(0.83f), sp(1.07f)},  // 0.14
    {sp(0.208f), sp(0.25f), sp(0.332f), sp(0.409f), sp(0.484f), sp(0.557f), sp(0.63f), sp(0.702f),
     sp(0.774f), sp(1.06f), sp(1.36f)},  // 0.12
    {sp(0.293f), sp(0.354f), sp(0.468f), sp(0.576f), sp(0.677f), sp(0.777f), sp(0.874f), sp(0.969f),
     sp(1.06f), sp(1.45f), sp(1.83f)},  // 0.1
    {sp(0.358f), sp(0.432f), sp(0.572f), sp(0.702f), sp(0.825f), sp(0.943f), sp(1.06f), sp(1.17f),
     sp(1.28f), sp(1.73f), sp(2.17f)},  // 0.09
    {sp(0.448f), sp(0.539f), sp(0.711f), sp(0.871f), sp(1.02f), sp(1.16f), sp(1.29f), sp(1.43f),
     sp(1.57f), sp(2.09f), sp(2.6f)},  // 0.08
    {sp(0.579f), sp(0.699f), sp(0.924f), sp(1.13f), sp(1.33f), sp(1.51f), sp(1.69f), sp(1.86f),
     sp(2.02f), sp(2.67f), sp(3.31f)},  // 0.07
    {sp(0.781f), sp(0.94f), sp(1.24f), sp(1.52f), sp(1.78f), sp(2.02f), sp(2.26f), sp(2.48f),
     sp(2.69f), sp(3.52f), sp(4.31f)},  // 0.06
    {sp(1.11f), sp(1.34f), sp(1.77f), sp(2.17f), sp(2.53f), sp(2.87f), sp(3.2f), sp(3.51f),
     sp(3.8f), sp(4.92f), sp(5.97f)},  // 0.05
    {sp(1.73f), sp(2.08f), sp(2.74f), sp(3.37f), sp(3.9f), sp(4.5f), sp(5.01f), sp(5.5f), sp(5.95f),
     sp(7.59f), sp(9.06f)},  // 0.04
    {sp(3.04f), sp(3.65f), sp(4.8f), sp(5.86f), sp(6.86f), sp(7.79f), sp(8.67f), sp(9.5f),
     sp(10.3f), sp(13.2f), sp(15.6f)},  // 0.03
    {sp(6.79f), sp(8.16f), sp(10.7f), sp(13.1f), sp(15.3f), sp(17.4f), sp(19.4f), sp(21.2f),
     sp(23.0f), sp(29.5f), sp(35.0f)},  // 0.02
    {sp(27.0f), sp(32.4f), sp(42.6f), sp(51.9f), sp(60.7f), sp(68.9f), sp(76.8f), sp(84.2f),
     sp(91.4f), sp(117.0f), sp(140.0f)},  // 0.01
    {sp(42.3f), sp(50.6f), sp(66.4f), sp(80.8f), sp(94.5f), sp(107.0f), sp(120.0f), sp(131.0f),
     sp(142.0f), sp(183.0f), sp(219.0f)},  // 0.008
    {sp(75.1f), sp(90.0f), sp(118.0f), sp(144.0f), sp(168.0f), sp(191.0f), sp(212.0f), sp(234.0f),
     sp(253.0f), sp(325.0f), sp(388.0f)},  // 0.006
};
// Bound-free table: wavelength [nm], increasing, and cross-section [1e-18 cm^2].
constexpr double WBF[85] = {
    sp(18.0f),    sp(19.6f),   sp(21.4f),   sp(23.6f),   sp(26.4f),   sp(29.8f),   sp(34.3f),
    sp(40.4f),    sp(49.1f),   sp(62.6f),   sp(111.3f),  sp(112.1f),  sp(112.67f), sp(112.95f),
    sp(113.05f),  sp(113.1f),  sp(113.2f),  sp(113.23f), sp(113.5f),  sp(114.4f),  sp(121.0f),
    sp(139.0f),   sp(164.0f),  sp(175.0f),  sp(200.0f),  sp(225.0f),  sp(250.0f),  sp(275.0f),
    sp(300.0f),   sp(325.0f),  sp(350.0f),  sp(375.0f),  sp(400.0f),  sp(425.0f),  sp(450.0f),
    sp(475.0f),   sp(500.0f),  sp(525.0f),  sp(550.0f),  sp(575.0f),  sp(600.0f),  sp(625.0f),
    sp(650.0f),   sp(675.0f),  sp(700.0f),  sp(725.0f),  sp(750.0f),  sp(775.0f),  sp(800.0f),
    sp(825.0f),   sp(850.0f),  sp(875.0f),  sp(900.0f),  sp(925.0f),  sp(950.0f),  sp(975.0f),
    sp(1000.0f),  sp(1025.0f), sp(1050.0f), sp(1075.0f), sp(1100.0f), sp(1125.0f), sp(1150.0f),
    sp(1175.0f),  sp(1200.0f), sp(1225.0f), sp(1250.0f), sp(1275.0f), sp(1300.0f), sp(1325.0f),
    sp(1350.0f),  sp(1375.0f), sp(1400.0f), sp(1425.0f), sp(1450.0f), sp(1475.0f), sp(1500.0f),
    sp(1525.0f),  sp(1550.0f), sp(1575.0f), sp(1600.0f), sp(1610.0f), sp(1620.0f), sp(1630.0f),
    sp(1643.91f),
};
constexpr double BF[85] = {
    sp(0.067f), sp(0.088f), sp(0.117f), sp(0.155f), sp(0.206f),  sp(0.283f),  sp(0.414f),
    sp(0.703f), sp(1.24f),  sp(2.33f),  sp(11.6f),  sp(13.9f),   sp(24.3f),   sp(66.7f),
    sp(95.0f),  sp(56.6f),  sp(20.0f),  sp(14.6f),  sp(8.5f),    sp(7.1f),    sp(5.43f),
    sp(5.91f),  sp(7.29f),  sp(7.918f), sp(9.453f), sp(11.08f),  sp(12.75f),  sp(14.46f),
    sp(16.19f), sp(17.92f), sp(19.65f), sp(21.35f), sp(23.02f),  sp(24.65f),  sp(26.24f),
    sp(27.77f), sp(29.23f), sp(30.62f), sp(31.94f), sp(33.17f),  sp(34.32f),  sp(35.37f),
    sp(36.32f), sp(37.17f), sp(37.91f), sp(38.54f), sp(39.07f),  sp(39.48f),  sp(39.77f),
    sp(39.95f), sp(40.01f), sp(39.95f), sp(39.77f), sp(39.48f),  sp(39.06f),  sp(38.53f),
    sp(37.89f), sp(37.13f), sp(36.25f), sp(35.28f), sp(34.19f),  sp(33.01f),  sp(31.72f),
    sp(30.34f), sp(28.87f), sp(27.33f), sp(25.71f), sp(24.02f),  sp(22.26f),  sp(20.46f),
    sp(18.62f), sp(16.74f), sp(14.85f), sp(12.95f), sp(11.07f),  sp(9.211f),  sp(7.407f),
    sp(5.677f), sp(4.052f), sp(2.575f), sp(1.302f), sp(0.8697f), sp(0.4974f), sp(0.1989f),
    sp(0.0f),
};

constexpr double FREQ_THRESHOLD = 1.82365e14;  // photodetachment threshold [Hz]

// The free-free table in logarithmic form, once per run: FFLOG = ln(K/theta x k 5040) (the
// coefficient per H atom and per electron [1e-26 cm^5]: Pe = ne k 5040/theta, k 5040 =
// 6.95851632e-13 erg) and WFFLOG = ln wavelength.
void hminop_fftable(HminopRec& m) {
  if (m.FFREADY) return;
  for (int i = 1; i <= 22; ++i) {
    m.WFFLOG(i) = std::log(91.134 / WAVEK[i - 1]);
    for (int t = 1; t <= 11; ++t)
      m.FFLOG(i, t) = std::log(TABFF[i - 1][t - 1] / THETAFF[t - 1] * 6.95851632e-13);
  }
  m.FFREADY = true;
}

// Per model: theta, its free-free cell, and the H-minus density.
void hminop_prepare(Run& run) {
  HminopRec& m = hminop_cache(run);
  if (m.MODEL == model_key(run)) return;
  const BhydRec& h = run.BHYD;
  m.ITLO = 11;
  m.ITHI = 2;
  m.BMIN1 = true;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    m.BMIN1 = m.BMIN1 && h.BMIN(j) == 1.0;
    const double T = run.TEMP.T(j);
    m.THETA(j) = 5040 / T;
    int i = 2;
    while (i < 11 && !(THETAFF[i - 1] > m.THETA(j))) ++i;
    m.ITHETA(j) = i;
    m.ITLO = std::min(m.ITLO, i);
    m.ITHI = std::max(m.ITHI, i);
    m.DTHETA(j) = m.THETA(j) - THETAFF[i - 2];
    m.XHMIN(j) = std::exp(sp(0.754209f) / run.TEMP.TKEV(j)) / (T * 4.8296e15 * std::sqrt(T)) *
                 h.BMIN(j) * h.BHYD(j, 1) * h.XNFPH(j, 1) * run.STATE.XNE(j);
  }
  m.MODEL = model_key(run);
}

}  // namespace

double hminop_bf(double FREQ) {
  if (!(FREQ > FREQ_THRESHOLD)) return 0.0;
  const double WAVE = CLIGHT_NM / FREQ;  // [nm]
  double HMINBF = 0.0;
  map1(WBF, BF, 85, &WAVE, &HMINBF, 1);
  return std::max(0.0, HMINBF);
}

ATMOTAB_VECTOR_CLONES void hminop(Run& run) {
  HminopRec& m = hminop_cache(run);
  hminop_fftable(m);
  hminop_prepare(run);
  const Run::FreqRec& f = run.FREQ;
  BhydRec& h = run.BHYD;

  // Free-free coefficient at this wavelength for each theta of the table that the model's
  // temperatures use (nodes ITLO-1 .. ITHI): linear in ln K against ln wavelength; and its slope in
  // theta over each of those cells.
  const double WAVELOG = std::log(CLIGHT_NM / f.FREQ);
  int i = 2;
  while (i < 22 && !(m.WFFLOG(i) > WAVELOG)) ++i;
  double FFTT[11] = {}, SLOPE[11] = {};
  for (int t = m.ITLO - 1; t <= m.ITHI; ++t)
    FFTT[t - 1] = std::exp(m.FFLOG(i - 1, t) + (m.FFLOG(i, t) - m.FFLOG(i - 1, t)) /
                                                   (m.WFFLOG(i) - m.WFFLOG(i - 1)) *
                                                   (WAVELOG - m.WFFLOG(i - 1)));
  for (int t = m.ITLO; t <= m.ITHI; ++t)
    SLOPE[t - 1] = (FFTT[t - 1] - FFTT[t - 2]) / (THETAFF[t - 1] - THETAFF[t - 2]);

  // Per depth: free-free at the depth's theta (linear in theta), bound-free with its correction
  // for stimulated emission (1 - EHVKT/BMIN), and the source function where the total is
  // positive. The depth loop has no branches, so that it vectorizes.
  const double HMINBF = hminop_bf(f.FREQ);
  const int nrhox = run.RHOX.NRHOX;
  double FFTHETA[NDEPTH];
  for (int j = 1; j <= nrhox; ++j) {
    const int it = m.ITHETA(j);
    FFTHETA[j - 1] = std::max(0.0, FFTT[it - 2] + SLOPE[it - 1] * m.DTHETA(j));
  }
  const double* EHVKT = f.EHVKT.data();
  const double* STIM = f.STIM.data();
  const double* BNU = f.BNU.data();
  const double* BMIN = h.BMIN.data();
  const double* B1 = &h.BHYD(1, 1);
  const double* XNFPH1 = &h.XNFPH(1, 1);
  const double* XHMIN = m.XHMIN.data();
  const double* RHO = run.STATE.RHO.data();
  const double* XNE = run.STATE.XNE.data();
  // EHVKT / BMIN: EHVKT itself where every BMIN of the model is 1 (a division by 1 is exact).
  double EBUF[NDEPTH];
  const double* EB = EHVKT;
  if (!m.BMIN1) {
    for (int j = 0; j < nrhox; ++j) EBUF[j] = EHVKT[j] / BMIN[j];
    EB = EBUF;
  }
  double A[NDEPTH], S[NDEPTH], DIV[NDEPTH];
  for (int j = 0; j < nrhox; ++j) {
    const double H = (1 - EB[j]) * HMINBF * 1e-18 * XHMIN[j] / RHO[j];
    const double HMINFF = FFTHETA[j] * 2 * XNFPH1[j] * B1[j] * XNE[j] / RHO[j] * 1e-26;
    A[j] = HMINFF + H;
    DIV[j] = HMINFF + H > 0 ? HMINFF + H : 1.0;
    S[j] = BNU[j] * HMINFF + BNU[j] * STIM[j] * H / (BMIN[j] - EHVKT[j]);
  }
  // The source function where AHMIN > 0; elsewhere it keeps the driver's 0.
  for (int j = 0; j < nrhox; ++j) S[j] = S[j] / DIV[j];
  for (int j = 0; j < nrhox; ++j) {
    h.AHMIN.data()[j] = A[j];
    h.SHMIN.data()[j] = A[j] > 0 ? S[j] : 0.0;
  }
}

}  // namespace atmotab
