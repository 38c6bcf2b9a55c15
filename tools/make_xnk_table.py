#!/usr/bin/env python3
"""Write data/xnk.txt, the hydrogen photoionization table XNK(29,15) of the source xkarsas.

XNK(i, n) is log10 of the photoionization cross-section [cm2] of hydrogen level n = 1..15, summed over
its sublevels l = 0..n-1 and taken per atom in the level (weights (2l+1)/n^2), at photoelectron energy
EKARSAS(i) [Rydberg] above the threshold of the level.

Physics. The cross-section of sublevel (n, l) into the continuum wave l' = l +- 1 at photoelectron
energy eps = k^2 Ry is (non-relativistic dipole approximation; Karzas & Latter 1961, ApJS 6, 167;
Burgess 1965, MmRAS 69, 1)

    sigma(nl -> k l') = (4 pi^2 alpha a0^2 / 3) (1/n^2 + k^2) max(l, l')/(2l+1) |R|^2,

R the radial dipole integral between the bound function P_nl and the regular Coulomb function of
angular momentum l', normalized per Rydberg. Writing P_nl = N r^(l+1) exp(-r/n) M(-n_r, 2l+2, 2r/n)
and F_l'(-1/k, kr) = C k^(l'+1) r^(l'+1) exp(-ikr) M(l'+1+i/k, 2l'+2, 2ikr) (Abramowitz & Stegun 14.1.3),
every term of the bound polynomial gives a Laplace transform of a confluent hypergeometric function,
    int r^(v-1) exp(-s r) M(a, b, c r) dr = Gamma(v) s^-v 2F1(a, v; b; c/s),
with s = 1/n + ik, c = 2ik, v = b + m (m = 1 .. n - l + 2). Euler's transformation turns each 2F1
into (1 - z)^(-a-m) times a terminating 2F1(b-a, -m; b; z), z = 2ik/s, where |1 - z| = 1, and
|(1-z)^-a|^2 = exp(-4 arctan(nk)/k). So |R|^2 is a finite double sum, evaluated here in 50-digit
decimal complex arithmetic (the sums cancel strongly at high energies; 120 digits give the same
doubles), times closed-form factors; every factor is finite at threshold (k = 0), where the sum is
taken at its limit. This reproduces the closed form for n = 1 (2^9 pi^2/3 alpha a0^2 e^-4 at threshold)
to 1e-15 and the R-matrix values of Nahar 2021 (Atoms 9, 73) to 1.4e-4 dex for n = 1..15.

Scale. The table is the exact Gaunt factor g = sigma / sigma_Kramers (a pure number, the same for any
nuclear mass; CODATA 2018 alpha, a0 in both) times the Kramers cross-section of the program,
2.815e29 / (n^5 nu^3) with nu = (eps + 1/n^2) x 109677.58 cm-1 x c: the scale of the quasi-continuum
and free-free terms beside it (FREQ3 = 2.815e29/nu^3) and of the program's reference rows, which it
then matches to 6e-5 dex. (The absolute infinite-mass cross-section is 0.00064 dex lower, the
reduced-mass one 0.0011 dex lower.)

Reference entries: the whole row n = 1, the threshold values XNK(29, n) and the first values XNK(1, n)
are fixed values that the program's results rest on (its reference values, data/PROVENANCE.md); the
table holds them verbatim, and check_reference() reports how far the computation is from them.

Usage: make_xnk_table.py [--output FILE]   (default: data/xnk.txt beside this script; about 3 s)
"""

import argparse
import decimal
import math
import os
import struct
from decimal import Decimal

ALPHA = 7.2973525693e-3  # fine-structure constant (CODATA 2018)
A0 = 5.29177210903e-9  # Bohr radius [cm] (CODATA 2018)
KRAMERS = 2.815e29  # the program's Kramers constant [cgs]: sigma = KRAMERS g / (n^5 nu^3)
RYD_H = 109677.58  # hydrogen Rydberg constant of the program [cm-1]
CLIGHT = 29979245800.0  # [cm s-1]
PREC = 50  # decimal digits of the matrix-element sums

NLEVEL = 15
# Photoelectron energy above the level threshold [Ry], the grid of the table (single-precision values).
EKARSAS_TEXT = ("10000", "4444", "2500", "1111", "400", "204.1", "100", "44.44", "25", "16", "11.11",
                "6.25", "4", "2.778", "2.041", "1.562", "1.235", "1", "0.6944", "0.4444", "0.25",
                "0.1111", "0.04", "0.02041", "0.01", "0.004444", "0.0025", "0.001111", "0")

# The program's reference values: row n = 1, thresholds XNK(29, n) and first values XNK(1, n).
REFERENCE_ROW1 = (-30.274422, -29.048573, -28.181067, -26.962273, -25.437868, -24.44417, -23.404268,
            -22.24842, -21.454163, -20.858944, -20.390347, -19.694283, -19.200905, -18.835386,
            -18.556686, -18.339363, -18.168213, -18.030237, -17.826632, -17.633455, -17.461067,
            -17.322353, -17.245241, -17.223162, -17.211266, -17.20484, -17.202587, -17.200998,
            -17.199715)
REFERENCE_THRESHOLD = (-17.199715, -16.857754, -16.666368, -16.533276, -16.431185, -16.348398, -16.27879,
                 -16.218699, -16.16591, -16.118795, -16.076227, -16.037495, -16.001879, -15.96893,
                 -15.93834)
REFERENCE_FIRST = (-30.274422, -31.779474, -32.659912, -33.2846, -33.769146, -34.16505, -34.499783,
             -34.78974, -35.045506, -35.274292, -35.481255, -35.670197, -35.84401, -36.004932,
             -36.154747)


def single(x):
    """X rounded to single precision (the program's EKARSAS constants are singles)."""
    return struct.unpack("f", struct.pack("f", x))[0]


EKARSAS = tuple(single(float(t)) for t in EKARSAS_TEXT)
assert len(EKARSAS) == 29


class Complex:
    """Minimal complex arithmetic on decimal.Decimal parts (the current decimal context applies)."""

    __slots__ = ("re", "im")

    def __init__(self, re, im=Decimal(0)):
        self.re, self.im = re, im

    def __add__(self, o):
        return Complex(self.re + o.re, self.im + o.im)

    def __mul__(self, o):
        if isinstance(o, Complex):
            return Complex(self.re * o.re - self.im * o.im, self.re * o.im + self.im * o.re)
        return Complex(self.re * o, self.im * o)

    def __truediv__(self, o):
        d = o.re * o.re + o.im * o.im
        return Complex((self.re * o.re + self.im * o.im) / d, (self.im * o.re - self.re * o.im) / d)

    def conj(self):
        return Complex(self.re, -self.im)

    def abs2(self):
        return self.re * self.re + self.im * self.im

    def power(self, e):
        """self**e for an integer e."""
        base = Complex(Decimal(1)) / self if e < 0 else self
        out, e = Complex(Decimal(1)), abs(e)
        while e:
            if e & 1:
                out = out * base
            base = base * base
            e >>= 1
        return out


def pochhammer(a, q):
    """Rising factorial (a)_q of an integer a."""
    out = 1
    for p in range(q):
        out *= a + p
    return out


def radial_integral_sq(n, l, lp, eps, prec=PREC):
    """|R|^2 [a0^2 per Ry] of the dipole integral <P_nl | r | F_lp(eps)>, F normalized per Rydberg."""
    f = math.factorial
    with decimal.localcontext() as ctx:
        ctx.prec = prec
        k = Decimal(eps).sqrt()
        s = Complex(Decimal(1) / n, k)
        sc = s.conj()
        nr, b = n - l - 1, 2 * lp + 2
        total = Complex(Decimal(0))
        for j in range(nr + 1):
            # Bound polynomial coefficient of r^(l+1+j): (-n_r)_j / ((2l+2)_j j!) (2/n)^j.
            beta = Decimal(pochhammer(-nr, j)) / Decimal(pochhammer(2 * l + 2, j) * f(j))
            beta *= (Decimal(2) / n) ** j
            v, m = l + lp + j + 4, l - lp + j + 2
            # Terminating 2F1(b-a, -m; b; z); each factor (b-a+p) z = 2 (1 + i k (lp+1+p)) / s.
            hyp, prod = Complex(Decimal(0)), Complex(Decimal(1))
            for q in range(m + 1):
                hyp = hyp + prod * (Decimal(pochhammer(-m, q)) / Decimal(pochhammer(b, q) * f(q)))
                prod = prod * (Complex(Decimal(2), 2 * k * (lp + 1 + q)) / s)
            total = total + s.power(m - v) * sc.power(-m) * hyp * (beta * f(v - 1))
        norm2 = (Decimal(2) / n) ** (2 * l + 3) / Decimal(f(2 * l + 1)) ** 2
        norm2 *= Decimal(f(n + l)) / Decimal(2 * n * f(n - l - 1))
        coulomb = Decimal(1)
        for q in range(1, lp + 1):
            coulomb *= 1 + q * q * k * k
        coulomb *= 2 * Decimal(4) ** lp / Decimal(f(2 * lp + 1)) ** 2
        value = float(norm2 * coulomb * total.abs2())
    # |(1-z)^-a|^2 / (1 - exp(-2 pi/k)), in double precision (no cancellation), and its threshold limit.
    if eps > 0:
        kf = math.sqrt(eps)
        value *= math.exp(-4 * math.atan(n * kf) / kf) / -math.expm1(-2 * math.pi / kf)
    else:
        value *= math.exp(-4 * n)
    return value


def sigma_exact(n, eps, prec=PREC):
    """Cross-section [cm2] of level n per atom in the level at eps Ry above threshold, infinite mass."""
    total = 0.0
    for l in range(n):
        for lp in (l - 1, l + 1):
            if lp >= 0:
                total += (max(l, lp) / n**2) * radial_integral_sq(n, l, lp, eps, prec)
    return 4 * math.pi**2 * ALPHA * A0**2 / 3 * (1 / n**2 + eps) * total


def gaunt(n, eps):
    """Bound-free Gaunt factor: sigma_exact over the Kramers cross-section with the same constants,
    (64 pi / (3 sqrt 3)) alpha a0^2 n / x^3, x = n^2 eps + 1 the photon energy in threshold units."""
    x = n * n * eps + 1
    return sigma_exact(n, eps) / (64 * math.pi / (3 * math.sqrt(3)) * ALPHA * A0**2 * n / x**3)


def computed_log_sigma(n, eps):
    """log10 of the table's cross-section: the exact Gaunt factor on the program's Kramers scale."""
    nu = (eps + 1 / n**2) * RYD_H * CLIGHT
    return math.log10(KRAMERS * gaunt(n, eps) / (n**5 * nu**3))


def computed_table():
    """XNK as computed, rows[n-1][i-1]."""
    return [[computed_log_sigma(n, eps) for eps in EKARSAS] for n in range(1, NLEVEL + 1)]


def reference_entries():
    """{(n, i): reference value} for every reference entry."""
    ref = {(1, i + 1): v for i, v in enumerate(REFERENCE_ROW1)}
    for n in range(1, NLEVEL + 1):
        ref[(n, 29)] = REFERENCE_THRESHOLD[n - 1]
        ref[(n, 1)] = REFERENCE_FIRST[n - 1]
    assert ref[(1, 1)] == REFERENCE_ROW1[0] and ref[(1, 29)] == REFERENCE_ROW1[28]
    return ref


def check_reference(rows):
    """Largest and median |computed - reference| [dex] over the reference entries."""
    diffs = sorted(abs(rows[n - 1][i - 1] - v) for (n, i), v in reference_entries().items())
    return diffs[-1], diffs[len(diffs) // 2]


def table_text(rows):
    ref = reference_entries()
    largest, median = check_reference(rows)
    out = [
        "# XNK: log10 photoionization cross-section of hydrogen level n per atom in the level [cm2]",
        "# Source: exact non-relativistic bound-free dipole matrix elements (Karzas & Latter 1961, ApJS 6,",
        "#   167; Burgess 1965, MmRAS 69, 1), summed over l = 0..n-1 with weights (2l+1)/n^2: Gaunt factor",
        "#   g = sigma / sigma_Kramers (CODATA 2018 alpha, a0) times the program's Kramers cross-section",
        "#   2.815e29 / (n^5 nu^3), nu = (E + 1/n^2) x 109677.58 cm-1 x c.",
        "# Columns: level n (1..15), then XNK(i,n) for i = 1..29 at photoelectron energy E = EKARSAS(i)",
        "#   [Rydberg] above the threshold of level n: " + " ".join(EKARSAS_TEXT[:10]),
        "#   " + " ".join(EKARSAS_TEXT[10:22]),
        "#   " + " ".join(EKARSAS_TEXT[22:]),
        "# Values are single-precision decimal constants: the loader rounds them to float.",
        "# Edits: row n = 1, column i = 1 and column i = 29 hold the program's reference values; the",
        f"#   computation differs from them by at most {largest:.1e} dex (median {median:.1e}).",
        "# Generator: tools/make_xnk_table.py",
        "format atmotab-xnk 1",
        f"energies 29 levels {NLEVEL}",
    ]
    for n in range(1, NLEVEL + 1):
        vals = [ref.get((n, i), rows[n - 1][i - 1]) for i in range(1, 30)]
        out.append(f"{n:2d} " + " ".join(f"{v:.6f}" for v in vals))
    return "\n".join(out) + "\n"


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--output", default=os.path.join(here, "..", "data", "xnk.txt"))
    args = ap.parse_args(argv)
    with open(args.output, "w", encoding="ascii") as f:
        f.write(table_text(computed_table()))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
