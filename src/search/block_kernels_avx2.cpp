// The block search with AVX2, used only after a run-time check of the
// processor. This file alone is compiled for AVX2; it shares no inline
// function with the rest of the program.
#include "search/block_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// MSVC compiles AVX2 intrinsics without a flag; clang-cl and the others
// need the file built for AVX2 (see CMakeLists.txt) or leave it out.
#if defined(QV_X86_64) && (defined(__AVX2__) || (defined(_MSC_VER) && !defined(__clang__)))
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

struct Avx2 {
    using Vec = __m256i;
    using Mask = Vec;
    static constexpr int kWidth = 32;
    static Vec load(const char* at) { return _mm256_loadu_si256(reinterpret_cast<const Vec*>(at)); }
    static Vec splat(char byte) { return _mm256_set1_epi8(byte); }
    static Mask none() { return _mm256_setzero_si256(); }
    static Mask eq(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
    static Mask both(Mask a, Mask b) { return _mm256_and_si256(a, b); }
    static Mask either(Mask a, Mask b) { return _mm256_or_si256(a, b); }
    // Only the top bit of each byte of a mask counts: anyBit sets no other.
    static bool any(Mask m) { return _mm256_movemask_epi8(m) != 0; }
    static std::uint64_t bits(Mask v) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
    }

    // Byte shuffles look up 16 entries in each 128-bit half.
    static constexpr bool kNibbleLookup = true;
    static Vec table16(const unsigned char* table) {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
    }
    static Vec lookup16(Vec table, Vec index) { return _mm256_shuffle_epi8(table, index); }
    static Vec lowNibbles(Vec bytes) { return _mm256_and_si256(bytes, splat(0x0F)); }
    static Vec highNibbles(Vec bytes) {
        return _mm256_and_si256(_mm256_srli_epi16(bytes, 4), splat(0x0F));
    }
    static Vec allBits(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    /// The top bit of byte i: byte i of `v` is not zero (one saturating add).
    static Mask anyBit(Vec v) { return _mm256_adds_epu8(v, splat(0x7F)); }
};

#include "search/block_kernels.inc"

const qv::kernels::Kernels avx2 = kernelsOf<Avx2>();

} // namespace

namespace qv::kernels {
const Kernels* const avx2Kernels = &avx2;
}
#else
namespace qv::kernels {
const Kernels* const avx2Kernels = nullptr;
}
#endif
