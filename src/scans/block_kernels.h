// The inner loops of the block search, one set per instruction set. Only
// plain declarations live here: the kernels are built with different
// compiler targets, and an inline function shared with them could end up
// compiled for the wrong one.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define QV_X86_64 1
#endif

namespace qv::kernels {

inline constexpr int kMaxNeedles = 8;

/// One text to find. `first` and `second` are the offsets of the two bytes
/// whose pair marks a candidate position; they may be equal.
struct Needle {
    const char* text;
    std::size_t length;
    std::size_t first;
    std::size_t second;
};

struct Needles {
    Needle items[kMaxNeedles];
    int count;
    std::size_t maxOffset; // largest `second` (or `first`) of the set
};

/// Reads of the complete lines in a range, and where the unfinished rest
/// (the line that goes on past the range) starts.
struct LineCount {
    std::int64_t reads;
    const char* rest;
};

struct Kernels {
    /// The first position in [from, stop) where a needle occurs whole within
    /// [position, end); nullptr when there is none.
    const char* (*find)(const Needles& needles, const char* from, const char* stop,
                        const char* end);
    /// The reads of the lines in [from, to) that end with a newline there:
    /// a line of L characters (newline included, "\r\n" counting as one)
    /// gives ceil(L / maxRead) reads. `from` starts a read.
    LineCount (*count)(const char* from, const char* to, std::size_t maxRead);
};

extern const Kernels portableKernels;
/// nullptr where the instruction set is not built in.
extern const Kernels* const sse2Kernels;
extern const Kernels* const avx2Kernels;

} // namespace qv::kernels
