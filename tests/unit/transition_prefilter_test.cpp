// The transition scanner passes over the reads that cannot matter in its
// state. Whatever it prints, counts and stores must be the same as when it
// looks at every read.
#include "bench/generators.h"
#include "scan_capture.h"
#include "transitions/transitions.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace qv {
namespace {

// Everything a scan leaves behind: what it wrote, its counters and the
// stored group.
struct ScanResult {
    test::ScanOutput output;
    std::vector<std::int64_t> counters;
    std::vector<std::string> slots;
    std::vector<std::string> groups; // every timed group, reported or not
    bool operator==(const ScanResult&) const = default;
};

// Keeps what the side outputs get of each group, the sniffer flag included.
class GroupRecorder final : public TransitionObserver {
  public:
    explicit GroupRecorder(std::vector<std::string>& groups) : groups_(groups) {}
    void beginFile(std::string_view) override {}
    void endFile(const FileSummaryFigures&) override {}
    void group(const TransitionRecord& r) override {
        groups_.push_back(std::to_string(r.groupNumber) + (r.fade ? " FADE " : " MIX ") +
                          std::to_string(r.startLine) + " " + std::to_string(r.routerLine) + " " +
                          std::to_string(r.delays[0]) + " " + std::to_string(r.delays[1]) + " " +
                          std::to_string(r.delays[2]) + (r.sniffSeen ? " sniff" : ""));
    }

  private:
    std::vector<std::string>& groups_;
};

ScanResult scanWith(SearchPath path, const std::string& log, const TransitionOptions& options,
                    bool readAhead = false) {
    ScanResult result;
    const auto scan = [&](LineReader& reader, Report& report) {
        TransitionAnalysis analysis(options, report);
        GroupRecorder recorder(result.groups);
        analysis.groupLog.add(recorder);
        scanTransitions(reader, analysis);
        printRunSummary(analysis);
        const FileStats& stats = analysis.fileStats;
        result.counters = {stats.transitionCount, stats.startlineCount, stats.blockErrorCount,
                           analysis.transitionGroup.lineMask};
        for (const GroupSlot& slot : analysis.transitionGroup.slots)
            result.slots.push_back(std::to_string(slot.lineNumber) + " " +
                                   std::string(slot.view()));
        return stats.lineCount;
    };
    result.output = test::captureScan(path, log, scan, readAhead);
    return result;
}

// Generated logs: whole fades and mixes of several processes, broken and
// overfull groups, router lines with and without level or REFRESH, sniffer
// lines, noise, long lines that push a marker across a 249 split, and CRLF.
class LogMaker {
  public:
    explicit LogMaker(unsigned seed) : rng_(seed) {}

    /// `busy`: eight processes fade and mix, the followed one among them, as
    /// on a busy station; otherwise the followed process writes most lines.
    std::string make(bool busy) {
        log_.clear();
        busy_ = busy;
        crlf_ = rng_() % 2 == 0;
        for (int events = 20 + static_cast<int>(rng_() % 60); events > 0; --events)
            event();
        return log_;
    }

  private:
    void line(const char* process, const char* message) {
        char head[96];
        const unsigned t = static_cast<unsigned>(++tick_);
        std::snprintf(head, sizeof head, "12/08/26 01:00:00.000 %-8s %-34s01%02u%02u%02u ", process,
                      message, t / 1800 % 60, t / 30 % 60, t % 30);
        std::string text = head;
        if (rng_() % 24 == 0) // a long line; the marker may end up in any piece
            text.insert(rng_() % 60, std::string(150 + rng_() % 200, '.'));
        log_ += text + (crlf_ ? "\r\n" : "\n");
    }

    const char* process() {
        static const char* const names[] = {"WQVX", "WQVX", "WQVX", "KQVX", "RTRCTL"};
        static const char* const busyNames[] = {"WQVX", "KQVX", "PQVX", "NQVX",
                                                "RQVX", "SQVX", "TQVX", "VQVX"};
        return busy_ ? busyNames[rng_() % 8] : names[rng_() % 5];
    }

    void router() {
        static const char* const texts[] = {"RTR TAKE dst 0130 src 0001 lev 00",
                                            "RTR TAKE dst 0130 src 0002 lev 01",
                                            "RTR REFRESH dst 0130 lev 00", "RTR TAKE dst 0140"};
        line("RTRCTL", texts[rng_() % 4]);
    }

    void noise() {
        static const char* const texts[] = {"SNIFFER STATUS ok", "STATUS heartbeat",
                                            "TAKE bus A src 0003", "DOFADE:PREP",
                                            "CMD-ERROR on TC delta 4"};
        line(rng_() % 3 == 0 ? "KQVX" : "SWITCH", texts[rng_() % 5]);
    }

    void event() {
        const unsigned pick = rng_() % 10;
        const char* name = process();
        if (pick < 3) {
            fade(name);
        } else if (pick < 5) {
            mix(name);
        } else if (pick < 6) {
            line(name, "DOFADE:START");
            for (int i = 0; i < 29; ++i)
                router();
        } else {
            randomLine(name);
        }
    }

    void fade(const char* name) {
        static const char* const kinds[] = {"XFER XITION", "goto REV-BUS", "goto REV-BLK",
                                            "DBGRTRTIME", "DOFADE:DONE"};
        line(name, "DOFADE:START");
        for (const char* kind : kinds) {
            if (rng_() % 3 == 0)
                noise();
            if (rng_() % 2 == 0)
                router();
            if (rng_() % 12 != 0)
                line(name, kind);
        }
    }

    void mix(const char* name) {
        static const char* const kinds[] = {"DOMIX:swrtr goto rev-bus", "DBGRTRTIME",
                                            "DOMIX:swrtr trans done"};
        line(name, "XFER XITION");
        for (const char* kind : kinds) {
            if (rng_() % 3 == 0)
                noise();
            if (rng_() % 2 == 0)
                router();
            if (rng_() % 12 != 0)
                line(name, rng_() % 20 == 0 ? "DOFADE:DONE" : kind);
        }
    }

    void randomLine(const char* name) {
        static const char* const texts[] = {
            "DOFADE:START", "XFER XITION", "goto REV-BUS",           "goto REV-BLK",
            "DBGRTRTIME",   "DOFADE:DONE", "DOMIX:swrtr trans done", "DOMIX:swrtr goto rev-bus"};
        if (rng_() % 2 == 0)
            line(name, texts[rng_() % 8]);
        else if (rng_() % 2 == 0)
            router();
        else
            noise();
    }

    std::mt19937 rng_;
    std::string log_;
    bool busy_ = false;
    bool crlf_ = false;
    long tick_ = 0;
};

struct RunSetup {
    const char* srchname;
    const char* outputtext;
    bool levelFilter;
    int summaryMode;
};

TEST(TransitionPrefilter, SameResultsAsReadingEveryLine) {
    const RunSetup setups[] = {
        {"WQVX", "dst 0130", false, 0}, {"WQVX", "dst 0130", true, 0},
        {"KQVX", "dst 0130", false, 1}, {"", "dst 0130", false, 0},
        {"WQVX", "", false, 0},         {"WQVX", "lev 0", true, 1},
    };
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    LogMaker maker(77);
    std::int64_t completed = 0, broken = 0, overfull = 0;
    for (int round = 0; round < 60; ++round) {
        const std::string log = maker.make(round % 2 == 1);
        const RunSetup& setup = setups[round % std::size(setups)];
        TransitionOptions options{setup.srchname,    setup.outputtext,  "lev 00",
                                  setup.levelFilter, setup.summaryMode, false};
        // Short windows make the scanner switch between its two sets of texts often.
        const std::int64_t windows[] = {2, 5, 40, std::int64_t{1} << 16};
        options.filterWindow = windows[round % std::size(windows)];
        TransitionOptions everyRead = options;
        everyRead.passOverReads = false;
        const ScanResult expected = scanWith(SearchPath::Plain, log, everyRead);
        ASSERT_EQ(scanWith(SearchPath::Plain, log, options), expected) << "round " << round;
        completed += expected.counters[0];
        broken += expected.counters[2];
        overfull += expected.output.console.find("Too Many") != std::string::npos;
        for (SearchPath path : paths)
            ASSERT_EQ(scanWith(path, log, options), expected)
                << "round " << round << " path " << static_cast<int>(path);
        ASSERT_EQ(scanWith(SearchPath::Auto, log, options, true), expected)
            << "read ahead, round " << round;
    }
    // The logs reach every way a group can end.
    EXPECT_GT(completed, 100);
    EXPECT_GT(broken, 10);
    EXPECT_GT(overfull, 3);
}

// The benchmark's near-miss busy log: texts that come close to the markers
// and to the followed name, on which a filter is most tempted to pass over a
// read it must hand out.
TEST(TransitionPrefilter, SameResultsOnTheNearMissLog) {
    const RunSetup setups[] = {{"WQVX", "dst 0130", false, 0},
                               {"WQVX", "dst 0130", true, 1},
                               {"wqvx", "dst 0130", false, 0},
                               {"WQV", "", false, 0}};
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    std::int64_t completed = 0;
    for (int round = 0; round < 8; ++round) {
        std::string log;
        {
            loggen::LogWriter out(log, round % 2 == 1);
            loggen::BusySettings near;
            near.processes = 1 + round % 3;
            near.markerPercent = 1.5;
            near.nearMissPercent = 12;
            loggen::BusyStation station(out, 100 + static_cast<unsigned>(round), near);
            while (out.written() < (std::size_t{1} << 20))
                station.line();
        }
        const RunSetup& setup = setups[round % std::size(setups)];
        TransitionOptions options{setup.srchname,    setup.outputtext,  "lev 00",
                                  setup.levelFilter, setup.summaryMode, false};
        options.filterWindow = round < 4 ? 40 : std::int64_t{1} << 16;
        TransitionOptions everyRead = options;
        everyRead.passOverReads = false;
        const ScanResult expected = scanWith(SearchPath::Plain, log, everyRead);
        completed += expected.counters[0];
        ASSERT_EQ(scanWith(SearchPath::Plain, log, options), expected) << "round " << round;
        for (SearchPath path : paths)
            ASSERT_EQ(scanWith(path, log, options), expected)
                << "round " << round << " path " << static_cast<int>(path);
        ASSERT_EQ(scanWith(SearchPath::Auto, log, options, true), expected)
            << "read ahead, round " << round;
    }
    EXPECT_GT(completed, 30); // the followed process times whole groups among the near misses
}

} // namespace
} // namespace qv
