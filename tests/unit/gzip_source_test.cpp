// Compressed logs read as the text they hold: members, truncation, damage,
// and text that merely looks compressed.
#include "sources/gzip_source.h"
#include "support/reference_reader.h"
#include "test_util.h"

#include "gzip_member.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <zlib.h>

namespace qv {
namespace {

using test::gzipMember;

struct Inflated {
    std::vector<std::string> reads;
    bool error = false;
    std::string why;
};

// Every read of a log made of `bytes`, handed out `chunk` bytes at a time.
Inflated readLog(const std::string& bytes, std::size_t chunk, bool readAhead = false) {
    MemorySource file(bytes, chunk);
    const std::unique_ptr<ByteSource> source = openLogSource(file);
    LineReader reader(*source, kLogReadMax, 4096);
    if (readAhead)
        reader.readAhead();
    Inflated result;
    std::string_view line;
    while (reader.next(line))
        result.reads.emplace_back(line);
    result.error = reader.readError();
    result.why = reader.readErrorText();
    return result;
}

std::string randomLog(std::mt19937& rng, std::size_t size) {
    std::string log;
    while (log.size() < size) {
        log += "12/08/26 01:00:00.000 WQVX     DOFADE:START ";
        log += std::to_string(rng());
        log += rng() % 3 == 0 ? "\r\n" : rng() % 50 == 0 ? "\x1A" : "\n";
    }
    return log;
}

TEST(GzipSource, ReadsAsTheTextItHolds) {
    std::mt19937 rng(5);
    for (int round = 0; round < 40; ++round) {
        const std::string text = randomLog(rng, rng() % 20000);
        const auto expected = test::referenceReads(text, kLogReadMax);
        // One member, or the text cut into several concatenated members.
        std::string archive = gzipMember(text, round % 10);
        if (round % 2 == 1) {
            const std::size_t cut = rng() % (text.size() + 1);
            archive =
                gzipMember(text.substr(0, cut)) + gzipMember("") + gzipMember(text.substr(cut), 1);
        }
        if (round % 3 == 2) // zero padding after the last member, as tape blocks leave
            archive += std::string(rng() % 2000 + 1, '\0');
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
            const Inflated got = readLog(archive, chunk, round % 4 == 3);
            ASSERT_FALSE(got.error) << got.why << " round " << round;
            ASSERT_EQ(got.reads, expected) << "round " << round << " chunk " << chunk;
        }
    }
}

TEST(GzipSource, TruncatedOrDamagedArchivesEndWithAReadError) {
    const std::string text = "line one\nline two\nline three\n";
    const std::string archive = gzipMember(text);
    // Cut short: what could be inflated is read, then the error.
    const Inflated cut = readLog(archive.substr(0, archive.size() - 4), 5);
    EXPECT_TRUE(cut.error);
    EXPECT_EQ(cut.why, "unexpected end of compressed data");
    const Inflated header = readLog(archive.substr(0, 10), 64);
    EXPECT_TRUE(header.error);
    EXPECT_TRUE(header.reads.empty());
    // A damaged byte in the data, and garbage after a whole member.
    std::string damaged = archive;
    damaged[12] = static_cast<char>(damaged[12] ^ 0x55);
    EXPECT_TRUE(readLog(damaged, 64).error);
    const std::vector<std::string> lines{"line one\n", "line two\n", "line three\n"};
    for (const std::string& after : {std::string("not gzip"), std::string(100, '\0') + "x"}) {
        const Inflated trailing = readLog(archive + after, 64);
        EXPECT_TRUE(trailing.error);
        EXPECT_EQ(trailing.reads, lines);
    }
}

// A compressed source that has handed out all it has so far, and would wait.
class WaitingSource final : public ByteSource {
  public:
    explicit WaitingSource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (given_) {
            askedAgain = true;
            return 0;
        }
        given_ = true;
        const std::size_t n = std::min(size, bytes_.size());
        std::memcpy(buffer, bytes_.data(), n);
        return n;
    }
    bool failed() const override { return false; }
    bool askedAgain = false;

  private:
    std::string bytes_;
    bool given_ = false;
};

// A growing compressed log: the text inflated so far is handed out before
// the source is asked for more, where a followed log would wait.
TEST(GzipSource, InflatedTextIsHandedOutBeforeWaitingForMore) {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string line = "12:00:00 first line\n";
    std::string out(256, '\0');
    z.next_in = reinterpret_cast<Bytef*>(line.data());
    z.avail_in = static_cast<uInt>(line.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
    out.resize(z.total_out);
    deflateEnd(&z);

    WaitingSource compressed(out);
    GzipSource source(compressed, "");
    char buffer[4096];
    const std::size_t n = source.read(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), line);
    EXPECT_FALSE(compressed.askedAgain);
}

// The inflater may take all the input while text is still owed: small reads
// of a text that compresses very well must still get all of it, and a member
// ending in the last bytes given must be no truncation.
TEST(GzipSource, SmallReadsOfWholeInputGetAllTheText) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "12/08/26 01:00:00.000 WQVX     DOFADE:START " + std::to_string(i % 7) + "\n";
    const std::string archive = gzipMember(text, 9) + gzipMember(text.substr(0, 1000), 1);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
        MemorySource file(archive);
        GzipSource source(file, "");
        std::string got;
        std::vector<char> buffer(piece);
        for (std::size_t n; (n = source.read(buffer.data(), piece)) > 0;)
            got.append(buffer.data(), n);
        EXPECT_FALSE(source.failed()) << source.errorText() << " piece " << piece;
        EXPECT_EQ(got.size(), text.size() + 1000) << "piece " << piece;
        EXPECT_TRUE(got == text + text.substr(0, 1000)) << "piece " << piece;
    }
}

// Both inflaters name a damaged checksum alike, after the text it guarded.
TEST(GzipSource, ADamagedChecksumIsAnIncorrectDataCheck) {
    const std::string text = "line one\nline two\n";
    std::string archive = gzipMember(text);
    archive[archive.size() - 8] = static_cast<char>(archive[archive.size() - 8] ^ 1);
    const Inflated got = readLog(archive, 64);
    EXPECT_TRUE(got.error) << Inflater::library();
    EXPECT_EQ(got.why, "incorrect data check") << Inflater::library();
}

TEST(GzipSource, OtherBytesPassUnchanged) {
    for (const std::string& plain :
         {std::string(""), std::string("\x1f"), std::string("\x1f\x8b"),
          std::string("\x1f\x8b\x09 not deflate\n"), std::string("plain text\nlog\n")}) {
        const Inflated got = readLog(plain, 1);
        EXPECT_FALSE(got.error);
        EXPECT_EQ(got.reads, test::referenceReads(plain, kLogReadMax)) << plain;
    }
}

} // namespace
} // namespace qv
