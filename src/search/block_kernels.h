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
/// Ctrl-Z: the input ends there; no needle holds it.
inline constexpr char kEndOfText = '\x1A';

/// One text to find.
struct Needle {
    const char* text;
    std::size_t length;
};

/// Two bytes at fixed offsets from a position that together mark it as a
/// candidate for one or more needles; the offsets may be equal.
struct Mark {
    std::size_t firstAt;
    std::size_t secondAt;
    char first;
    char second;
};

/// Bytes of `kPrefixBytes` positions of the needles, for kernels that look
/// them up in tables: bit k of `prefix[j][b & 0x7F]` is set when needle k
/// has byte b at position `prefixAt[j]`, or is shorter than prefixAt[j] + 1.
/// A byte and the byte 0x80 above it share an entry, which only adds
/// candidates. The positions are 0, 1 and the last of the shortest needle:
/// bytes far apart tell more than neighbours, which in words go together.
/// The same bytes split in nibbles serve kernels that look up 16 entries at
/// a time: bit k of `lowNibble[j][b & 0xF]` and of `highNibble[j][b >> 4]`
/// are both set exactly when byte b would set it in `prefix[j]`, without
/// the sharing (a needle has one byte at each position).
inline constexpr std::size_t kPrefixBytes = 3;

struct Needles {
    Needle items[kMaxNeedles];
    int count;
    Mark marks[kMaxNeedles]; // one per needle, shared ones once
    int markCount;
    std::size_t maxOffset; // largest offset of a mark
    alignas(64) unsigned char prefix[kPrefixBytes][128];
    alignas(16) unsigned char lowNibble[kPrefixBytes][16];
    alignas(16) unsigned char highNibble[kPrefixBytes][16];
    std::size_t prefixAt[kPrefixBytes]; // rising; the last is the largest
};

/// Reads of the complete lines met so far, and where the line that is not
/// finished yet starts (a read start).
struct LineCount {
    std::int64_t reads;
    const char* rest;
};

struct Found {
    const char* hit; // nullptr: no text and no Ctrl-Z starts before `stop`
    LineCount lines; // the lines that end before `hit`, or before `stop`
};

struct Counted {
    const char* endOfText;   // a Ctrl-Z, where counting stopped; nullptr: none before `stop`
    LineCount lines;         // the lines that end before `endOfText`, or before `stop`
    std::int64_t matches;    // reads counted
    const char* countedRead; // where the last read counted starts, or the one passed in
};

struct Kernels {
    /// Searches [from, stop) for the first position where a text occurs whole
    /// within [position, end), or that holds a Ctrl-Z, and counts the reads of the lines that end
    /// on the way: a line of L characters (newline included, "\r\n" counting as one) gives ceil(L /
    /// maxRead) reads. `readStart` starts a read, and [readStart, from) holds no newline.
    Found (*scan)(const Needles& needles, const char* readStart, const char* from, const char* stop,
                  const char* end, std::size_t maxRead);
    /// Searches [from, stop) like `scan` but goes on past the texts, counting
    /// the reads that hold one wholly (within [read start, end)), each read
    /// once; stops only at a Ctrl-Z. `countedRead` is the start of a read
    /// already counted (or nullptr), so that a read searched in two calls
    /// counts once.
    Counted (*count)(const Needles& needles, const char* readStart, const char* from,
                     const char* stop, const char* end, std::size_t maxRead,
                     const char* countedRead);
};

extern const Kernels portableKernels;
/// nullptr where the instruction set is not built in.
extern const Kernels* const sse2Kernels;
extern const Kernels* const avx2Kernels;
extern const Kernels* const avx512Kernels;
/// AVX-512 with VBMI's byte lookups: candidates from table lookups of the
/// needles' first bytes, at the same cost for one needle as for eight.
extern const Kernels* const avx512VbmiKernels;

} // namespace qv::kernels
