// lukeop — bound-free absorption of the intermediate metals N I, O I, Mg II, Si II and Ca II
// (switch LUKE), in LTE.
#pragma once

namespace atmotab {

struct Run;

// ALUKE(J) = (n1op XNFN1 + o1op XNFO1 + mg2op XNFMG2 + si2op XNFSI2 + ca2op XNFCA2) STIM / RHO
// [cm^2 g^-1] for J = 1..NRHOX; the five n/U arrays come from the population driver once per
// model.
void lukeop(Run& run);

// Sum over the ion's levels of cross-section x weight x Boltzmann factor [cm^2] at the current
// frequency and the temperature of depth J: multiplied by the ion's n/U it is the absorption per
// cm^3 before stimulated emission. Each keeps its temperature factors per model and its
// cross-sections per frequency in LUKEOP.
double n1op(Run& run, int J);
double o1op(Run& run);
double mg2op(Run& run, int J);
double si2op(Run& run, int J);
double ca2op(Run& run, int J);

// The three-parameter cross-section s0 (a + (1 - a) x) x^p, x = nu0 / FREQ [cm^2], with
// P2 = 2p an integer and x^p = sqrt(x^P2); 0 below the threshold nu0 [Hz].
double lukeop_s(double FREQ, double nu0, double s0, double a, int P2);

}  // namespace atmotab
