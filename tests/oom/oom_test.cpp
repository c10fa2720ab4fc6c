// Out of memory anywhere in a run: every allocation of a ROUTER TAKES run
// with a chart and hourly statistics is made to fail in turn, and each time
// the run must end with "quorvex: out of memory" and exit code 1, never abort,
// and leave no file open; the same for a run whose standard output is its own
// log, which must not write into it. The failing allocator is this test
// program's own operator new.
#include "frontend/program.h"
#include "report/report.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <new>
#include <random>
#include <string>

namespace {

// Allocations until the one that fails; negative: none fails.
std::atomic<long> allocationsToFailure{-1};
std::atomic<long> allocations{0};

} // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (allocationsToFailure.fetch_sub(1, std::memory_order_relaxed) == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

namespace fs = std::filesystem;

std::string contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

struct Outcome {
    int code;
    std::string errors;
    long allocations;  // made by the run
    long leftOpen = 0; // descriptors it opened and did not close
    std::string log;   // the log afterwards, when standard output was the log
};

// A ROUTER TAKES run with a chart and hourly statistics; or one whose
// standard output is its own log (refused, but only once the log is checked).
enum class Run { Charted, IntoItsLog };

// Open descriptors of this process; -1 where the system does not list them.
long openDescriptors() {
    std::error_code ec;
    fs::directory_iterator fds("/proc/self/fd", ec);
    if (ec)
        return -1;
    return static_cast<long>(std::distance(fds, fs::directory_iterator()));
}

// One run in `dir` whose allocation number `failAt` (from 0) fails.
Outcome runFailingAt(const fs::path& dir, long failAt, Run kind = Run::Charted) {
    // Every run starts in an empty folder: an earlier run's chart or hourly
    // file would change what this one allocates.
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    // A configuration file: its line reader allocates while the file is open.
    if (std::FILE* config = std::fopen("qv.cfg", "wb")) {
        std::fputs("SEARCHNAME,WQVX\n", config);
        std::fclose(config);
    }
    const bool intoItsLog = kind == Run::IntoItsLog;
    if (intoItsLog)
        fs::copy_file(QV_SAMPLE_LOG, "a.log");
    std::FILE* out = intoItsLog ? std::fopen("a.log", "ab") : std::tmpfile();
    std::FILE* err = std::tmpfile();
    const std::string log = QV_SAMPLE_LOG;
    const char* charted[] = {"quorvex", log.c_str(), "/plot", "c.svg", "/hours", "h.csv", "/sum"};
    // Each option echoes a line, held back until the log is checked.
    const char* ownLog[] = {"quorvex", "a.log", "/cfg", "qv.cfg", "/s", "WQVX", "/sum"};
    int code = 0;
    long made = 0;
    const long openBefore = openDescriptors();
    {
        qv::Console console(out, err);
        allocations = 0;
        allocationsToFailure = failAt;
        code = qv::runProgram(7, intoItsLog ? ownLog : charted, console);
        allocationsToFailure = -1;
        made = allocations; // before the test's own allocations below
    }
    Outcome outcome{code, contents(err), made, openDescriptors() - openBefore, {}};
    std::fclose(out);
    if (std::FILE* written = intoItsLog ? std::fopen("a.log", "rb") : nullptr) {
        outcome.log = contents(written);
        std::fclose(written);
    }
    std::fclose(err);
    fs::current_path(old);
    return outcome;
}

TEST(OutOfMemory, EveryAllocationThatFailsEndsTheRunWithALine) {
    std::random_device seed;
    const fs::path dir = fs::temp_directory_path() / ("qv-oom-" + std::to_string(seed()));
    fs::create_directories(dir);
    const Outcome clean = runFailingAt(dir, -1);
    ASSERT_EQ(clean.code, 0) << clean.errors;
    ASSERT_EQ(clean.leftOpen, 0);
    const long total = clean.allocations;
    ASSERT_GT(total, 10);
    // Every allocation of the first hundred (start-up), then a spread over the rest.
    const long stride = std::max(1L, total / 400);
    for (long failAt = 0; failAt < total; failAt += failAt < 100 ? 1 : stride) {
        const Outcome o = runFailingAt(dir, failAt);
        ASSERT_EQ(o.code, 1) << "allocation " << failAt << " of " << total;
        ASSERT_TRUE(o.errors.ends_with("quorvex: out of memory\n"))
            << "allocation " << failAt << ": " << o.errors;
        // The log and the configuration file are closed on the way out too.
        ASSERT_EQ(o.leftOpen, 0) << "allocation " << failAt << " of " << total;
    }
    fs::remove_all(dir);
}

// What the run echoed before it knew that standard output is its log must
// not land in the log, whichever allocation fails.
TEST(OutOfMemory, HeldTextNeverLandsInTheLog) {
    std::random_device seed;
    const fs::path dir = fs::temp_directory_path() / ("qv-oom-" + std::to_string(seed()));
    const Outcome clean = runFailingAt(dir, -1, Run::IntoItsLog);
    ASSERT_EQ(clean.code, 1);
    ASSERT_EQ(clean.errors, "quorvex: log file a.log is also standard output: not read\n");
    std::FILE* sample = std::fopen(QV_SAMPLE_LOG, "rb");
    ASSERT_NE(sample, nullptr);
    const std::string log = contents(sample);
    std::fclose(sample);
    ASSERT_TRUE(clean.log == log);
    for (long failAt = 0; failAt < clean.allocations; ++failAt) {
        const Outcome o = runFailingAt(dir, failAt, Run::IntoItsLog);
        ASSERT_EQ(o.code, 1) << "allocation " << failAt;
        ASSERT_TRUE(o.errors.ends_with("quorvex: out of memory\n"))
            << "allocation " << failAt << ": " << o.errors;
        ASSERT_TRUE(o.log == log) << "allocation " << failAt << " of " << clean.allocations
                                  << " changed the log: "
                                  << o.log.substr(std::min(o.log.size(), log.size()));
    }
    fs::remove_all(dir);
}

} // namespace
