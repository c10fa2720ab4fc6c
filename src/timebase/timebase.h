// How the station counts time: its frame rate, drop-frame numbering, and what
// a field (half a frame) is in seconds. Every conversion between timecodes,
// fields and time goes through here, so a new rate is added in one place.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

enum class FrameRate { Fps30, Fps2997Drop, Fps25 };

/// "30", "29.97" or "25"; false for anything else.
bool parseFrameRate(std::string_view text, FrameRate& rate);
/// The option value that selects `rate`.
const char* frameRateName(FrameRate rate);

/// A duration in seconds as an exact fraction, for comparisons at the edge.
struct FieldRate {
    std::int64_t fields;  // this many fields ...
    std::int64_t seconds; // ... take this many seconds
};

class Timebase {
  public:
    Timebase() : Timebase(FrameRate::Fps30) {}
    explicit Timebase(FrameRate rate);

    FrameRate rate() const { return rate_; }
    /// Frame numbers the timecode counts in one second (30 at 29.97 too).
    int frameNumbers() const { return frameNumbers_; }
    bool dropFrame() const { return rate_ == FrameRate::Fps2997Drop; }

    /// Fields from 00:00:00:00 to the next midnight, and in one hour.
    std::int64_t fieldsPerDay() const { return fieldsPerDay_; }
    std::int64_t fieldsPerHour() const { return fieldsPerDay_ / 24; }
    /// Fields per second as an exact fraction (60000/1001 at 29.97).
    FieldRate fieldRate() const { return fieldRate_; }
    double secondsOf(std::int64_t fields) const;
    /// Real frames since midnight of a BCD timecode hhmmssff, times two.
    /// Digits above 9 count with their value; nothing is validated.
    std::int32_t fieldsOf(std::uint32_t rawTimecode) const;
    /// True when the eight characters of a timecode column are no timecode
    /// of a day at this rate: not all digits 0-9, hours above 23, minutes or
    /// seconds above 59, a frame number the rate does not have.
    bool misread(std::string_view column) const;
    /// A delay between two sound timecodes, taken the short way round the
    /// clock: below minus half a day it gains a day, above half a day it loses one.
    std::int64_t aroundMidnight(std::int64_t delay) const;
    /// Whole frames of `fields` (a field is half a frame), rounded down.
    static std::int64_t framesOf(std::int64_t fields) { return fields >> 1; }

  private:
    FrameRate rate_;
    int frameNumbers_;
    std::int64_t fieldsPerDay_;
    FieldRate fieldRate_;
};

/// Watches the sound timecodes of one file read at 30 frames/s: a log where
/// many of them never show a frame number above 24 likely comes from a
/// 25 frames/s station.
class RateWatch {
  public:
    void see(std::uint32_t rawTimecode);
    /// At least 1,000 timecodes seen and none with a frame above 24.
    bool looksLike25() const;
    std::int64_t seen() const { return seen_; }

  private:
    std::int64_t seen_ = 0;
    bool frameAbove24_ = false;
};

} // namespace qv
