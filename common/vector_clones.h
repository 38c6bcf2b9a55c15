// Loops over the depths that dominate the cost of a model are compiled three times, for AVX-512,
// AVX2 and the baseline instruction set, and the processor picks one when the program starts.
// Every clone gives the same bits: additions, multiplications, divisions and square roots are
// correctly rounded in every instruction set, and -ffp-contract=off keeps them from being fused
// into multiply-adds.
#pragma once

#define ATMOTAB_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
