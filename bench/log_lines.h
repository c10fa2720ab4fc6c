// The pieces every generated log is made of: random numbers, the line
// layout with its timecode, and the noise lines between transitions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace loggen {

// splitmix64: tiny, fast and the same on every platform.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in [lo, hi].
    int range(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool chance(int perMille) { return range(0, 999) < perMille; }
    const char* pick(std::span<const char* const> list) { return list[next() % list.size()]; }

  private:
    std::uint64_t state_;
};

/// The station's frame rate: frame numbers a second, and drop-frame
/// numbering (29.97: no frames 00 and 01 at second 00 of 9 minutes in 10).
struct StationRate {
    unsigned frameNumbers = 30;
    bool dropFrame = false;

    /// "30", "29.97" or "25"; false for anything else.
    static bool parse(std::string_view text, StationRate& rate);
    std::uint64_t framesPerHour() const { return dropFrame ? 107892 : frameNumbers * 3600ull; }
    std::uint64_t fieldsPerHour() const { return 2 * framesPerHour(); }
};

class LogWriter {
  public:
    LogWriter(std::FILE* out, bool crlf, StationRate rate = {})
        : out_(out), crlf_(crlf), rate_(rate) {
        buffer_.reserve(1 << 20);
    }
    /// Into `text` instead of a file (the unit tests make their logs so).
    LogWriter(std::string& text, bool crlf, StationRate rate = {})
        : text_(&text), crlf_(crlf), rate_(rate) {}
    const StationRate& rate() const { return rate_; }
    ~LogWriter() { flush(); }
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    std::uint64_t written() const { return written_ + buffer_.size(); }
    std::uint64_t lines() const { return lines_; }

    /// One line: date, clock, process (8 wide), message (34 wide), timecode, tail.
    void line(std::uint64_t fields, const char* proc, const char* msg, std::string_view tail);
    void raw(std::string_view text);
    void flush();

  private:
    std::FILE* out_ = nullptr;
    std::string* text_ = nullptr;
    bool crlf_;
    StationRate rate_;
    std::string buffer_;
    std::uint64_t written_ = 0;
    std::uint64_t lines_ = 0;
};

inline constexpr int kHeadWidth = 74; // everything before the tail, the blank after the timecode

/// The words that fill tails and single lines.
std::span<const char* const> fillWords();
/// The processes of the standard log's noise; the followed process among them.
std::span<const char* const> standardNoiseProcesses();

/// Writes lines on one clock that runs 0, 2 or 4 fields per line, and the
/// noise between transitions: takes, router lines of other destinations,
/// refreshes, sniffer status, command errors, warnings, device dumps longer
/// than one read and status lines.
class LogLines {
  public:
    /// `noiseProcs` name the status lines; the list must outlive this object.
    LogLines(LogWriter& out, std::uint64_t seed, std::span<const char* const> noiseProcs)
        : out_(out), rng_(seed), noiseProcs_(noiseProcs), fields_(3 * out.rate().fieldsPerHour()) {}

    Rng& rng() { return rng_; }
    std::uint64_t lines() const { return out_.lines(); }

    void line(const char* proc, const char* msg, std::string_view tail) {
        out_.line(tick(), proc, msg, tail);
    }
    /// A router take: "<dst> src NNNN lev 00".
    void router(const char* dst);
    void noiseLine();
    void noiseBurst(int count);
    /// A status line of `proc`, 80 to 200 characters long.
    void statusLine(const char* proc);
    /// A line of `proc` with message `msg` and words after it, 120 to 180
    /// characters long.
    void wordyLine(const char* proc, const char* msg);

  private:
    std::uint64_t tick() { return fields_ += static_cast<std::uint64_t>(rng_.range(0, 2)) * 2; }
    void words(std::size_t width);
    void longLine();

    LogWriter& out_;
    Rng rng_;
    std::span<const char* const> noiseProcs_;
    std::uint64_t fields_; // from 03:00:00:00 on
    std::string tail_;
};

} // namespace loggen
