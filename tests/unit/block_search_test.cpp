#include "scan_capture.h"
#include "search/block_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qv {
namespace {

struct Hit {
    std::int64_t number;
    std::string text;
    bool operator==(const Hit&) const = default;
};

struct FilterRun {
    std::vector<Hit> hits;
    std::int64_t lineCount = 0;
    bool operator==(const FilterRun&) const = default;

    using Counts = std::pair<std::int64_t, std::int64_t>; // reads with a text, all reads
    Counts counts() const { return {static_cast<std::int64_t>(hits.size()), lineCount}; }
};

std::ostream& operator<<(std::ostream& os, const FilterRun& run) {
    os << run.lineCount << " reads;";
    for (const Hit& hit : run.hits)
        os << " " << hit.number << ":" << testing::PrintToString(hit.text);
    return os;
}

// A filter over `bytes` with the search `path`; the automatic choice comes
// back when it goes.
struct FilterOver {
    struct PathGuard {
        explicit PathGuard(SearchPath path) { EXPECT_TRUE(setSearchPath(path)); }
        ~PathGuard() { setSearchPath(SearchPath::Auto); }
    };

    FilterOver(const std::string& bytes, SearchPath path, std::size_t bufferSize, bool readAhead)
        : guard(path), input(bytes), reader(input, kLogReadMax, bufferSize) {
        if (readAhead)
            reader.readAhead();
    }

    PathGuard guard; // first: the filter takes the search chosen when it is made
    MemorySource input;
    LineReader reader;
    std::int64_t lineCount = 0;
    ReadFilter filter{reader, lineCount};
};

FilterRun runFilter(const std::string& bytes, const NeedleSet& needles, SearchPath path,
                    std::size_t bufferSize = 1 << 18, bool readAhead = false) {
    FilterOver over(bytes, path, bufferSize, readAhead);
    FilterRun run;
    std::string_view line;
    while (over.filter.next(line, needles))
        run.hits.push_back({over.lineCount, std::string(line)});
    run.lineCount = over.lineCount;
    return run;
}

// The reads holding a text and all reads, counted by the filter without
// handing reads out, after `handedOut` reads that it did hand out.
FilterRun::Counts countRun(const std::string& bytes, const NeedleSet& needles, SearchPath path,
                           std::size_t bufferSize = 1 << 18, int handedOut = 0,
                           bool readAhead = false) {
    FilterOver over(bytes, path, bufferSize, readAhead);
    std::int64_t matches = 0;
    std::string_view line;
    for (int i = 0; i < handedOut && over.filter.next(line, needles); ++i)
        ++matches;
    matches += over.filter.countRest(needles);
    return {matches, over.lineCount};
}

// The reference: every read, tested one by one (here with the standard
// library's search, not the filter's own test).
FilterRun referenceRun(const std::string& bytes, std::span<const std::string_view> texts) {
    MemorySource input(bytes);
    LineReader reader(input);
    FilterRun run;
    std::string_view line;
    while (reader.next(line)) {
        ++run.lineCount;
        for (std::string_view text : texts) {
            if (line.find(text) != std::string_view::npos) {
                run.hits.push_back({run.lineCount, std::string(line)});
                break;
            }
        }
    }
    return run;
}

const std::string x249(249, 'x');

TEST(ReadFilter, TextsAtReadBoundaries) {
    const NeedleSet ab{"ab"};
    struct Case {
        std::string bytes;
        FilterRun expected;
    };
    const Case cases[] = {
        // "ab" straddling the 249 split of a long line is in neither read.
        {std::string(248, 'x') + "ab\nab\n", {{{3, "ab\n"}}, 3}},
        // ... but one that ends on the 249th character is.
        {std::string(247, 'x') + "abx\n", {{{1, std::string(247, 'x') + "ab"}}, 2}},
        // Starting a second read.
        {x249 + "ab\n", {{{2, "ab\n"}}, 2}},
        // CRLF: 247 characters and "ab\r\n" are one read of 249 characters.
        {std::string(245, 'x') + "ab\r\nq\r\n", {{{1, std::string(245, 'x') + "ab\n"}}, 2}},
        // 249 characters and "\r\n" are two reads, the second just "\n".
        {std::string(247, 'x') + "ab\r\nab", {{{1, std::string(247, 'x') + "ab"}, {3, "ab"}}, 3}},
        // A text in two reads of one line is found twice; a line with it twice, once.
        {"ab" + std::string(247, 'x') + "ab\n",
         {{{1, "ab" + std::string(247, 'x')}, {2, "ab\n"}}, 2}},
        {"ab ab ab\n", {{{1, "ab ab ab\n"}}, 1}},
        // Ctrl-Z ends the file, NUL bytes are text, a lone CR stays.
        {"q\nab\x1A"
         "ab\n",
         {{{2, "ab"}}, 2}},
        {std::string("a\0ab\rab\n", 8), {{{1, std::string("a\0ab\rab\n", 8)}}, 1}},
        {"ab\r", {{{1, "ab\r"}}, 1}},
        {"", {{}, 0}},
        {"no match\n" + x249 + x249 + "x\n", {{}, 4}},
    };
    for (SearchPath path : test::fastSearchPaths()) {
        for (const Case& c : cases) {
            EXPECT_EQ(runFilter(c.bytes, ab, path), c.expected)
                << testing::PrintToString(c.bytes) << " path " << static_cast<int>(path);
            EXPECT_EQ(countRun(c.bytes, ab, path), c.expected.counts())
                << testing::PrintToString(c.bytes) << " path " << static_cast<int>(path);
        }
    }
}

TEST(ReadFilter, UnsearchableSetsAreTestedReadByRead) {
    EXPECT_FALSE(NeedleSet({""}).searchable());
    EXPECT_FALSE(NeedleSet({"ab", ""}).searchable());
    EXPECT_FALSE(NeedleSet({"a\r"}).searchable());
    EXPECT_FALSE(NeedleSet({"b\n"}).searchable());
    const std::string x250 = x249 + "x";
    EXPECT_FALSE(NeedleSet({x250}).searchable());
    EXPECT_FALSE(NeedleSet({"1", "2", "3", "4", "5", "6", "7", "8", "ab"}).searchable());
    EXPECT_TRUE(NeedleSet({"1", "2", "3", "4", "5", "6", "7", "8"}).searchable());
    EXPECT_FALSE(NeedleSet({"a\x1A"}).searchable());
    const std::string log = "a\r\nb\nab\na\rx\n";
    struct Case {
        NeedleSet needles;
        SearchPath path;
        FilterRun expected;
    };
    const Case cases[] = {
        {{""}, SearchPath::Auto, {{{1, "a\n"}, {2, "b\n"}, {3, "ab\n"}, {4, "a\rx\n"}}, 4}},
        {{"b\n"}, SearchPath::Auto, {{{2, "b\n"}, {3, "ab\n"}}, 4}},
        {{"a\r"}, SearchPath::Auto, {{{4, "a\rx\n"}}, 4}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "ab"}, SearchPath::Auto, {{{3, "ab\n"}}, 4}},
        {{"x\x1A"}, SearchPath::Auto, {{}, 4}}, // the input ends before any
        {{"ab"}, SearchPath::Plain, {{{3, "ab\n"}}, 4}},
        {{"zz"}, SearchPath::Plain, {{}, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runFilter(log, c.needles, c.path), c.expected);
}

// Random logs of lines whose lengths crowd around multiples of 249, with
// the texts (or their first bytes) near the splits, line ends of every kind,
// NULs, lone CRs and the odd Ctrl-Z.
std::string randomLog(std::mt19937& rng, const std::vector<std::string>& pool) {
    static const char* const ends[] = {"\n", "\r\n", "\r\n", "\n", "", "\r", "\n\n", "\r\r\n"};
    std::string log;
    const std::size_t lines = rng() % 40;
    for (std::size_t i = 0; i < lines; ++i) {
        const unsigned shape = rng() % 4;
        std::size_t length = shape == 0   ? rng() % 20
                             : shape == 1 ? 238 + rng() % 16
                             : shape == 2 ? 486 + rng() % 16
                                          : rng() % 700;
        std::string line(length, 'w');
        for (unsigned k = rng() % 3; k > 0; --k) {
            const std::string& text = pool[rng() % pool.size()];
            const std::string piece = rng() % 8 == 0 ? text.substr(0, 2) : text;
            line.insert(std::min<std::size_t>(line.size(), rng() % (length + 1)), piece);
        }
        if (!line.empty() && rng() % 16 == 0)
            line[rng() % line.size()] = '\0';
        if (rng() % 64 == 0)
            line += '\x1A';
        log += line;
        log += ends[rng() % 8];
    }
    return log;
}

// Random logs and sets of texts from `pool`: every search hands out what
// reading every line does.
void expectSameAsReadingEveryLine(const std::vector<std::string>& pool, unsigned seed, int rounds) {
    std::mt19937 rng(seed);
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    for (int round = 0; round < rounds; ++round) {
        const std::string log = randomLog(rng, pool);
        std::vector<std::string_view> texts(1 + rng() % 8);
        for (std::string_view& text : texts)
            text = pool[rng() % pool.size()];
        const NeedleSet needles(texts);
        const FilterRun expected = referenceRun(log, texts);
        for (SearchPath path : paths) {
            for (std::size_t buffer : {std::size_t{1}, std::size_t{1500}, std::size_t{1} << 18})
                ASSERT_EQ(runFilter(log, needles, path, buffer), expected)
                    << "round " << round << " path " << static_cast<int>(path) << " buffer "
                    << buffer;
            if (round % 5 == 0) { // a thread per run: a sample of the rounds
                ASSERT_EQ(runFilter(log, needles, path, 1000, true), expected)
                    << "read ahead, round " << round << " path " << static_cast<int>(path);
            }
        }
    }
}

TEST(ReadFilter, MatchesReadingEveryLine) {
    expectSameAsReadingEveryLine({"DOFADE:START", "XFER XITION", " src ", "dst 0130",
                                  "SNIFFER STATUS", "a", "CMD-ERROR on TC", "yzx"},
                                 2024, 400);
}

// The table lookups index by seven bits: a byte and the one 0x80 above it
// (0xC4 and 'D', 0x9A and Ctrl-Z) share an entry, and texts of one or two
// bytes leave the later tables open. Neither may change what is handed out.
TEST(ReadFilter, BytesThatShareATableEntryAndShortTexts) {
    expectSameAsReadingEveryLine({"\xC4"
                                  "ab",
                                  "Dab", "ab", "\xE9t\xE9", "it", "x",
                                  "\x9A"
                                  "z",
                                  "iT\xC9"},
                                 77, 200);
}

// The third table looks at the last byte of the set's shortest text: texts
// that differ only there, and sets of long texts (up to a whole read), whose
// lookups reach far past each position, near every buffer end.
TEST(ReadFilter, TextsThatDifferAtTheirEndAndLongTexts) {
    expectSameAsReadingEveryLine({"dst 0130", "dst 0139", "dst 013", "WQVX", "WQVY",
                                  std::string(120, 'L') + "end", std::string(248, 'q') + "Z",
                                  std::string(249, 'q')},
                                 31, 300);
}

// Many texts are looked up by the halves of their bytes: texts made of the
// same few bytes ('A' 0x41, 'B' 0x42, 'Q' 0x51, 'R' 0x52) in other orders,
// so that each half of a byte is in some text where the other half is not.
TEST(ReadFilter, TextsThatShareHalvesOfTheirBytes) {
    expectSameAsReadingEveryLine(
        {"AR-x1", "QB-x1", "BQ-y1", "RA-y1", "QR-x1", "BA-y1", "AB-x1", "RQ-y1", "\xC1R-\xB2"}, 5,
        300);
}

// Bytes in random chunks up to a line end; a request past them is where a
// followed log would wait. It notes how many reads were handed out by then.
class GatedSource final : public ByteSource {
  public:
    GatedSource(std::string_view bytes, std::mt19937& rng, const std::size_t& handedOut)
        : bytes_(bytes), rng_(rng), handedOut_(handedOut) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (pos_ == bytes_.size()) {
            if (handedAtWait_ == SIZE_MAX)
                handedAtWait_ = handedOut_;
            return 0;
        }
        const std::size_t n =
            std::min({size, bytes_.size() - pos_, static_cast<std::size_t>(1 + rng_() % 700)});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    bool failed() const override { return false; }
    std::size_t handedAtWait() const { return handedAtWait_; }

  private:
    std::string_view bytes_;
    std::mt19937& rng_;
    const std::size_t& handedOut_;
    std::size_t pos_ = 0;
    std::size_t handedAtWait_ = SIZE_MAX; // never asked past the end (a Ctrl-Z came first)
};

// Every read that holds a text and ends in the bytes at hand is handed out
// before the filter asks for more: while a log is followed, asking means
// waiting for the next line to be written.
TEST(ReadFilter, HandsOutWhatIsCompleteBeforeAskingForMore) {
    const std::vector<std::string> pool = {"DOFADE:START", "dst 0130", "DOMIX:swrtr trans done",
                                           "a", " src "};
    std::mt19937 rng(77);
    for (int round = 0; round < 300; ++round) {
        std::string log = randomLog(rng, pool);
        const std::size_t cut = log.rfind('\n');
        if (cut == std::string::npos)
            continue;
        log.resize(cut + 1);
        std::vector<std::string_view> texts(1 + rng() % 4);
        for (std::string_view& text : texts)
            text = pool[rng() % pool.size()];
        const NeedleSet needles(texts);
        const std::size_t expected = referenceRun(log, texts).hits.size();
        std::vector<SearchPath> paths = test::fastSearchPaths();
        paths.push_back(SearchPath::Plain); // the line reader's own cut
        for (SearchPath path : paths) {
            ASSERT_TRUE(setSearchPath(path));
            std::size_t handedOut = 0;
            GatedSource source(log, rng, handedOut);
            LineReader reader(source, kLogReadMax, 1 + rng() % 2000);
            std::int64_t lineCount = 0;
            ReadFilter filter(reader, lineCount);
            std::string_view line;
            while (filter.next(line, needles))
                ++handedOut;
            setSearchPath(SearchPath::Auto);
            EXPECT_EQ(handedOut, expected);
            if (source.handedAtWait() != SIZE_MAX) {
                EXPECT_EQ(source.handedAtWait(), expected)
                    << "round " << round << " path " << static_cast<int>(path);
            }
        }
    }
}

TEST(ReadFilter, CountsWhatItWouldHandOut) {
    const std::vector<std::string> pool = {
        "DOFADE:START", " src ", "ab", "SNIFFER STATUS", "a", "CMD-ERROR on TC", "x", "LINK WARN"};
    std::mt19937 rng(77);
    std::vector<SearchPath> paths = test::fastSearchPaths();
    paths.push_back(SearchPath::Plain);
    for (int round = 0; round < 300; ++round) {
        const std::string log = randomLog(rng, pool);
        std::vector<std::string_view> texts(1 + rng() % 3);
        for (std::string_view& text : texts)
            text = pool[rng() % pool.size()];
        const NeedleSet needles(texts);
        const FilterRun::Counts expected = referenceRun(log, texts).counts();
        const int handedOut = static_cast<int>(rng() % 3);
        for (SearchPath path : paths) {
            for (std::size_t buffer : {std::size_t{1}, std::size_t{1500}, std::size_t{1} << 18})
                ASSERT_EQ(countRun(log, needles, path, buffer, handedOut), expected)
                    << "round " << round << " path " << static_cast<int>(path) << " buffer "
                    << buffer;
            if (round % 5 == 0) {
                ASSERT_EQ(countRun(log, needles, path, 1000, handedOut, true), expected)
                    << "read ahead, round " << round << " path " << static_cast<int>(path);
            }
        }
    }
}

// The end of the buffered input lands at every place of a line of 248
// characters and "\r\n", which is one read, and of one of 249 and "\r\n",
// which is two.
TEST(ReadFilter, FillsAtEveryPlaceOfALongLine) {
    const std::string_view texts[] = {"ab", "CMD-ERROR on TC"};
    const std::string tail =
        std::string(248, 'x') + "\r\nab\r\n" + x249 + "\r\n" + x249 + "ab\r\nCMD-ERROR on TC\r\n";
    for (SearchPath path : test::fastSearchPaths()) {
        for (std::size_t prefix = 0; prefix < 1100; ++prefix) {
            const std::string log =
                std::string(prefix % 7, 'p') + "\n" + std::string(prefix, 'q') + "\r\n" + tail;
            for (std::size_t used : {1, 2})
                ASSERT_EQ(runFilter(log, NeedleSet(std::span(texts, used)), path, 1000),
                          referenceRun(log, std::span(texts, used)))
                    << "prefix " << prefix << " path " << static_cast<int>(path);
        }
    }
}

// A Ctrl-Z anywhere in a log of some 40 KB, far beyond where the reader
// looks ahead for one, before, inside and after texts and line ends: every
// search, and plain reading, must see the log as if it ended there.
TEST(ReadFilter, CtrlZEndsTheLogWhereverItIs) {
    std::string log;
    for (std::size_t i = 0; log.size() < 40000; ++i) {
        log += std::string(i * 37 % 300, 'w');
        log += i % 3 == 0 ? "ab" : "a";
        log += i % 5 == 0 ? "\r\n" : "\n";
    }
    const std::string_view texts[] = {"ab"};
    const NeedleSet ab{"ab"};
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    for (std::size_t cut = 0; cut < log.size(); cut += cut < 600 ? 1 : 61) {
        std::string cutLog = log;
        cutLog[cut] = '\x1A';
        const FilterRun expected = referenceRun(log.substr(0, cut), texts);
        ASSERT_EQ(referenceRun(cutLog, texts), expected) << "cut " << cut;
        for (SearchPath path : paths) {
            for (std::size_t buffer : {std::size_t{1000}, std::size_t{1} << 18}) {
                ASSERT_EQ(runFilter(cutLog, ab, path, buffer), expected)
                    << "cut " << cut << " path " << static_cast<int>(path) << " buffer " << buffer;
                ASSERT_EQ(countRun(cutLog, ab, path, buffer), expected.counts())
                    << "cut " << cut << " path " << static_cast<int>(path) << " buffer " << buffer;
            }
            // Reading ahead, with a thread per run, for a sample of the cuts.
            if (cut % 11 == 0) {
                ASSERT_EQ(runFilter(cutLog, ab, path, 1000, true), expected)
                    << "read ahead, cut " << cut << " path " << static_cast<int>(path);
            }
        }
    }
}

} // namespace
} // namespace qv
