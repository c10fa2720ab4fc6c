// The AVX-512 kernels once more, built for VBMI as well (Ice Lake, Zen 4 and
// later): candidates come from table lookups of the needles' first bytes, so
// a state that waits for eight texts searches as fast as one that waits for
// one. Chosen only after a run-time check of the processor.
#define QV_KERNELS_VBMI 1
#include "search/block_kernels_avx512.cpp"
