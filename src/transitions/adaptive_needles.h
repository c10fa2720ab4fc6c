// Which texts the transition scanner waits for in a state. Two sets let
// through every read that can matter there: the marker texts of the state's
// tests, or the process name (which every marker test asks for as well),
// each with the sniffer and destination texts. Which hands out fewer reads
// depends on the log: on a busy station many processes write markers, in a
// quiet one the followed process names most lines. The scanner measures the
// set in use and now and then tries the other one.
#pragma once

#include "search/block_search.h"

#include <cstdint>

namespace qv {

class AdaptiveNeedles {
  public:
    /// `window`: reads after which the choice is looked at again.
    AdaptiveNeedles(NeedleSet markers, NeedleSet byName, std::int64_t window);

    const NeedleSet& current() const { return useName_ ? byName_ : markers_; }
    /// After each read asked for: `reads` counted on the way, and whether
    /// one was handed out.
    void record(std::int64_t reads, bool handedOut) {
        reads_ += reads;
        handedOut_ += handedOut ? 1 : 0;
        if (reads_ >= window_)
            review();
    }

  private:
    void review();
    double cost(const NeedleSet& set) const;

    NeedleSet markers_;
    NeedleSet byName_;
    std::int64_t window_;
    bool useName_ = false;
    bool nameUsable_;
    std::int64_t reads_ = 0;     // in this window
    std::int64_t handedOut_ = 0; // in this window
    bool homeIsName_ = false;    // the set in use between tries of the other
    double homeCost_ = 0;        // its cost in the last window
    bool trying_ = false;        // this window tries the other set
    int windowsAtHome_ = 0;
    int tryOtherAfter_ = 1; // windows; doubles while the other set keeps losing
};

} // namespace qv
