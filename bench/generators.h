// The two kinds of log loggen writes, one line or one event per call.
#pragma once

#include "log_lines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace loggen {

/// The project's benchmark log: fades and mixes, mostly of the followed
/// process WQVX, a few broken fades and salvos, noise in between.
class StandardLog {
  public:
    StandardLog(LogWriter& out, std::uint64_t seed) : lines_(out, seed, standardNoiseProcesses()) {}
    /// A transition, a broken fade or a burst of noise.
    void event();

  private:
    Rng& rng() { return lines_.rng(); }
    void fade(const char* proc);
    void mix(const char* proc);
    void brokenFade();

    LogLines lines_;
};

/// One line of a transition in the busy station's scripts.
enum class TransitionStep : std::uint8_t;

struct BusySettings {
    int processes = 8;
    double markerPercent = 10;  ///< lines holding a fade or mix marker of any process
    double followedPercent = 2; ///< lines naming the followed process
    /// Lines of other processes that come close to a marker or to the
    /// followed name without being one: a marker with another or no process
    /// name, cut short, with doubled blanks or in other letter case.
    double nearMissPercent = 0;
};

/// A busy station: several processes fade and mix at the same time, each
/// with the full set of marker lines and its own router destination, so that
/// their groups interleave in the log.
class BusyStation {
  public:
    BusyStation(LogWriter& out, std::uint64_t seed, const BusySettings& settings);
    /// One line: the next line of some process's transition while markers are
    /// short of their share, else a status line of the followed process while
    /// it is short of its share, else noise.
    void line();

    static constexpr int kMaxProcesses = 26;

  private:
    struct Process {
        std::string name;
        std::string dst;
        const TransitionStep* script = nullptr; // the transition under way, or null when idle
        int extraRouters = 0;                   // a salvo's router lines still to come
    };
    static std::vector<Process> makeProcesses(int count);
    static std::vector<const char*> makeNoiseProcesses(const std::vector<Process>& processes);

    Rng& rng() { return lines_.rng(); }
    bool behind(std::uint64_t count, std::uint64_t ppm);
    Process& pickProcess();
    void advance(Process& process);
    void start(Process& process);
    void routerLine(const Process& process);
    void markerLine(const Process& process, TransitionStep step);
    void nearMissLine();

    // Built before the lines, whose noise names the other processes.
    std::vector<Process> processes_;
    std::vector<const char*> noiseProcs_;
    LogLines lines_;
    std::uint64_t markerPpm_;
    std::uint64_t followedPpm_;
    std::uint64_t nearMissPpm_;
    std::uint64_t nearMisses_ = 0;
    std::uint64_t followedMarkerPpm_;
    int followedWeightPpm_; // of the processes' picks when a transition may start
    std::uint64_t markers_ = 0;
    std::uint64_t followed_ = 0;
    std::uint64_t followedMarkers_ = 0;
};

} // namespace loggen
