// Following a file that grows, shrinks or is replaced, in one thread: the
// hooks play the writer, acting each time the source is about to wait.
#include "search/line_reader.h"
#include "sources/follow_source.h"
#include "sources/gzip_source.h"
#include "support/reference_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#ifndef _WIN32
#include <csignal>
#endif

namespace qv {
namespace {

namespace fs = std::filesystem;
using Reads = std::vector<std::string>;

void append(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// Runs `onWait` each time the source would wait, until it asks to stop.
class ScriptedHooks final : public FollowHooks {
  public:
    std::function<void()> onWait;
    bool stop = false;
    bool newer = false;
    int waits = 0;

    void beforeWait() override {
        ++waits;
        if (onWait)
            onWait();
    }
    bool stopRequested() override { return stop; }
    bool superseded() override { return newer; }
};

class FollowFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("qv-follow-" + std::to_string(seed()));
        fs::create_directories(dir_);
        path_ = dir_ / "day.log";
        std::ofstream(path_, std::ios::binary).flush();
    }
    void TearDown() override {
        if (file_)
            std::fclose(file_);
        fs::remove_all(dir_);
    }

    // Every read of the followed file, and how the follow ended.
    Reads follow(ScriptedHooks& hooks) {
        file_ = openForRead(path_.string().c_str());
        EXPECT_NE(file_, nullptr);
        FollowSource source(file_, path_.string(), hooks, 2);
        LineReader reader(source);
        Reads reads;
        std::string_view line;
        while (reader.next(line))
            reads.emplace_back(line);
        source.waitForEnd();
        end_ = source.end();
        return reads;
    }

    fs::path dir_;
    fs::path path_;
    std::FILE* file_ = nullptr;
    FollowEnd end_ = FollowEnd::Following;
};

// Lines of every length around a read, CRLF and LF, a Ctrl-Z near the end
// and a last line without its newline.
std::string awkwardLog(std::mt19937& rng) {
    std::string log;
    for (int i = 0; i < 60; ++i) {
        const std::size_t length = rng() % 3 == 0 ? 240 + rng() % 20 : rng() % 90;
        log += std::string(length, static_cast<char>('a' + i % 26));
        log += rng() % 2 ? "\r\n" : "\n";
    }
    log += "late\x1A"
           "after the end\n";
    log += "no newline";
    return log;
}

TEST_F(FollowFile, PiecesCutAnywhereReadAsTheWholeFile) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        const std::string log = awkwardLog(rng);
        fs::resize_file(path_, 0);
        std::size_t written = 0;
        ScriptedHooks hooks;
        hooks.onWait = [&] {
            if (written == log.size()) {
                hooks.stop = true;
                return;
            }
            // Often one byte: between "\r" and "\n", inside a read's last byte.
            const std::size_t piece = rng() % 4 == 0 ? 1 : 1 + rng() % 400;
            const std::size_t n = std::min(piece, log.size() - written);
            append(path_, log.substr(written, n));
            written += n;
        };
        const Reads reads = follow(hooks);
        std::fclose(file_);
        file_ = nullptr;
        ASSERT_EQ(reads, test::referenceReads(log, kLogReadMax)) << "seed " << seed;
        EXPECT_EQ(end_, FollowEnd::Stopped);
    }
}

TEST_F(FollowFile, StopReadsWhatTheFileHoldsThenEnds) {
    append(path_, "one\r\ntw");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        append(path_, "o\r"); // the last line without its newline counts as at an end
        hooks.stop = true;
    };
    EXPECT_EQ(follow(hooks), (Reads{"one\n", "two\r"}));
    EXPECT_EQ(end_, FollowEnd::Stopped);
    EXPECT_EQ(hooks.waits, 1);
}

TEST_F(FollowFile, TruncationEndsTheFileWhereItWasRead) {
    append(path_, "kept\nhalf");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        fs::resize_file(path_, 0);
        append(path_, "new\n"); // smaller than what was read: not read from here
    };
    EXPECT_EQ(follow(hooks), (Reads{"kept\n", "half"}));
    EXPECT_EQ(end_, FollowEnd::Truncated);
}

TEST_F(FollowFile, ReplacedFileIsReadToItsEndFirst) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine, like Windows without POSIX rename semantics, renames no file over one "
                    "that is open, even one opened for delete sharing";
#endif
    append(path_, "old 1\n");
    const fs::path next = dir_ / "next.log";
    append(next, "new 1\n");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        append(path_, "old 2\n"); // written just before the switch
        fs::rename(next, path_);
    };
    EXPECT_EQ(follow(hooks), (Reads{"old 1\n", "old 2\n"}));
    EXPECT_EQ(end_, FollowEnd::Replaced);
}

TEST_F(FollowFile, PathGoneIsNoEnd) {
    append(path_, "a\n");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        if (hooks.waits == 1) {
            fs::rename(path_, dir_ / "moved.log"); // the open file is still followed
            append(dir_ / "moved.log", "b\n");
        } else if (hooks.waits == 2) {
            append(path_, "other\n"); // another file at the path ends it
        }
    };
    EXPECT_EQ(follow(hooks), (Reads{"a\n", "b\n"}));
    EXPECT_EQ(end_, FollowEnd::Replaced);
}

TEST_F(FollowFile, NewerMatchEndsItAfterWhatItHolds) {
    append(path_, "a\n");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        append(path_, "b");
        hooks.newer = true;
    };
    EXPECT_EQ(follow(hooks), (Reads{"a\n", "b"}));
    EXPECT_EQ(end_, FollowEnd::Superseded);
}

TEST_F(FollowFile, AfterCtrlZItOnlyWaits) {
    append(path_, "a\n\x1A"
                  "b\n");
    ScriptedHooks hooks;
    hooks.onWait = [&] {
        append(path_, "c\n");
        hooks.stop = hooks.waits == 3;
    };
    EXPECT_EQ(follow(hooks), (Reads{"a\n"}));
    EXPECT_EQ(end_, FollowEnd::Stopped);
    EXPECT_EQ(hooks.waits, 3);
}

// A log of one short line is reported before the first wait: telling a
// compressed log from text takes no more bytes than the file holds.
TEST_F(FollowFile, AShortFirstLineIsReadBeforeAnyWait) {
    append(path_, "x\n");
    file_ = openForRead(path_.string().c_str());
    ASSERT_NE(file_, nullptr);
    ScriptedHooks hooks;
    Reads reads, atFirstWait;
    hooks.onWait = [&] {
        if (hooks.waits == 1)
            atFirstWait = reads;
        hooks.stop = true;
    };
    FollowSource follow(file_, path_.string(), hooks, 2);
    const std::unique_ptr<ByteSource> source = openLogSource(follow);
    LineReader reader(*source);
    for (std::string_view line; reader.next(line);)
        reads.emplace_back(line);
    EXPECT_EQ(atFirstWait, (Reads{"x\n"}));
    EXPECT_EQ(reads, (Reads{"x\n"}));
}

// A compressed log that holds none or only the start of its head when first
// looked at is still inflated once the rest is written.
TEST_F(FollowFile, CompressedLogBegunLateIsInflated) {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string text = "first line\nsecond\n", gz(256, '\0');
    z.next_in = reinterpret_cast<Bytef*>(text.data());
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(gz.data());
    z.avail_out = static_cast<uInt>(gz.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    gz.resize(z.total_out);
    deflateEnd(&z);
    for (const std::size_t atOpen : {0, 1, 2}) {
        fs::resize_file(path_, 0);
        append(path_, gz.substr(0, atOpen));
        file_ = openForRead(path_.string().c_str());
        ASSERT_NE(file_, nullptr);
        ScriptedHooks hooks;
        std::size_t written = atOpen;
        hooks.onWait = [&] { // a byte at a time, then the stop
            if (written < gz.size())
                append(path_, gz.substr(written++, 1));
            else
                hooks.stop = true;
        };
        FollowSource follow(file_, path_.string(), hooks, 2);
        const std::unique_ptr<ByteSource> source = openLogSource(follow);
        LineReader reader(*source);
        Reads reads;
        for (std::string_view line; reader.next(line);)
            reads.emplace_back(line);
        EXPECT_EQ(reads, (Reads{"first line\n", "second\n"})) << atOpen << " bytes at open";
        std::fclose(file_);
        file_ = nullptr;
    }
}

#ifdef __linux__
// /proc files say they are empty whatever they hold: no truncation, read
// once and then followed until the stop.
TEST(FollowSizeless, ProcFileIsNeverTakenForTruncated) {
    std::FILE* file = openForRead("/proc/version");
    if (!file)
        GTEST_SKIP() << "no /proc/version";
    ASSERT_EQ(regularFileSize(file), 0);
    ScriptedHooks hooks;
    hooks.onWait = [&] { hooks.stop = hooks.waits == 5; };
    FollowSource source(file, "/proc/version", hooks, 2);
    LineReader reader(source);
    std::string_view line;
    int lines = 0;
    while (reader.next(line))
        lines += line.starts_with("Linux version") ? 1 : 100;
    source.waitForEnd();
    std::fclose(file);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(source.end(), FollowEnd::Stopped);
    EXPECT_EQ(hooks.waits, 5);
}

// The watch wakes on a change long before the poll would.
TEST_F(FollowFile, NotificationWakesTheWait) {
    const std::unique_ptr<FileWatch> watch = watchFolderOf(path_.string().c_str());
    append(path_, "x\n");
    const auto start = std::chrono::steady_clock::now();
    watch->wait(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
#endif

#ifndef _WIN32
TEST(StopKeys, FirstStopsAndWakesSecondExitsWith130) {
    {
        StopKeys keys;
        EXPECT_FALSE(keys.requested());
        std::raise(SIGINT);
        EXPECT_TRUE(keys.requested());
        const std::unique_ptr<FileWatch> watch = watchFolderOf("none/at/all.log");
        const auto start = std::chrono::steady_clock::now();
        watch->wait(5000); // woken at once
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL); // the default handling is back
    EXPECT_EXIT(
        {
            StopKeys keys;
            std::raise(SIGTERM);
            std::raise(SIGINT);
        },
        ::testing::ExitedWithCode(130), "");
}
#endif

} // namespace
} // namespace qv
