// The platform layer on the platform it was built for: the wildcard search,
// file identity, directory refusal and the written bytes. Where Windows and
// POSIX legitimately differ (order and name case of matches), the expectation
// says which platform it is for.
#include "platform/platform.h"
#include "platform/text_buffer.h"
#include "platform/text_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif
#include <thread>

namespace qv {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A fresh directory with a few files and a subdirectory, removed afterwards.
class SearchDir : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("qv-platform-" + std::to_string(seed()));
        fs::create_directories(dir_ / "sub.log");
        for (const char* name : {"b.log", "a.log", "c.txt"})
            std::ofstream(dir_ / name, std::ios::binary) << name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Every path the search yields, in the order it yields them.
    std::vector<std::string> search(const std::string& pattern) const {
        std::vector<std::string> paths;
        std::string path;
        std::unique_ptr<FileSearch> s = findFirstFile(pattern.c_str(), path);
        if (!s)
            return paths;
        do
            paths.push_back(path);
        while (findNextFile(*s, path));
        EXPECT_FALSE(findNextFile(*s, path)); // stays exhausted
        return paths;
    }
    static std::vector<std::string> sorted(std::vector<std::string> paths) {
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    std::string prefix(char separator) const { return dir_.string() + separator; }

    fs::path dir_;
};

TEST_F(SearchDir, YieldsFilesWithTheDirectoryPartAndNeverDirectories) {
    const std::string d = prefix('/');
    EXPECT_EQ(sorted(search(d + "*.log")), (std::vector<std::string>{d + "a.log", d + "b.log"}));
    EXPECT_EQ(search(d + "?.txt"), std::vector<std::string>{d + "c.txt"});
    EXPECT_EQ(search(d + "c.txt"), std::vector<std::string>{d + "c.txt"});
    EXPECT_EQ(search(d + "sub.*"), std::vector<std::string>{}); // only a directory matches
    EXPECT_EQ(search(d + "*.none"), std::vector<std::string>{});
    EXPECT_EQ(search(d + "missing/*.log"), std::vector<std::string>{});
    EXPECT_EQ(sorted(search(d + "*")).size(), 3u); // ".", ".." and sub.log left out
}

TEST_F(SearchDir, PlatformRulesForOrderCaseAndSeparators) {
    const std::string d = prefix('/');
    if (kWindows) {
        // Names match without regard to case, and "\\" separates as well.
        const std::string b = prefix('\\');
        EXPECT_EQ(search(d + "C.TXT"), std::vector<std::string>{d + "c.txt"});
        EXPECT_EQ(sorted(search(b + "*.log")),
                  (std::vector<std::string>{b + "a.log", b + "b.log"}));
    } else {
        // Case counts, and the matches come sorted by name.
        EXPECT_EQ(search(d + "C.TXT"), std::vector<std::string>{});
        EXPECT_EQ(search(d + "*.log"), (std::vector<std::string>{d + "a.log", d + "b.log"}));
    }
}

TEST_F(SearchDir, FileIdentityAndDirectories) {
    const std::string a = (dir_ / "a.log").string();
    const std::string aOtherSpelling = (dir_ / "sub.log" / ".." / "a.log").string();
    EXPECT_TRUE(sameFile(a.c_str(), a.c_str()));
    EXPECT_TRUE(sameFile(a.c_str(), aOtherSpelling.c_str()));
    EXPECT_FALSE(sameFile(a.c_str(), (dir_ / "b.log").string().c_str()));
    EXPECT_FALSE(sameFile(a.c_str(), (dir_ / "none.log").string().c_str()));

    EXPECT_EQ(openForRead((dir_ / "sub.log").string().c_str()), nullptr);
    EXPECT_EQ(openForRead((dir_ / "none.log").string().c_str()), nullptr);
    std::FILE* f = openForRead(a.c_str());
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

// A file that must be a regular one: a FIFO without a writer is refused at
// once (a blocking open would never return here), a directory as before.
TEST_F(SearchDir, RegularOpenRefusesWithoutWaiting) {
    std::string why;
    bool notRegular = false;
    std::FILE* f = openRegularForRead((dir_ / "a.log").string().c_str(), &why, &notRegular);
    ASSERT_NE(f, nullptr);
    char byte = 0;
    EXPECT_EQ(std::fread(&byte, 1, 1, f), 1u); // readable, and reads block again
    EXPECT_EQ(byte, 'a');
    std::fclose(f);
    EXPECT_EQ(openRegularForRead((dir_ / "sub.log").string().c_str(), &why, &notRegular), nullptr);
    EXPECT_FALSE(notRegular);
    EXPECT_EQ(openRegularForRead((dir_ / "none.log").string().c_str(), &why, &notRegular), nullptr);
    EXPECT_FALSE(notRegular);
    EXPECT_FALSE(why.empty());
#ifndef _WIN32
    const std::string fifo = (dir_ / "pipe.cfg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(openRegularForRead(fifo.c_str(), &why, &notRegular), nullptr);
    EXPECT_TRUE(notRegular);
    EXPECT_EQ(why, "not a regular file");
#endif
}

TEST_F(SearchDir, OutputFileBytesAreTheSameEverywhere) {
    const std::string path = (dir_ / "out.txt").string();
    std::ofstream(path, std::ios::binary) << "old content that must go";
    {
        TextFileWriter writer(path.c_str());
        ASSERT_TRUE(writer.isOpen());
        writer.write("one\ntwo\r\n\nend");
        EXPECT_TRUE(writer.close());
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "one\r\ntwo\r\r\n\r\nend");
}

TEST(DirectoryPart, BackslashSeparatesOnlyWhereAsked) {
    EXPECT_EQ(directoryPartLength("a.log", false), 0u);
    EXPECT_EQ(directoryPartLength("logs/a*.log", false), 5u);
    EXPECT_EQ(directoryPartLength("x/logs\\a*.log", false), 2u);
    EXPECT_EQ(directoryPartLength("x/logs\\a*.log", true), 7u);
    EXPECT_EQ(directoryPartLength("x\\logs/a*.log", true), 7u);
    EXPECT_EQ(directoryPartLength("C:*.log", true), 2u); // drive-relative
    EXPECT_EQ(directoryPartLength("C:*.log", false), 0u);
}

// A regular output is one run's own; a device is shared: two runs that both
// write to /dev/null must not refuse each other.
TEST_F(SearchDir, OnlyRegularOutputsAreHeldAgainstOtherRuns) {
    const std::string path = (dir_ / "out.txt").string();
    std::FILE* first = openForWrite(path.c_str());
    ASSERT_NE(first, nullptr);
    std::string whyNot;
    EXPECT_EQ(openForWrite(path.c_str(), &whyNot), nullptr);
    EXPECT_FALSE(whyNot.empty());
    std::fclose(first);
#ifndef _WIN32
    std::FILE* device = openForWrite("/dev/null");
    ASSERT_NE(device, nullptr);
    std::FILE* again = openForWrite("/dev/null", &whyNot);
    EXPECT_NE(again, nullptr) << whyNot;
    if (again)
        std::fclose(again);
    std::fclose(device);
#endif
}

// The threads a run starts follow the cores it may use, not the machine's:
// under `taskset -c 0` a second thread would only spin on the same core.
TEST(UsableCores, FollowTheAffinityOfTheProcess) {
    const int all = usableCores();
    EXPECT_GE(all, 1);
#ifdef __linux__
    int narrowed = 0;
    // Affinity is per thread on Linux: narrowing a thread of its own leaves
    // the other tests as they were.
    std::thread([&] {
        cpu_set_t set;
        CPU_ZERO(&set);
        ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
        int first = 0;
        while (!CPU_ISSET(first, &set))
            ++first;
        CPU_ZERO(&set);
        CPU_SET(first, &set);
        ASSERT_EQ(sched_setaffinity(0, sizeof set, &set), 0);
        narrowed = usableCores();
    }).join();
    EXPECT_EQ(narrowed, 1);
    EXPECT_EQ(usableCores(), all);
#endif
}

// Big buffers are cut out of a larger mapping; every byte must be usable and,
// on Linux, a buffer must start on a large page for one to back it.
TEST(TextBuffer, EveryByteOfEverySizeIsUsable) {
    for (std::size_t size : {std::size_t{1}, kLargePageSize - 1, kLargePageSize, kLargePageSize + 1,
                             3 * kLargePageSize + 4096}) {
        TextBuffer buffer = allocateTextBuffer(size);
        std::fill(buffer.get(), buffer.get() + size, 'x');
        EXPECT_EQ(std::count(buffer.get(), buffer.get() + size, 'x'),
                  static_cast<std::ptrdiff_t>(size));
#ifdef __linux__
        if (size >= kLargePageSize) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.get()) % kLargePageSize, 0u) << size;
        }
#endif
        TextBuffer other = allocateTextBuffer(size);
        buffer.swap(other); // as a reader and a feed trade them
    }
}

} // namespace
} // namespace qv
