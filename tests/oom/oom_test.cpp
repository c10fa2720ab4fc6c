// Out of memory anywhere in a run: every allocation of a ROUTER TAKES run
// with a chart and hourly statistics is made to fail in turn, and each time
// the run must end with "quorvex: out of memory" and exit code 1, never abort.
// The failing allocator is this test program's own operator new.
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
};

// Open descriptors of this process; -1 where the system does not list them.
long openDescriptors() {
    std::error_code ec;
    fs::directory_iterator fds("/proc/self/fd", ec);
    if (ec)
        return -1;
    return static_cast<long>(std::distance(fds, fs::directory_iterator()));
}

// One run in `dir` whose allocation number `failAt` (from 0) fails.
Outcome runFailingAt(const fs::path& dir, long failAt) {
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
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const std::string log = QV_SAMPLE_LOG;
    const char* argv[] = {"quorvex", log.c_str(), "/plot", "c.svg", "/hours", "h.csv", "/sum"};
    int code = 0;
    const long openBefore = openDescriptors();
    {
        qv::Console console(out, err);
        allocations = 0;
        allocationsToFailure = failAt;
        code = qv::runProgram(7, argv, console);
        allocationsToFailure = -1;
    }
    Outcome outcome{code, contents(err), allocations, openDescriptors() - openBefore};
    std::fclose(out);
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

} // namespace
