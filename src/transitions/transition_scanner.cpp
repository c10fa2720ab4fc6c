// The ROUTER TAKES scan: a state machine that follows each fade and mix of
// the process `srchname` through the log, one line kind per slot, and hands
// every complete group to the group timing.
#include "search/block_search.h"
#include "search/line_match.h"
#include "transitions/adaptive_needles.h"
#include "transitions/analysis_state.h"
#include "transitions/group_timing.h"
#include "transitions/transitions.h"

#include <initializer_list>
#include <string_view>

namespace qv {

namespace {

constexpr std::string_view kFadeStart = "DOFADE:START";
constexpr std::string_view kXferXition = "XFER XITION";
constexpr std::string_view kSniffer = "SNIFFER STATUS";
constexpr std::string_view kFadeDone = "DOFADE:DONE";
constexpr std::string_view kFadeRevBus = "goto REV-BUS";
constexpr std::string_view kFadeRevBlk = "goto REV-BLK";
constexpr std::string_view kDebugRouter = "DBGRTRTIME";
constexpr std::string_view kMixDone = "DOMIX:swrtr trans done";
constexpr std::string_view kMixRevBus = "DOMIX:swrtr goto rev-bus";
constexpr std::string_view kAnyFade = "DOFADE";
constexpr std::string_view kRefresh = "REFRESH";

// Markers that share their start, found in one search of it.
constexpr TextPair kFadeEnds{"DOFADE:", kFadeStart.substr(7), kFadeDone.substr(7)};
constexpr TextPair kFadeRevs{"goto REV-", kFadeRevBus.substr(9), kFadeRevBlk.substr(9)};
constexpr TextPair kMixEnds{"DOMIX:swrtr ", kMixDone.substr(12), kMixRevBus.substr(12)};
static_assert(kFadeEnds.first == "START" && kFadeEnds.second == "DONE");
static_assert(kFadeRevs.first == "BUS" && kFadeRevs.second == "BLK");
static_assert(kMixEnds.first == "trans done" && kMixEnds.second == "goto rev-bus");

constexpr std::uint32_t kFadeMask = 0x7F & ~lineKindBit(START); // 0x7E
constexpr std::uint32_t kMixMask = 0x5E & ~lineKindBit(XFER);   // 0x5C

enum class ScanState {
    READ_LINE,
    FIND_START,
    FADE_COLLECT,
    FADE_COMPLETE,
    MIX_COLLECT,
    MIX_COMPLETE
};

/// What a line read inside a group does there.
enum class GroupLine { Other, StartError, MixDofadeError, MixXferError, Sniff, Kind, Router };

struct LineRole {
    GroupLine role = GroupLine::Other;
    LineKind kind = START; // for GroupLine::Kind
};

/// Every line test of the scan, each a plain substring search over one read.
/// The order of the tests in each sort function is the order in which they
/// decide: the first that holds wins. Every marker test also asks for the
/// process name, so a read's name test runs once, before its marker tests:
/// the tests are pure, and most reads handed over in a busy log hold a
/// marker of another process or a router line, not the name.
class LineTests {
  public:
    explicit LineTests(const TransitionOptions& options)
        : srchname_(options.srchname), outputtext_(options.outputtext),
          levelText_(options.levelText), levelFilter_(options.levelFilter) {}

    bool hasName(std::string_view line) const { return contains(line, srchname_); }

    /// A router command of any process; refreshes are not takes.
    bool isRouterLine(std::string_view line) const {
        return contains(line, outputtext_) && (!levelFilter_ || contains(line, levelText_)) &&
               !contains(line, kRefresh);
    }

    static bool isSniffLine(std::string_view line) { return contains(line, kSniffer); }

    LineRole sortFadeLine(std::string_view line) const {
        if (!hasName(line))
            return isSniffLine(line) ? LineRole{GroupLine::Sniff} : sortRouterLine(line);
        const PairFound ends = containsPair(line, kFadeEnds);
        if (ends.first)
            return {GroupLine::StartError};
        if (contains(line, kXferXition))
            return {GroupLine::Kind, XFER};
        if (isSniffLine(line))
            return {GroupLine::Sniff};
        if (ends.second)
            return {GroupLine::Kind, DONE};
        const PairFound revs = containsPair(line, kFadeRevs);
        if (revs.first)
            return {GroupLine::Kind, REV_BUS};
        if (revs.second)
            return {GroupLine::Kind, REV_BLK};
        if (contains(line, kDebugRouter))
            return {GroupLine::Kind, DEBUG_RTR};
        return sortRouterLine(line);
    }

    /// A fade inside a mix breaks it only until the file's first group is done.
    LineRole sortMixLine(std::string_view line, bool noGroupCompleted) const {
        if (!hasName(line))
            return isSniffLine(line) ? LineRole{GroupLine::Sniff} : sortRouterLine(line);
        if (noGroupCompleted && contains(line, kAnyFade))
            return {GroupLine::MixDofadeError};
        if (isSniffLine(line))
            return {GroupLine::Sniff};
        if (contains(line, kXferXition))
            return {GroupLine::MixXferError};
        const PairFound ends = containsPair(line, kMixEnds);
        if (ends.first)
            return {GroupLine::Kind, DONE};
        if (ends.second)
            return {GroupLine::Kind, REV_BUS};
        if (contains(line, kDebugRouter))
            return {GroupLine::Kind, DEBUG_RTR};
        return sortRouterLine(line);
    }

  private:
    LineRole sortRouterLine(std::string_view line) const {
        return isRouterLine(line) ? LineRole{GroupLine::Router} : LineRole{};
    }

    std::string_view srchname_;
    std::string_view outputtext_;
    std::string_view levelText_;
    bool levelFilter_;
};

/// The texts without which a read cannot matter in a state: a read that holds
/// none of them fails every test there and is only counted. Each state has
/// two such sets, its marker texts or the process name (see AdaptiveNeedles).
/// An empty `outputtext` is in every read, so inside a group every read is
/// then handed over; so is an empty process name in the second set.
struct CandidateTexts {
    explicit CandidateTexts(const TransitionOptions& o)
        : outputtext(o.outputtext), srchname(o.srchname), filter(o.passOverReads),
          betweenGroups(texts({kFadeStart, kXferXition}), texts({srchname}), o.filterWindow),
          inFade(texts({kFadeStart, kXferXition, kSniffer, kFadeDone, kFadeRevBus, kFadeRevBlk,
                        kDebugRouter, outputtext}),
                 byName(), o.filterWindow),
          inMixBeforeFirstGroup(texts({kAnyFade, kSniffer, kXferXition, kMixDone, kMixRevBus,
                                       kDebugRouter, outputtext}),
                                byName(), o.filterWindow),
          inMix(texts({kSniffer, kXferXition, kMixDone, kMixRevBus, kDebugRouter, outputtext}),
                byName(), o.filterWindow) {}

    // Without filtering, the empty text: found in every read.
    NeedleSet texts(std::initializer_list<std::string_view> list) const {
        return filter ? NeedleSet(list) : NeedleSet{std::string_view()};
    }
    NeedleSet byName() const { return texts({srchname, kSniffer, outputtext}); }

    std::string_view outputtext;
    std::string_view srchname;
    bool filter;
    AdaptiveNeedles betweenGroups;
    AdaptiveNeedles inFade;
    AdaptiveNeedles inMixBeforeFirstGroup;
    AdaptiveNeedles inMix;
};

class TransitionScanner {
  public:
    TransitionScanner(LineReader& logFile, TransitionAnalysis& analysis)
        : analysis_(analysis), stats_(analysis.fileStats), group_(analysis.transitionGroup),
          report_(analysis.report), reads_(logFile, stats_.lineCount),
          summaryMode_(analysis.options.summaryMode), tests_(analysis.options),
          candidates_(analysis.options) {}

    void run() {
        while (!endOfFile_)
            step();
    }

  private:
    void step() {
        switch (state_) {
        case ScanState::READ_LINE:
            readLineStep();
            break;
        case ScanState::FIND_START:
            findStart();
            break;
        case ScanState::FADE_COLLECT:
            fadeCollect();
            break;
        case ScanState::FADE_COMPLETE:
            complete(analyzeFadeGroup);
            break;
        case ScanState::MIX_COLLECT:
            mixCollect();
            break;
        case ScanState::MIX_COMPLETE:
            complete(analyzeMixGroup);
            break;
        }
    }

    // The next read that can matter; the reads passed over are counted.
    bool readLine(AdaptiveNeedles& candidates) {
        const std::int64_t before = stats_.lineCount;
        const bool read = reads_.next(line_, candidates.current());
        candidates.record(stats_.lineCount - before, read);
        if (!read) {
            endOfFile_ = true;
            return false;
        }
        return true;
    }

    long long lineNumber() const { return static_cast<long long>(stats_.lineCount); }

    void readLineStep() {
        if (readLine(candidates_.betweenGroups))
            findStart();
    }

    // Also re-examines the line that broke a group, which may open the next.
    void findStart() {
        state_ = ScanState::READ_LINE;
        sniffSeen_ = 0;
        if (!tests_.hasName(line_))
            return;
        if (contains(line_, kFadeStart))
            startGroup(START, kFadeMask, ScanState::FADE_COLLECT);
        else if (contains(line_, kXferXition))
            startGroup(XFER, kMixMask, ScanState::MIX_COLLECT);
    }

    void startGroup(LineKind opening, std::uint32_t awaited, ScanState collectState) {
        ++stats_.startlineCount;
        group_.slots[opening].store(line_, stats_.lineCount);
        group_.lineMask = awaited;
        nextRouterSlot_ = kFirstRouterSlot;
        state_ = collectState;
    }

    void fadeCollect() {
        if (nextGroupLine(ScanState::FADE_COMPLETE, candidates_.inFade))
            apply(tests_.sortFadeLine(line_), ScanState::FADE_COMPLETE);
    }

    void mixCollect() {
        const bool noGroupCompleted = stats_.transitionCount == 0;
        AdaptiveNeedles& candidates =
            noGroupCompleted ? candidates_.inMixBeforeFirstGroup : candidates_.inMix;
        if (nextGroupLine(ScanState::MIX_COMPLETE, candidates))
            apply(tests_.sortMixLine(line_, noGroupCompleted), ScanState::MIX_COMPLETE);
    }

    // A complete group is handed over at the top of the next step, before
    // any read, so it never holds a line after the one that completed it.
    // A group cut off by the end of the file is dropped silently.
    bool nextGroupLine(ScanState completeState, AdaptiveNeedles& candidates) {
        if (group_.lineMask == 0) {
            state_ = completeState;
            return false;
        }
        return readLine(candidates);
    }

    void apply(LineRole line, ScanState completeState) {
        switch (line.role) {
        case GroupLine::StartError:
            startError();
            break;
        case GroupLine::MixDofadeError:
            report_.print("MIX_DOFADE ERROR Line %8lld\n", lineNumber());
            abandonMixGroup();
            break;
        case GroupLine::MixXferError:
            report_.print("MIX_XFER XITION ERROR Line %8lld\n", lineNumber());
            abandonMixGroup();
            break;
        case GroupLine::Sniff:
            sniffSeen_ = 1;
            break;
        case GroupLine::Kind:
            storeKind(line.kind);
            break;
        case GroupLine::Router:
            storeRouterLine(completeState);
            break;
        case GroupLine::Other:
            break;
        }
    }

    // A later line of a kind replaces the earlier one.
    void storeKind(LineKind kind) {
        group_.slots[kind].store(line_, stats_.lineCount);
        group_.lineMask &= ~lineKindBit(kind);
    }

    void storeRouterLine(ScanState completeState) {
        group_.slots[nextRouterSlot_].store(line_, stats_.lineCount);
        group_.lineMask &= ~lineKindBit(ROUTER_01);
        if (++nextRouterSlot_ < kSlotCount)
            return;
        if (group_.lineMask == 0) {
            state_ = completeState;
            return;
        }
        // No slot is left: the group is dropped without timing or block error.
        if (summaryMode_ == 0)
            report_.console().printf("line %4lld Too Many router lines w/linemask = 0x%08x\n",
                                     lineNumber(), static_cast<unsigned>(group_.lineMask));
        state_ = ScanState::READ_LINE;
    }

    void startError() {
        if (summaryMode_ == 0)
            report_.print("START ERROR Line %8lld\n", lineNumber());
        reportMissingLines(analysis_, summaryMode_, true);
        state_ = ScanState::FIND_START;
    }

    // The error line shows in summary mode too; the missing-line list and
    // the block error count only in standard mode.
    void abandonMixGroup() {
        if (summaryMode_ == 0)
            reportMissingLines(analysis_, 0, false);
        state_ = ScanState::FIND_START;
    }

    void complete(void (*analyze)(TransitionAnalysis&, std::int64_t, int, int)) {
        const std::int64_t groupNumber = stats_.transitionCount++;
        analyze(analysis_, groupNumber, summaryMode_, sniffSeen_);
        state_ = ScanState::READ_LINE;
    }

    TransitionAnalysis& analysis_;
    FileStats& stats_;
    TransitionGroup& group_;
    Report& report_;
    ReadFilter reads_;
    int summaryMode_;
    LineTests tests_;
    CandidateTexts candidates_;
    ScanState state_ = ScanState::READ_LINE;
    std::string_view line_; // the read being examined; valid until the next read
    int sniffSeen_ = 0;
    int nextRouterSlot_ = kFirstRouterSlot;
    bool endOfFile_ = false;
};

} // namespace

void scanTransitions(LineReader& logFile, TransitionAnalysis& analysis) {
    TransitionScanner(logFile, analysis).run();
}

} // namespace qv
