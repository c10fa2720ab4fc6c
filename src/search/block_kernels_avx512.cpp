// The block search with AVX-512 (F and BW), used only after a run-time
// check of the processor: 64 bytes per compare, and the compares give bit
// masks directly. This file alone is compiled for AVX-512; with
// QV_KERNELS_VBMI set (block_kernels_vbmi.cpp) it is compiled once more,
// for VBMI too, into the kernels that find candidates by table lookups.
#include "search/block_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(QV_KERNELS_VBMI)
#define QV_AVX512_KERNELS avx512VbmiKernels
#if defined(__AVX512VBMI__)
#define QV_AVX512_BUILT 1
#endif
#else
#define QV_AVX512_KERNELS avx512Kernels
#if defined(__AVX512BW__)
#define QV_AVX512_BUILT 1
#endif
#endif

// MinGW's GCC does not align stack slots beyond 16 bytes, which 64-byte
// vectors spilled to the stack need; that build leaves these kernels out.
#if defined(QV_X86_64) && !(defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)) &&        \
    (defined(QV_AVX512_BUILT) || (defined(_MSC_VER) && !defined(__clang__)))
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

struct Avx512 {
    using Vec = __m512i;
    using Mask = __mmask64;
    static constexpr int kWidth = 64;
    static Vec load(const char* at) { return _mm512_loadu_si512(at); }
    static Vec splat(char byte) { return _mm512_set1_epi8(byte); }
    static Mask none() { return 0; }
    static Mask eq(Vec a, Vec b) { return _mm512_cmpeq_epi8_mask(a, b); }
    static Mask both(Mask a, Mask b) { return a & b; }
    static Mask either(Mask a, Mask b) { return a | b; }
    static bool any(Mask m) { return m != 0; }
    static std::uint64_t bits(Mask m) { return m; }
};

#if defined(QV_KERNELS_VBMI)
// One instruction looks up 64 bytes in a table of 128 (the low seven bits
// of each byte index it), which is what the table finder needs.
struct Avx512Vbmi : Avx512 {
    static constexpr bool kTableLookup = true;
    static Vec lookup(Vec low, Vec index, Vec high) {
        return _mm512_permutex2var_epi8(low, index, high);
    }
    /// Bit i: the three vectors share a set bit in byte i.
    static Mask allSet(Vec a, Vec b, Vec c) {
        return _mm512_test_epi8_mask(_mm512_and_si512(a, b), c);
    }
};
using Kernel = Avx512Vbmi;
#else
using Kernel = Avx512;
#endif

#include "search/block_kernels.inc"

const qv::kernels::Kernels builtKernels = kernelsOf<Kernel>();

} // namespace

namespace qv::kernels {
const Kernels* const QV_AVX512_KERNELS = &builtKernels;
}
#else
namespace qv::kernels {
const Kernels* const QV_AVX512_KERNELS = nullptr;
}
#endif
