// The block search with SSE2, which every x86-64 processor has.
#include "search/block_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(QV_X86_64)
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

struct Sse2 {
    using Vec = __m128i;
    using Mask = Vec;
    static constexpr int kWidth = 16;
    static Vec load(const char* at) { return _mm_loadu_si128(reinterpret_cast<const Vec*>(at)); }
    static Vec splat(char byte) { return _mm_set1_epi8(byte); }
    static Mask none() { return _mm_setzero_si128(); }
    static Mask eq(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
    static Mask both(Mask a, Mask b) { return _mm_and_si128(a, b); }
    static Mask either(Mask a, Mask b) { return _mm_or_si128(a, b); }
    static bool any(Mask m) { return _mm_movemask_epi8(m) != 0; }
    static std::uint64_t bits(Mask v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
};

#include "search/block_kernels.inc"

const qv::kernels::Kernels sse2 = kernelsOf<Sse2>();

} // namespace

namespace qv::kernels {
const Kernels* const sse2Kernels = &sse2;
}
#else
namespace qv::kernels {
const Kernels* const sse2Kernels = nullptr;
}
#endif
