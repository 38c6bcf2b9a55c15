// hydrogen_dissolved — the photoionization of hydrogen levels from upper states that the plasma
// has dissolved: occupation probabilities of hydrogen states and the absorption they add below
// each level's edge.
#pragma once

#include "common/elements.h"

namespace atmotab {

struct Run;

// The effective quantum number reached from level N by a photon of wavenumber WAVENO [cm^-1]
// below the level's threshold, as 1/n*^2 = (hop_threshold(N) - WAVENO) / hop_threshold(1)
// (hop's term values, so that n* grows without bound at hop's edge). 0 at or above the threshold.
double hydrogen_dissolved_nstar(int N, double WAVENO);

// The occupation probability of a hydrogen state of effective quantum number NSTAR >= 1 at
// temperature T [K], electron density XNE, neutral hydrogen XNH and neutral helium XNHE [cm^-3]:
// the neutral perturbers' hard-sphere factor (Hummer & Mihalas 1988, eq. 4.71) times the charged
// perturbers' fit (Hubeny, Hummer & Lanz 1994, Appendix A; singly charged ions, as many as
// electrons). 1 in the limit of zero densities, falling towards 0 as NSTAR or the densities grow.
double hydrogen_dissolved_w(double NSTAR, double T, double XNE, double XNH, double XNHE);

// The taper of level N's dissolved part at effective quantum number NSTAR: 0 up to the series'
// alpha line (NSTAR <= N + 1), 1 from its beta line (NSTAR >= N + 2), linear in photon energy
// between them.
double hydrogen_dissolved_taper(int N, double NSTAR);

// The dissolved fraction D of level N = 1..8 at wavenumber WAVENO [cm^-1] in the plasma of
// hydrogen_dissolved_w: taper x (1 - w(n*) / w(N)); 0 at or above the level's threshold and
// below its alpha line.
double hydrogen_dissolved_fraction(int N, double WAVENO, double T, double XNE, double XNH,
                                   double XNHE);

// The dissolved-level cross-section of level N [cm^2 per atom in the level] at WAVENO [cm^-1]:
// D x SIGTHR x (hop_threshold(N) / WAVENO)^3, the threshold cross-section SIGTHR [cm^2]
// continued below the edge with Kramers' nu^-3.
double hydrogen_dissolved_sigma(int N, double SIGTHR, double WAVENO, double T, double XNE,
                                double XNH, double XNHE);

// exp(X) for X <= 709 without a library call (so that a depth loop runs in vector instructions):
// relative error below 1e-14; exactly 0 below -708.
double hydrogen_dissolved_exp(double X);

// Adds to A(J), J = 1..NRHOX, the LTE absorption [cm^2 g^-1] of the dissolved parts of levels
// N = 1..8 at the current frequency: sum over N of hydrogen_dissolved_sigma x the LTE
// population of level N (XNFPH(J,1) 2 N^2 exp(-E_N hc/kT), hop's Boltzmann factors) / RHO(J) x
// STIM(J). Its source function is BNU. The per-model factors (occupation probabilities of the
// levels, perturber weights, populations) are formed when the model key changed, from T, XNE,
// RHO, XNFH (neutral H perturbers), XNFHE(J,1) (neutral He) and XNFPH(J,1).
void add_dissolved_hydrogen(Run& run, Dep& A);

}  // namespace atmotab
