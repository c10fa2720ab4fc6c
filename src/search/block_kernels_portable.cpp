// The block search without vector instructions: eight bytes at a time in a
// 64-bit word, for any platform.
#include "search/block_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

struct Word {
    using Vec = std::uint64_t;
    using Mask = Vec;
    static constexpr int kWidth = 8;
    static constexpr Vec kLow7 = 0x7F7F7F7F7F7F7F7Full;
    static constexpr Vec kHigh = 0x8080808080808080ull;

    static Vec load(const char* at) {
        Vec value;
        std::memcpy(&value, at, sizeof value);
        if constexpr (std::endian::native == std::endian::big)
            value = swapBytes(value);
        return value;
    }
    static Vec splat(char byte) { return 0x0101010101010101ull * static_cast<unsigned char>(byte); }
    static Mask none() { return 0; }
    // The high bit of each byte that is equal in a and b; exact, no carries
    // between bytes.
    static Mask eq(Vec a, Vec b) {
        const Vec diff = a ^ b;
        return ~(((diff & kLow7) + kLow7) | diff) & kHigh;
    }
    static Mask both(Mask a, Mask b) { return a & b; }
    static Mask either(Mask a, Mask b) { return a | b; }
    static bool any(Mask m) { return m != 0; }
    // Gathers the high bits: bit i for byte i.
    static std::uint64_t bits(Mask v) { return ((v >> 7) * 0x0102040810204080ull) >> 56; }

    static Vec swapBytes(Vec v) {
        Vec out = 0;
        for (int i = 0; i < 8; ++i)
            out = (out << 8) | ((v >> (8 * i)) & 0xFF);
        return out;
    }
};

#include "search/block_kernels.inc"

} // namespace

namespace qv::kernels {

const Kernels portableKernels = kernelsOf<Word>();

} // namespace qv::kernels
