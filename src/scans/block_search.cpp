#include "scans/block_search.h"

#include <algorithm>
#include <cstring>

#if defined(_MSC_VER) && defined(QV_X86_64)
#include <immintrin.h>
#include <intrin.h>
#endif

namespace qv {

namespace {

// Rough frequency of a byte in log text, used to pick the two bytes of a
// needle that mark a candidate: the rarer the pair, the fewer false alarms.
int commonness(unsigned char c) {
    if (c == ' ')
        return 100;
    if (c >= '0' && c <= '9')
        return 40;
    if (c >= 'a' && c <= 'z')
        return std::strchr("etaoinsrhl", c) ? 45 : 30;
    if (c >= 'A' && c <= 'Z')
        return std::strchr("ETAOINSRHL", c) ? 8 : 5;
    if (c == ':' || c == '.' || c == '/')
        return 25;
    return c < 0x80 ? 3 : 1;
}

kernels::Needle prepare(std::string_view text) {
    kernels::Needle needle{text.data(), text.size(), 0, 0};
    int best = 1 << 30;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (std::size_t j = i + 1; j < text.size(); ++j) {
            const int score = commonness(static_cast<unsigned char>(text[i])) +
                              commonness(static_cast<unsigned char>(text[j]));
            if (score < best) {
                best = score;
                needle.first = i;
                needle.second = j;
            }
        }
    }
    return needle;
}

bool cpuHasAvx2Kernels() {
#if defined(QV_X86_64) && defined(_MSC_VER)
    int regs[4];
    __cpuid(regs, 0);
    if (regs[0] < 7)
        return false;
    __cpuid(regs, 1);
    const bool osSavesYmm = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 6) == 6;
    const bool popcnt = (regs[2] & (1 << 23)) != 0;
    __cpuidex(regs, 7, 0);
    const bool avx2AndBmi = (regs[1] & (1 << 5)) != 0 && (regs[1] & (1 << 3)) != 0;
    return osSavesYmm && popcnt && avx2AndBmi;
#elif defined(QV_X86_64)
    // The AVX2 kernels are also built for popcnt and BMI1, which every AVX2
    // processor has; checked all the same.
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
#else
    return false;
#endif
}

const kernels::Kernels* kernelsFor(SearchPath path) {
    switch (path) {
    case SearchPath::Plain:
        return nullptr;
    case SearchPath::Portable:
        return &kernels::portableKernels;
    case SearchPath::Sse2:
        return kernels::sse2Kernels;
    case SearchPath::Avx2:
        return cpuHasAvx2Kernels() ? kernels::avx2Kernels : nullptr;
    case SearchPath::Auto:
        break;
    }
    if (kernels::avx2Kernels && cpuHasAvx2Kernels())
        return kernels::avx2Kernels;
    return kernels::sse2Kernels ? kernels::sse2Kernels : &kernels::portableKernels;
}

const kernels::Kernels* chosenKernels = kernelsFor(SearchPath::Auto);

// Searched and counted a piece at a time, so that counting reads the bytes
// the search has just brought into the cache.
constexpr std::size_t kPieceSize = 64 * 1024;

} // namespace

NeedleSet::NeedleSet(std::span<const std::string_view> texts) {
    if (texts.size() == 0 || texts.size() > static_cast<std::size_t>(kernels::kMaxNeedles)) {
        searchable_ = false;
        return;
    }
    for (std::string_view text : texts) {
        if (text.empty() || text.size() > kLogReadMax ||
            text.find_first_of("\r\n") != std::string_view::npos)
            searchable_ = false;
        needles_.items[needles_.count++] = prepare(text);
        maxLength_ = std::max(maxLength_, text.size());
        needles_.maxOffset =
            std::max(needles_.maxOffset, needles_.items[needles_.count - 1].second);
    }
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

bool ReadFilter::next(std::string_view& line, const NeedleSet& needles) {
    if (!kernels_ || !needles.searchable() || needles.maxLength() > reader_.maxRead())
        return handOut(line);
    std::size_t searched = 0; // no text starts in this many bytes of pending()
    for (;;) {
        const std::string_view data = reader_.pending();
        const char* const end = data.data() + data.size();
        // Until the input has ended, only positions where every text fits
        // are searched; the rest waits for the next fill.
        const char* const stop =
            reader_.atEnd() ? end : end - std::min(data.size(), needles.maxLength() - 1);
        const char* at = data.data() + searched;
        while (at < stop) {
            const char* pieceEnd = at + std::min<std::size_t>(stop - at, kPieceSize);
            const char* hit = kernels_->find(needles.needles(), at, pieceEnd, end);
            if (!hit) {
                passOver(pieceEnd, false);
                at = pieceEnd;
            } else if (moveToReadOf(hit, needles)) {
                return handOut(line);
            } else {
                at = hit + 1;
            }
        }
        if (reader_.atEnd()) {
            passOver(end, true);
            return false;
        }
        searched = static_cast<std::size_t>(at - reader_.pending().data());
        reader_.fill();
    }
}

bool ReadFilter::handOut(std::string_view& line) {
    if (!reader_.next(line))
        return false;
    ++lineCount_;
    return true;
}

// Moves to the read that holds the text found at `hit`, counting the reads
// before it; true when the text lies wholly inside that read.
bool ReadFilter::moveToReadOf(const char* hit, const NeedleSet& needles) {
    const std::size_t maxRead = reader_.maxRead();
    const char* from = reader_.pending().data();
    const kernels::LineCount before = kernels_->count(from, hit, maxRead);
    // The reads of the hit's line before its own are full reads.
    const std::size_t index = static_cast<std::size_t>(hit - before.rest) / maxRead;
    const char* readStart = before.rest + index * maxRead;
    lineCount_ += before.reads + static_cast<std::int64_t>(index);
    reader_.skip(static_cast<std::size_t>(readStart - from));
    const std::string_view data = reader_.pending();
    return needles.endsBy(hit, readStart + maxRead, data.data() + data.size());
}

// Counts and drops the reads that lie wholly before `searchedEnd`, in which
// no text starts. A line that goes on past it keeps its last read, whose
// end is not known yet, unless the input ends at `searchedEnd` (`final`).
void ReadFilter::passOver(const char* searchedEnd, bool final) {
    const std::size_t maxRead = reader_.maxRead();
    const char* from = reader_.pending().data();
    const kernels::LineCount lines = kernels_->count(from, searchedEnd, maxRead);
    const std::size_t rest = static_cast<std::size_t>(searchedEnd - lines.rest);
    // A full read is certain only with the byte after it in hand and no
    // newline: "\r\n" right after 248 characters would end the read.
    const std::size_t fullReads =
        final ? (rest + maxRead - 1) / maxRead : (rest == 0 ? 0 : (rest - 1) / maxRead);
    const std::size_t dropped = final ? rest : fullReads * maxRead;
    lineCount_ += lines.reads + static_cast<std::int64_t>(fullReads);
    reader_.skip(static_cast<std::size_t>(lines.rest - from) + dropped);
}

} // namespace qv
