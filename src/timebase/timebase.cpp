#include "timebase/timebase.h"

namespace qv {

namespace {

struct RateFacts {
    FrameRate rate;
    const char* name;
    int frameNumbers;
    std::int64_t framesPerDay;
    FieldRate fieldRate;
};

// 29.97 drop-frame leaves out frame numbers 00 and 01 in 54 of every 60
// minutes: 24 * 60 * 60 * 30 - 2 * 24 * 54 frames a day.
constexpr RateFacts kRates[] = {
    {FrameRate::Fps30, "30", 30, 24 * 3600 * 30, {60, 1}},
    {FrameRate::Fps2997Drop, "29.97", 30, 24 * 3600 * 30 - 2 * 24 * 54, {60000, 1001}},
    {FrameRate::Fps25, "25", 25, 24 * 3600 * 25, {50, 1}},
};

const RateFacts& factsOf(FrameRate rate) {
    for (const RateFacts& facts : kRates)
        if (facts.rate == rate)
            return facts;
    return kRates[0];
}

int digitPair(std::uint32_t raw, int shift) {
    const auto digits = static_cast<int>((raw >> shift) & 0xFF);
    return 10 * (digits >> 4) + (digits & 0x0F);
}

int columnPair(std::string_view column, std::size_t at) {
    return (column[at] - '0') * 10 + column[at + 1] - '0';
}

} // namespace

bool parseFrameRate(std::string_view text, FrameRate& rate) {
    for (const RateFacts& facts : kRates)
        if (text == facts.name) {
            rate = facts.rate;
            return true;
        }
    return false;
}

const char* frameRateName(FrameRate rate) {
    return factsOf(rate).name;
}

Timebase::Timebase(FrameRate rate)
    : rate_(rate), frameNumbers_(factsOf(rate).frameNumbers),
      fieldsPerDay_(2 * factsOf(rate).framesPerDay), fieldRate_(factsOf(rate).fieldRate) {}

double Timebase::secondsOf(std::int64_t fields) const {
    return static_cast<double>(fields) * static_cast<double>(fieldRate_.seconds) /
           static_cast<double>(fieldRate_.fields);
}

std::int32_t Timebase::fieldsOf(std::uint32_t rawTimecode) const {
    const std::int32_t hours = digitPair(rawTimecode, 24);
    const std::int32_t minutes = digitPair(rawTimecode, 16);
    const std::int32_t seconds = digitPair(rawTimecode, 8);
    const std::int32_t frames = digitPair(rawTimecode, 0);
    std::int32_t frameNumber = ((hours * 60 + minutes) * 60 + seconds) * frameNumbers_ + frames;
    if (dropFrame()) {
        const std::int32_t totalMinutes = hours * 60 + minutes;
        frameNumber -= 2 * (totalMinutes - totalMinutes / 10);
    }
    return 2 * frameNumber;
}

bool Timebase::misread(std::string_view column) const {
    if (column.size() < 8)
        return true;
    for (std::size_t i = 0; i < 8; ++i)
        if (column[i] < '0' || column[i] > '9')
            return true;
    const int minutes = columnPair(column, 2);
    const int seconds = columnPair(column, 4);
    const int frames = columnPair(column, 6);
    if (columnPair(column, 0) > 23 || minutes > 59 || seconds > 59 || frames >= frameNumbers_)
        return true;
    return dropFrame() && seconds == 0 && frames < 2 && minutes % 10 != 0;
}

std::int64_t Timebase::aroundMidnight(std::int64_t delay) const {
    const std::int64_t half = fieldsPerDay_ / 2;
    if (delay < -half)
        return delay + fieldsPerDay_;
    if (delay > half)
        return delay - fieldsPerDay_;
    return delay;
}

namespace {
constexpr int kFramesAt25 = 25;
constexpr std::int64_t kTimecodesForHint = 1000;
} // namespace

void RateWatch::see(std::uint32_t rawTimecode) {
    ++seen_;
    if (digitPair(rawTimecode, 0) >= kFramesAt25)
        frameAbove24_ = true;
}

bool RateWatch::looksLike25() const {
    return !frameAbove24_ && seen_ >= kTimecodesForHint;
}

} // namespace qv
