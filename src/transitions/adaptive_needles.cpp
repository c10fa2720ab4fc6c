#include "transitions/adaptive_needles.h"

#include <algorithm>

namespace qv {

namespace {

// Rough costs, in the time of one read searched per mark: a read handed out
// leaves the search, is copied and tested against every test of the state.
constexpr double kHandOutCost = 110.0;
constexpr int kLongestWait = 256; // windows before the losing set is tried again

} // namespace

AdaptiveNeedles::AdaptiveNeedles(NeedleSet markers, NeedleSet byName, std::int64_t window)
    : markers_(std::move(markers)), byName_(std::move(byName)),
      window_(std::max<std::int64_t>(window, 1)), nameUsable_(byName_.searchable()) {}

double AdaptiveNeedles::cost(const NeedleSet& set) const {
    const double density = static_cast<double>(handedOut_) / static_cast<double>(reads_);
    return set.needles().markCount + kHandOutCost * density;
}

void AdaptiveNeedles::review() {
    const double now = cost(current());
    reads_ = 0;
    handedOut_ = 0;
    if (!nameUsable_ || !markers_.searchable())
        return; // a set found in every read is no choice
    if (trying_) {
        // The other set has had a window: keep it if it did better.
        trying_ = false;
        if (now < homeCost_) {
            homeIsName_ = useName_;
            tryOtherAfter_ = 1;
        } else {
            useName_ = homeIsName_;
            tryOtherAfter_ = std::min(tryOtherAfter_ * 2, kLongestWait);
        }
        windowsAtHome_ = 0;
        return;
    }
    homeCost_ = now;
    if (++windowsAtHome_ >= tryOtherAfter_) {
        trying_ = true; // the log may have changed: look at the other set again
        useName_ = !homeIsName_;
    }
}

} // namespace qv
