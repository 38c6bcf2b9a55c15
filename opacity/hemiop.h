// hemiop — free-free absorption of the negative helium ion (an electron scattered by a neutral
// helium atom).
#pragma once

namespace atmotab {

struct Run;

// AHEMIN(J) [cm^2 g^-1] at the frequency of the FREQ record, J = 1..NRHOX, from T, XNE, RHO and
// XNFPHE(J,1). Switch HEMINUS, IFOP(7).
void hemiop(Run& run);

// The fitted coefficient K(nu, T) = A(nu) T + B(nu) + C(nu) / T of the per-gram absorption
// AHEMIN = K x 1e-45 XNE n(He I) / RHO, held at 0 where the fit goes negative [cm^5].
double hemiop_k(double nu, double T);

}  // namespace atmotab
