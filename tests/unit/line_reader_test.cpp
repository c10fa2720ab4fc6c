#include "support/reference_reader.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>

namespace qv {
namespace {

using Reads = std::vector<std::string>;
using test::readAll;

TEST(LineReader, TextModeConversion) {
    EXPECT_EQ(readAll("a\r\nb\n"), (Reads{"a\n", "b\n"}));
    EXPECT_EQ(readAll("a\rb\n"), (Reads{"a\rb\n"}));       // lone CR stays
    EXPECT_EQ(readAll("a\r\r\nb"), (Reads{"a\r\n", "b"})); // only the CR before LF goes
    EXPECT_EQ(readAll("end\r"), (Reads{"end\r"}));         // CR at end of file stays
    EXPECT_EQ(readAll("a\nb\x1A"
                      "c\nd\n"),
              (Reads{"a\n", "b"})); // Ctrl-Z ends the file
    EXPECT_EQ(readAll("\x1A"
                      "abc"),
              Reads{});
    EXPECT_EQ(readAll(""), Reads{});
    EXPECT_EQ(readAll("no newline"), (Reads{"no newline"}));
    EXPECT_EQ(readAll(std::string("a\0b\n", 4)), (Reads{std::string("a\0b\n", 4)}));
}

TEST(LineReader, LongLinesAreSplitIntoReads) {
    const std::string line249(249, 'x');
    EXPECT_EQ(readAll(line249 + "\n"), (Reads{line249, "\n"}));
    EXPECT_EQ(readAll(std::string(248, 'y') + "\n"), (Reads{std::string(248, 'y') + "\n"}));
    const std::string long300(300, 'z');
    EXPECT_EQ(readAll(long300 + "\nq\n"),
              (Reads{std::string(249, 'z'), std::string(51, 'z') + "\n", "q\n"}));
    // A "\r\n" counts as one character: 248 and "\r\n" fit one read, 249 do not.
    EXPECT_EQ(readAll(std::string(248, 'y') + "\r\nq"), (Reads{std::string(248, 'y') + "\n", "q"}));
    EXPECT_EQ(readAll(line249 + "\r\nq"), (Reads{line249, "\n", "q"}));
    EXPECT_EQ(readAll(line249 + "\r"), (Reads{line249, "\r"}));
    // The config reader's 199-character reads.
    EXPECT_EQ(readAll(std::string(200, 'c') + "\n", 199), (Reads{std::string(199, 'c'), "c\n"}));
}

using test::referenceReads;

// Small buffers put CRs, CRLFs and long lines across every refill boundary.
TEST(LineReader, MatchesReferenceAcrossBufferBoundaries) {
    std::mt19937 rng(12345);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n', 0x1A, '\0'};
    for (int round = 0; round < 300; ++round) {
        std::string raw;
        const std::size_t size = rng() % 3000;
        for (std::size_t i = 0; i < size; ++i) {
            const unsigned pick = rng() % 100;
            raw +=
                pick < 2 && round % 3 == 0 ? alphabet[6] : alphabet[pick % 8 == 6 ? 0 : pick % 8];
        }
        const Reads expected = referenceReads(raw, 249);
        for (std::size_t buffer : {std::size_t{1}, std::size_t{300}, std::size_t{4096}}) {
            ASSERT_EQ(readAll(raw, 249, buffer), expected)
                << "round " << round << " buffer " << buffer;
            ASSERT_EQ(readAll(raw, 249, buffer, true), expected)
                << "read ahead, round " << round << " buffer " << buffer;
        }
    }
}

// A caller that keeps more pending than reading ahead leaves room for gets
// the chunks copied piecemeal; the reads stay the same.
TEST(LineReader, ReadAheadWithMuchPending) {
    std::mt19937 rng(99);
    for (int round = 0; round < 50; ++round) {
        std::string raw;
        for (std::size_t i = rng() % 20000; i > 0; --i)
            raw += "ab\r\n\x1A"[rng() % (round % 4 == 0 ? 5 : 4)];
        const Reads expected = referenceReads(raw, 249);
        MemorySource input(raw);
        LineReader reader(input, 249, 1000);
        reader.readAhead();
        for (unsigned fills = rng() % 12; fills > 0; --fills)
            reader.fill();
        Reads reads;
        std::string_view line;
        while (reader.next(line)) {
            reads.emplace_back(line);
            if (rng() % 16 == 0) // pending grows again
                reader.fill();
        }
        ASSERT_EQ(reads, expected) << "round " << round;
        EXPECT_FALSE(reader.readError());
    }
}

// Reading ahead several chunks stops at the end: a source that has said so
// (a followed log whose follow ended) is not asked again.
class EndsOnce final : public ByteSource {
  public:
    explicit EndsOnce(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (ended_)
            ++askedAfterEnd;
        const std::size_t n = std::min({size, bytes_.size() - at_, std::size_t{700}});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        ended_ = n == 0;
        return n;
    }
    bool failed() const override { return false; }
    std::atomic<int> askedAfterEnd{0};

  private:
    std::string bytes_;
    std::size_t at_ = 0;
    bool ended_ = false;
};

TEST(LineReader, ReadAheadAsksNoMoreAfterTheEnd) {
    std::string raw;
    for (int i = 0; i < 3000; ++i)
        raw += "line " + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    EndsOnce input(raw);
    {
        LineReader reader(input, 249, 1000);
        reader.readAhead();
        Reads reads;
        std::string_view line;
        while (reader.next(line))
            reads.emplace_back(line);
        EXPECT_EQ(reads, referenceReads(raw, 249));
    }
    EXPECT_EQ(input.askedAfterEnd.load(), 0);
}

} // namespace
} // namespace qv
