// Skipping the reads that cannot matter. A scan that only acts on reads
// holding one of a few texts asks a ReadFilter for the next such read: the
// filter searches whole buffered blocks for the texts and counts the reads
// it passes over from the lengths of their lines (a line of L characters,
// newline included, gives ceil(L / 249) reads). A text that crosses a
// multiple of 249 characters from its line's start is not in any one read
// and is not found, exactly as with reading line by line.
#pragma once

#include "search/block_kernels.h"
#include "search/line_reader.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace qv {

/// The texts a scan waits for. The texts are not copied: they must outlive
/// the set.
class NeedleSet {
  public:
    NeedleSet(std::initializer_list<std::string_view> texts)
        : NeedleSet(std::span<const std::string_view>(texts.begin(), texts.size())) {}
    explicit NeedleSet(std::span<const std::string_view> texts);

    /// False when the texts cannot be searched for in blocks: one is empty
    /// (it is in every read), holds a line end, is longer than a read, or
    /// there are too many. The filter then tests every read by itself.
    bool searchable() const { return searchable_; }
    const kernels::Needles& needles() const { return needles_; }
    std::size_t maxLength() const { return maxLength_; }

    /// True when a text of the set occurs in `line`.
    bool foundIn(std::string_view line) const;
    /// True when a text starts at `at` and ends by `limit` (and by `end`).
    bool endsBy(const char* at, const char* limit, const char* end) const;

  private:
    std::vector<std::string_view> texts_;
    kernels::Needles needles_{};
    std::size_t maxLength_ = 0;
    bool searchable_ = true;
};

/// How the filter searches; `Auto` picks the fastest the processor has.
/// `Plain` reads and tests every line and is the reference the others must
/// match.
enum class SearchPath { Auto, Plain, Portable, Sse2, Avx2, Avx512, Avx512Vbmi };

/// Chooses the search for every filter made from now on; false (and no
/// change) when the path is not available here. For tests and benchmarks.
bool setSearchPath(SearchPath path);

class ReadFilter {
  public:
    /// Counts every read of `reader` in `lineCount`, handed out or skipped.
    ReadFilter(LineReader& reader, std::int64_t& lineCount);

    /// The next read that holds a text of `needles`, with `lineCount` at its
    /// number; the set may change from call to call. False at the end of
    /// the file, with every read counted.
    bool next(std::string_view& line, const NeedleSet& needles);

    /// The number of reads from here to the end of the file that hold a
    /// text of `needles`, with every read counted in `lineCount`. Does what
    /// counting the calls of `next` would, without handing reads out.
    std::int64_t countRest(const NeedleSet& needles);

  private:
    bool nextTested(std::string_view& line, const NeedleSet& needles);
    bool searchable(const NeedleSet& needles) const;
    bool handOut(std::string_view& line);
    bool moveToReadOf(const kernels::Found& found, const NeedleSet& needles, const char* end);
    void passOver(const kernels::LineCount& lines, const char* searchedEnd, bool final);
    const char* stopFor(std::string_view data, std::size_t maxLength);

    LineReader& reader_;
    std::int64_t& lineCount_;
    const kernels::Kernels* kernels_; // nullptr: every read is tested by itself
    // Where the search of the buffered bytes stops, worked out once per
    // buffer rather than once per read handed out.
    std::uint64_t stopGeneration_ = UINT64_MAX;
    std::size_t stopLength_ = 0;
    const char* stop_ = nullptr;
};

} // namespace qv
