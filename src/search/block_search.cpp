#include "search/block_search.h"

#include "search/line_match.h"

#include <algorithm>
#include <cstring>

#if defined(_MSC_VER) && defined(QV_X86_64)
#include <immintrin.h>
#include <intrin.h>
#elif defined(QV_X86_64)
#include <cpuid.h>
#endif

namespace qv {

namespace {

// Rough frequency of a byte in log text (dates, clocks and timecodes make
// digits and ':' common), used to pick the two bytes of a needle that mark a
// candidate: the rarer the pair, the fewer false alarms.
int commonness(unsigned char c) {
    if (c == ' ')
        return 100;
    if (c >= '0' && c <= '9')
        return c == '0' ? 90 : 70;
    if (c == ':' || c == '.' || c == '/')
        return 50;
    if (c >= 'a' && c <= 'z')
        return std::strchr("etaoinsrhl", c) ? 45 : 30;
    if (c >= 'A' && c <= 'Z')
        return std::strchr("ETAOINSRHL", c) ? 8 : 5;
    return c < 0x80 ? 3 : 1;
}

// The pair of bytes of `text` least likely to meet by chance.
kernels::Mark markOf(std::string_view text) {
    kernels::Mark mark{0, 0, text[0], text[0]};
    int best = 1 << 30;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (std::size_t j = i + 1; j < text.size(); ++j) {
            const int score = commonness(static_cast<unsigned char>(text[i])) +
                              commonness(static_cast<unsigned char>(text[j]));
            if (score < best) {
                best = score;
                mark = {i, j, text[i], text[j]};
            }
        }
    }
    return mark;
}

static_assert(kernels::kMaxNeedles <= 8, "a needle is one bit of a table byte");

// Positions 0, 1 and the shortest text's last (2 where it is shorter).
void choosePrefixPositions(kernels::Needles& needles, std::span<const std::string_view> texts) {
    std::size_t shortest = kLogReadMax;
    for (std::string_view text : texts)
        shortest = std::min(shortest, text.size());
    static_assert(kernels::kPrefixBytes == 3);
    needles.prefixAt[0] = 0;
    needles.prefixAt[1] = 1;
    needles.prefixAt[2] = std::max<std::size_t>(shortest, 3) - 1;
}

// Enters the bytes of needle `k` at the table positions in the lookup
// tables; past its end any byte will do.
void addPrefix(kernels::Needles& needles, int k, std::string_view text) {
    const auto bit = static_cast<unsigned char>(1u << k);
    for (std::size_t j = 0; j < kernels::kPrefixBytes; ++j) {
        unsigned char* table = needles.prefix[j];
        const std::size_t at = needles.prefixAt[j];
        if (at < text.size()) {
            const auto byte = static_cast<unsigned char>(text[at]);
            table[byte & 0x7F] |= bit;
            needles.lowNibble[j][byte & 0xF] |= bit;
            needles.highNibble[j][byte >> 4] |= bit;
        } else {
            for (std::size_t b = 0; b < 128; ++b)
                table[b] |= bit;
            for (std::size_t n = 0; n < 16; ++n) {
                needles.lowNibble[j][n] |= bit;
                needles.highNibble[j][n] |= bit;
            }
        }
    }
}

bool sameMark(const kernels::Mark& a, const kernels::Mark& b) {
    return a.firstAt == b.firstAt && a.secondAt == b.secondAt && a.first == b.first &&
           a.second == b.second;
}

// The AVX2 and AVX-512 kernels are also built for popcnt and BMI1, which
// every such processor has; checked all the same.
bool cpuRunsAvx2Kernels() {
#if defined(QV_X86_64) && defined(_MSC_VER)
    int regs[4];
    __cpuid(regs, 0);
    if (regs[0] < 7)
        return false;
    __cpuid(regs, 1);
    const bool osSavesYmm = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0x6) == 0x6;
    const bool popcnt = (regs[2] & (1 << 23)) != 0;
    __cpuidex(regs, 7, 0);
    return osSavesYmm && popcnt && (regs[1] & (1 << 5)) != 0 && (regs[1] & (1 << 3)) != 0;
#elif defined(QV_X86_64)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
#else
    return false;
#endif
}

bool cpuRunsAvx512Kernels() {
    if (!cpuRunsAvx2Kernels())
        return false;
#if defined(QV_X86_64) && defined(_MSC_VER)
    int regs[4];
    __cpuidex(regs, 7, 0);
    // The OS must save the mask and upper vector registers too.
    const bool osSavesZmm = (_xgetbv(0) & 0xE6) == 0xE6;
    return osSavesZmm && (regs[1] & (1 << 16)) != 0 && (regs[1] & (1 << 30)) != 0;
#elif defined(QV_X86_64)
    // The compiler's check covers the operating system's support.
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

// The VBMI kernels are also built for LZCNT, which every such processor
// has; checked all the same.
bool cpuRunsAvx512VbmiKernels() {
    if (!cpuRunsAvx512Kernels())
        return false;
#if defined(QV_X86_64) && defined(_MSC_VER)
    int regs[4];
    __cpuidex(regs, 7, 0);
    const bool vbmi = (regs[2] & (1 << 1)) != 0;
    __cpuid(regs, static_cast<int>(0x80000000));
    if (static_cast<unsigned>(regs[0]) < 0x80000001u)
        return false;
    __cpuid(regs, static_cast<int>(0x80000001));
    return vbmi && (regs[2] & (1 << 5)) != 0;
#elif defined(QV_X86_64)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    const bool lzcnt = __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) && (ecx & (1u << 5)) != 0;
    return lzcnt && __builtin_cpu_supports("avx512vbmi");
#else
    return false;
#endif
}

const kernels::Kernels* kernelsFor(SearchPath path) {
    static const kernels::Kernels* const avx2 =
        cpuRunsAvx2Kernels() ? kernels::avx2Kernels : nullptr;
    static const kernels::Kernels* const avx512 =
        cpuRunsAvx512Kernels() ? kernels::avx512Kernels : nullptr;
    static const kernels::Kernels* const avx512Vbmi =
        cpuRunsAvx512VbmiKernels() ? kernels::avx512VbmiKernels : nullptr;
    switch (path) {
    case SearchPath::Plain:
        return nullptr;
    case SearchPath::Portable:
        return &kernels::portableKernels;
    case SearchPath::Sse2:
        return kernels::sse2Kernels;
    case SearchPath::Avx2:
        return avx2;
    case SearchPath::Avx512:
        return avx512;
    case SearchPath::Avx512Vbmi:
        return avx512Vbmi;
    case SearchPath::Auto:
        break;
    }
    if (avx512Vbmi)
        return avx512Vbmi;
    if (avx512)
        return avx512;
    if (avx2)
        return avx2;
    return kernels::sse2Kernels ? kernels::sse2Kernels : &kernels::portableKernels;
}

const kernels::Kernels* chosenKernels = kernelsFor(SearchPath::Auto);

// Until the input has ended, only positions where every text fits are
// searched; the rest waits for the next fill. A text cannot run past a line
// end, so the lines that are complete are searched whole: a followed log
// must not hold back a read that it already has in full.
const char* searchStop(std::string_view data, std::size_t maxLength) {
    const char* const end = data.data() + data.size();
    const char* stop = end - std::min(data.size(), maxLength - 1);
    for (const char* at = end; at > stop; --at)
        if (at[-1] == '\n')
            return at;
    return stop;
}

} // namespace

NeedleSet::NeedleSet(std::span<const std::string_view> texts) : texts_(texts.begin(), texts.end()) {
    searchable_ = !texts.empty() && texts.size() <= static_cast<std::size_t>(kernels::kMaxNeedles);
    for (std::string_view text : texts) {
        maxLength_ = std::max(maxLength_, text.size());
        // The search stops at a Ctrl-Z (the end of the input) as at a text.
        if (text.empty() || text.size() > kLogReadMax ||
            text.find_first_of(std::string_view("\r\n\x1A", 3)) != std::string_view::npos)
            searchable_ = false;
    }
    if (!searchable_)
        return;
    choosePrefixPositions(needles_, texts);
    for (std::string_view text : texts) {
        addPrefix(needles_, needles_.count, text);
        needles_.items[needles_.count++] = {text.data(), text.size()};
        const kernels::Mark mark = markOf(text);
        const kernels::Mark* marksEnd = needles_.marks + needles_.markCount;
        if (std::none_of(static_cast<const kernels::Mark*>(needles_.marks), marksEnd,
                         [&](const kernels::Mark& m) { return sameMark(m, mark); }))
            needles_.marks[needles_.markCount++] = mark;
        needles_.maxOffset = std::max(needles_.maxOffset, mark.secondAt);
    }
}

bool NeedleSet::foundIn(std::string_view line) const {
    for (std::string_view text : texts_)
        if (contains(line, text))
            return true;
    return false;
}

bool NeedleSet::endsBy(const char* at, const char* limit, const char* end) const {
    const std::size_t room = static_cast<std::size_t>(std::min(limit, end) - at);
    for (int k = 0; k < needles_.count; ++k) {
        const kernels::Needle& needle = needles_.items[k];
        if (needle.length <= room && std::memcmp(at, needle.text, needle.length) == 0)
            return true;
    }
    return false;
}

bool setSearchPath(SearchPath path) {
    const kernels::Kernels* chosen = kernelsFor(path);
    if (!chosen && path != SearchPath::Plain)
        return false;
    chosenKernels = chosen;
    return true;
}

ReadFilter::ReadFilter(LineReader& reader, std::int64_t& lineCount)
    : reader_(reader), lineCount_(lineCount), kernels_(chosenKernels) {}

// The kernels count reads from the first line ending of each 64-byte stretch
// alone, which holds only while a read is at least that long.
bool ReadFilter::searchable(const NeedleSet& needles) const {
    return kernels_ && reader_.maxRead() >= 64 && needles.searchable() &&
           needles.maxLength() <= reader_.maxRead();
}

bool ReadFilter::next(std::string_view& line, const NeedleSet& needles) {
    const std::size_t maxRead = reader_.maxRead();
    if (!searchable(needles)) {
        reader_.setCtrlZLookAhead(kCtrlZLookAhead);
        return nextTested(line, needles);
    }
    reader_.setCtrlZLookAhead(0); // the search below sees every byte anyway
    std::size_t searched = 0;     // no text starts in this many bytes of pending()
    for (;;) {
        const std::string_view data = reader_.pending();
        const char* const end = data.data() + data.size();
        const bool last = reader_.atEnd();
        const char* const stop = last ? end : stopFor(data, needles.maxLength());
        const char* at = data.data() + searched;
        while (at < stop) {
            const kernels::Found found =
                kernels_->scan(needles.needles(), reader_.pending().data(), at, stop, end, maxRead);
            if (!found.hit) {
                reader_.markChecked(stop);
                passOver(found.lines, stop, last);
                at = stop;
            } else if (*found.hit == kernels::kEndOfText) {
                reader_.cutAt(found.hit);
                break; // searched again up to the new end
            } else {
                reader_.markChecked(found.hit);
                if (moveToReadOf(found, needles, end))
                    return handOut(line);
                at = found.hit + 1;
            }
        }
        // Left early (at < stop): a Ctrl-Z has ended the input; search again.
        if (last && at >= stop) { // what is left holds no newline
            passOver({0, reader_.pending().data()}, end, true);
            return false;
        }
        searched = static_cast<std::size_t>(at - reader_.pending().data());
        reader_.fill();
    }
}

std::int64_t ReadFilter::countRest(const NeedleSet& needles) {
    std::int64_t matches = 0;
    if (!searchable(needles)) {
        std::string_view line;
        while (next(line, needles))
            ++matches;
        return matches;
    }
    reader_.setCtrlZLookAhead(0);
    std::size_t searched = 0;        // as in `next`
    std::ptrdiff_t countedRead = -1; // offset in pending() of the last read counted
    for (;;) {
        const std::string_view data = reader_.pending();
        const char* const base = data.data();
        const char* const end = base + data.size();
        const bool last = reader_.atEnd();
        const char* const stop = last ? end : end - std::min(data.size(), needles.maxLength() - 1);
        if (base + searched < stop) {
            const kernels::Counted counted =
                kernels_->count(needles.needles(), base, base + searched, stop, end,
                                reader_.maxRead(), countedRead < 0 ? nullptr : base + countedRead);
            if (counted.endOfText) {
                reader_.cutAt(counted.endOfText);
                continue; // counted again up to the new end
            }
            matches += counted.matches;
            reader_.markChecked(stop);
            passOver(counted.lines, stop, last);
            const char* const newBase = reader_.pending().data();
            countedRead = counted.countedRead && counted.countedRead >= newBase
                              ? counted.countedRead - newBase
                              : -1;
            searched = static_cast<std::size_t>(stop - newBase);
        }
        if (last) {
            passOver({0, reader_.pending().data()},
                     reader_.pending().data() + reader_.pending().size(), true);
            return matches;
        }
        reader_.fill();
    }
}

// As searchStop, from what it gave for this buffer before: skipping reads
// only moves the start, and the stop never lies before it.
const char* ReadFilter::stopFor(std::string_view data, std::size_t maxLength) {
    if (stopGeneration_ != reader_.bufferGeneration() || stopLength_ != maxLength) {
        stop_ = searchStop(data, maxLength);
        stopGeneration_ = reader_.bufferGeneration();
        stopLength_ = maxLength;
    }
    return std::max(stop_, data.data());
}

bool ReadFilter::nextTested(std::string_view& line, const NeedleSet& needles) {
    while (reader_.next(line)) {
        ++lineCount_;
        if (needles.foundIn(line))
            return true;
    }
    return false;
}

bool ReadFilter::handOut(std::string_view& line) {
    if (!reader_.next(line))
        return false;
    ++lineCount_;
    return true;
}

// Moves to the read that holds the text found at `found.hit`, counting the
// reads before it; true when the text lies wholly inside that read.
bool ReadFilter::moveToReadOf(const kernels::Found& found, const NeedleSet& needles,
                              const char* end) {
    const std::size_t maxRead = reader_.maxRead();
    // The reads of the hit's line before its own are full reads.
    const std::size_t index = static_cast<std::size_t>(found.hit - found.lines.rest) / maxRead;
    const char* readStart = found.lines.rest + index * maxRead;
    lineCount_ += found.lines.reads + static_cast<std::int64_t>(index);
    reader_.skip(static_cast<std::size_t>(readStart - reader_.pending().data()));
    return needles.endsBy(found.hit, readStart + maxRead, end);
}

// Counts and drops the reads of `lines` and those of the unfinished line
// that lie wholly before `searchedEnd`. That line keeps its last read, whose
// end is not known yet, unless the input ends at `searchedEnd` (`final`).
void ReadFilter::passOver(const kernels::LineCount& lines, const char* searchedEnd, bool final) {
    const std::size_t maxRead = reader_.maxRead();
    const std::size_t rest = static_cast<std::size_t>(searchedEnd - lines.rest);
    // A full read is certain only with the byte after it in hand and no
    // newline: "\r\n" right after 248 characters would end the read.
    const std::size_t fullReads =
        final ? (rest + maxRead - 1) / maxRead : (rest == 0 ? 0 : (rest - 1) / maxRead);
    const std::size_t dropped = final ? rest : fullReads * maxRead;
    lineCount_ += lines.reads + static_cast<std::int64_t>(fullReads);
    reader_.skip(static_cast<std::size_t>(lines.rest - reader_.pending().data()) + dropped);
}

} // namespace qv
