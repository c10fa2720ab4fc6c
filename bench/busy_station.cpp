#include "generators.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace loggen {

enum class TransitionStep : std::uint8_t {
    FadeStart,
    AbortedStart,
    FadeXfer,
    Router,
    RevBus,
    RevBlk,
    DebugRouter,
    FadeDone,
    MixXfer,
    MixRevBus,
    MixDone,
    End
};

namespace {

using enum TransitionStep;

constexpr TransitionStep kFade[] = {FadeStart, FadeXfer,    Router,   RevBus,
                                    RevBlk,    DebugRouter, FadeDone, End};
constexpr TransitionStep kMix[] = {MixXfer, MixRevBus, Router, DebugRouter, MixDone, End};
constexpr TransitionStep kBrokenFade[] = {AbortedStart, FadeXfer, End};

// The other processes: one letter before the followed name's tail, W left out.
constexpr char kOtherLetters[] = "KPNTRBMLCDFGHJSVYZAEIOUXQ";
constexpr const char* kFollowed = "WQVX";
constexpr const char* kFollowedDst = "dst 0130";
constexpr const char* kInfrastructure[] = {"DEVMGR", "SCHED", "VTRCTL", "GPI"};

// Texts close to the markers: cut short, doubled blanks, other letter case,
// a blank lost. None holds a marker or the followed name whole.
constexpr const char* kNearMarkers[] = {"DOFADE:STAR",
                                        "DOFADE:DON",
                                        "DOFADE: START",
                                        "dofade:start",
                                        "DoFade:Done",
                                        "DOFADE START",
                                        "XFER XITIO",
                                        "XFER  XITION",
                                        "xfer xition",
                                        "XFERXITION",
                                        "goto REV-",
                                        "goto  REV-BUS",
                                        "GOTO REV-BLK",
                                        "goto rev-blk",
                                        "DBGRTRTIM",
                                        "dbgrtrtime",
                                        "DBG RTRTIME",
                                        "DOMIX:swrtr goto rev-b",
                                        "DOMIX:swrtr  trans done",
                                        "DOMIX:SWRTR TRANS DONE",
                                        "domix:swrtr goto rev-bus",
                                        "DOMIX:swrtr trans",
                                        "DOMIX swrtr trans done",
                                        "SNIFFER STATU"};
// Names close to the followed one, and the other processes' names.
constexpr const char* kNearNames[] = {"WQV",  "wqvx",   "WQVY",   "QVX", "W QVX",
                                      "WQUX", "SWITCH", "DEVMGR", ""};
// The markers whole, written by processes without the followed name.
constexpr const char* kWholeMarkers[] = {"DOFADE:START",
                                         "XFER XITION",
                                         "goto REV-BUS",
                                         "goto REV-BLK",
                                         "DBGRTRTIME",
                                         "DOFADE:DONE",
                                         "DOMIX:swrtr goto rev-bus",
                                         "DOMIX:swrtr trans done"};

std::uint64_t toPpm(double percent) {
    return static_cast<std::uint64_t>(std::llround(percent * 10000));
}

} // namespace

std::vector<BusyStation::Process> BusyStation::makeProcesses(int count) {
    std::vector<Process> processes(static_cast<std::size_t>(count));
    processes[0].name = kFollowed;
    processes[0].dst = kFollowedDst;
    for (int i = 1; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%cQVX", kOtherLetters[i - 1]);
        processes[static_cast<std::size_t>(i)].name = text;
        std::snprintf(text, sizeof text, "dst %04d", 200 + i);
        processes[static_cast<std::size_t>(i)].dst = text;
    }
    return processes;
}

std::vector<const char*> BusyStation::makeNoiseProcesses(const std::vector<Process>& processes) {
    std::vector<const char*> names(std::begin(kInfrastructure), std::end(kInfrastructure));
    for (std::size_t i = 1; i < processes.size(); ++i)
        names.push_back(processes[i].name.c_str());
    return names;
}

BusyStation::BusyStation(LogWriter& out, std::uint64_t seed, const BusySettings& settings)
    : processes_(makeProcesses(settings.processes)), noiseProcs_(makeNoiseProcesses(processes_)),
      lines_(out, seed, noiseProcs_), markerPpm_(toPpm(settings.markerPercent)),
      followedPpm_(toPpm(settings.followedPercent)), nearMissPpm_(toPpm(settings.nearMissPercent)) {
    // The followed process gets an even part of the markers, or less when
    // its own share is smaller; status lines make up the rest of its share.
    followedMarkerPpm_ = std::min(followedPpm_, markerPpm_ / processes_.size());
    followedWeightPpm_ =
        markerPpm_ == 0 ? 0 : static_cast<int>(followedMarkerPpm_ * 1'000'000 / markerPpm_);
}

void BusyStation::line() {
    // No draw for near misses where there are none: a busy log keeps its bytes.
    if (nearMissPpm_ > 0 && behind(nearMisses_, nearMissPpm_)) {
        nearMissLine();
        ++nearMisses_;
    } else if (behind(markers_, markerPpm_)) {
        advance(pickProcess());
    } else if (behind(followed_, followedPpm_)) {
        lines_.statusLine(kFollowed);
        ++followed_;
    } else {
        lines_.noiseLine();
    }
}

// A few lines of slack keep the marker lines from coming at a fixed stride.
bool BusyStation::behind(std::uint64_t count, std::uint64_t ppm) {
    const auto slack = static_cast<std::uint64_t>(rng().range(0, 40));
    return count * 1'000'000 < ppm * (lines_.lines() + slack);
}

// Mostly a transition under way goes on, so that two or three run at a time;
// otherwise a process, the followed one by its weight, starts or goes on. An
// idle followed process, being picked for starts more often than the busy
// others, waits while its markers are ahead of their part.
BusyStation::Process& BusyStation::pickProcess() {
    const auto active = static_cast<int>(std::count_if(processes_.begin(), processes_.end(),
                                                       [](const Process& p) { return p.script; }));
    if (active > 0 && rng().chance(800)) {
        int skip = rng().range(0, active - 1);
        for (Process& process : processes_)
            if (process.script && skip-- == 0)
                return process;
    }
    const int last = static_cast<int>(processes_.size()) - 1;
    Process& followed = processes_[0];
    if (last == 0 || (rng().range(0, 999'999) < followedWeightPpm_ &&
                      (followed.script || behind(followedMarkers_, followedMarkerPpm_))))
        return followed;
    return processes_[static_cast<std::size_t>(rng().range(1, last))];
}

void BusyStation::advance(Process& process) {
    if (!process.script)
        start(process);
    const TransitionStep step = *process.script;
    if (step == Router && process.extraRouters > 0) {
        --process.extraRouters;
        routerLine(process);
        return;
    }
    if (step == Router)
        routerLine(process);
    else
        markerLine(process, step);
    if (*++process.script == End)
        process.script = nullptr;
}

// The same mix of transitions as the standard log: 12 fades, 8 mixes and one
// broken fade in 21, and a salvo after one fade in 33.
void BusyStation::start(Process& process) {
    const int pick = rng().range(0, 20);
    process.script = pick < 12 ? kFade : pick < 20 ? kMix : kBrokenFade;
    process.extraRouters = pick < 12 && rng().chance(30) ? 30 : 0;
}

// The other processes now and then switch the followed destination too.
void BusyStation::routerLine(const Process& process) {
    lines_.router(&process == &processes_[0] || !rng().chance(100) ? process.dst.c_str()
                                                                   : kFollowedDst);
}

// A third: a whole marker of a process without the followed name; the rest:
// a text close to a marker, of a name close to the followed one or another.
void BusyStation::nearMissLine() {
    const char* name = rng().pick(kNearNames);
    if (rng().chance(333))
        lines_.wordyLine(name, rng().pick(kWholeMarkers));
    else
        lines_.wordyLine(name, rng().pick(kNearMarkers));
}

void BusyStation::markerLine(const Process& process, TransitionStep step) {
    const char* name = process.name.c_str();
    char tail[32];
    switch (step) {
    case FadeStart:
        std::snprintf(tail, sizeof tail, "fade %d", rng().range(1, 30));
        lines_.line(name, "DOFADE:START", tail);
        break;
    case AbortedStart:
        lines_.line(name, "DOFADE:START", "aborted");
        break;
    case FadeXfer:
        lines_.line(name, "XFER XITION", "to pgm");
        break;
    case RevBus:
        lines_.line(name, "goto REV-BUS", "");
        break;
    case RevBlk:
        lines_.line(name, "goto REV-BLK", "");
        break;
    case DebugRouter:
        std::snprintf(tail, sizeof tail, "rtr %d", rng().range(1, 9));
        lines_.line(name, "DBGRTRTIME", tail);
        break;
    case FadeDone:
        lines_.line(name, "DOFADE:DONE", "");
        break;
    case MixXfer:
        lines_.line(name, "XFER XITION", "mix");
        break;
    case MixRevBus:
        lines_.line(name, "DOMIX:swrtr goto rev-bus", "");
        break;
    case MixDone:
        lines_.line(name, "DOMIX:swrtr trans done", "");
        break;
    case Router:
    case End:
        return;
    }
    ++markers_;
    if (&process == &processes_[0]) {
        ++followed_;
        ++followedMarkers_;
    }
}

} // namespace loggen
