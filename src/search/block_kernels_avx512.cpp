// The block search with AVX-512 (F and BW), used only after a run-time
// check of the processor: 64 bytes per compare, and the compares give bit
// masks directly. This file alone is compiled for AVX-512.
#include "search/block_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// MinGW's GCC does not align stack slots beyond 16 bytes, which 64-byte
// vectors spilled to the stack need; that build leaves these kernels out.
#if defined(QV_X86_64) && !(defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)) &&        \
    (defined(__AVX512BW__) || (defined(_MSC_VER) && !defined(__clang__)))
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

#include "search/block_kernels.inc"

const qv::kernels::Kernels avx512 = kernelsOf<Avx512>();

} // namespace

namespace qv::kernels {
const Kernels* const avx512Kernels = &avx512;
}
#else
namespace qv::kernels {
const Kernels* const avx512Kernels = nullptr;
}
#endif
