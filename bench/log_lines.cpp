#include "log_lines.h"

namespace loggen {

namespace {

constexpr const char* kWords[] = {
    "poll",   "queue", "device", "port",    "ok",     "reply", "timeout", "state", "ready",
    "idle",   "cue",   "clip",   "channel", "bus",    "ack",   "frame",   "link",  "retry",
    "buffer", "tally", "preset", "vtr",     "record", "play",  "status",  "seq",   "id",
    "crc",    "net",   "slot",   "load",    "gpi",    "level", "hold",    "armed", "sync"};

constexpr const char* kNoiseMessages[] = {
    "STATUS heartbeat",   "DEVICE poll reply", "VTR STATUS",     "PLAYLIST advance",
    "GPI event",          "SCHED next event",  "AUDIO level",    "DEVICE state change",
    "TALLY update",       "CLIP cue ready",    "SEQ load",       "PORT poll timeout",
    "SCHED list refresh", "VTR cue",           "MEDIA check ok", "DEVICE ack"};

constexpr const char* kNoiseProcs[] = {"KQVX", "PQVX", "WQVX", "DEVMGR", "SCHED", "VTRCTL", "GPI"};

} // namespace

std::span<const char* const> fillWords() {
    return kWords;
}

std::span<const char* const> standardNoiseProcesses() {
    return kNoiseProcs;
}

bool StationRate::parse(std::string_view text, StationRate& rate) {
    if (text == "30" || text == "29.97" || text == "25") {
        rate.frameNumbers = text == "25" ? 25 : 30;
        rate.dropFrame = text == "29.97";
        return true;
    }
    return false;
}

// Real fields since midnight to the station's timecode: the frame number
// runs 2 ahead after each minute that is no tenth minute at 29.97.
void LogWriter::line(std::uint64_t fields, const char* proc, const char* msg,
                     std::string_view tail) {
    const std::uint64_t fieldsPerSecond = 2ull * rate_.frameNumbers;
    std::uint64_t day = fields % (24 * rate_.fieldsPerHour());
    if (rate_.dropFrame) {
        const std::uint64_t tens = day / 2 / 17982, rest = day / 2 % 17982;
        day += 2 * (18 * tens + (rest > 1 ? 2 * ((rest - 2) / 1798) : 0));
    }
    const unsigned h = static_cast<unsigned>(day / (3600 * fieldsPerSecond));
    const unsigned m = static_cast<unsigned>(day / (60 * fieldsPerSecond) % 60);
    const unsigned s = static_cast<unsigned>(day / fieldsPerSecond % 60);
    const unsigned f = static_cast<unsigned>(day % fieldsPerSecond);
    char head[128];
    const int n = std::snprintf(
        head, sizeof head, "12/08/26 %02u:%02u:%02u.%03u %-8s %-34s%02u%02u%02u%02u ", h, m, s,
        static_cast<unsigned>(f * 1000 / fieldsPerSecond), proc, msg, h, m, s, f / 2);
    buffer_.append(head, static_cast<std::size_t>(n));
    buffer_.append(tail);
    buffer_.append(crlf_ ? "\r\n" : "\n");
    ++lines_;
    if (buffer_.size() >= (1u << 20))
        flush();
}

void LogWriter::raw(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= (1u << 20))
        flush();
}

void LogWriter::flush() {
    if (text_)
        text_->append(buffer_);
    written_ += text_ ? buffer_.size() : std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
    buffer_.clear();
}

void LogLines::words(std::size_t width) {
    tail_.clear();
    while (tail_.size() < width) {
        if (!tail_.empty())
            tail_ += ' ';
        if (rng_.chance(250))
            tail_ += std::to_string(rng_.range(0, 99999));
        else
            tail_ += rng_.pick(kWords);
    }
    tail_.resize(width);
}

// The random draws of a line are taken in a fixed order, so that every
// compiler writes the same bytes for the same seed.
void LogLines::noiseLine() {
    const int kind = rng_.range(0, 999);
    char tail[96];
    if (kind < 40) { // take on a preset bus
        std::snprintf(tail, sizeof tail, "pst src %04d", rng_.range(1, 64));
        line("SWITCH", "TAKE bus A", tail);
    } else if (kind < 60) { // router take on another destination
        const int src = rng_.range(1, 64);
        const int dst = rng_.range(131, 199);
        std::snprintf(tail, sizeof tail, "dst %04d src %04d lev 00", dst, src);
        line("RTRCTL", "RTR TAKE", tail);
    } else if (kind < 72) {
        std::snprintf(tail, sizeof tail, "dst 0130 src %04d lev 00", rng_.range(1, 64));
        line("RTRCTL", "RTR REFRESH", tail);
    } else if (kind < 83) {
        std::snprintf(tail, sizeof tail, "poll %d", rng_.range(1, 99));
        line("KQVX", "SNIFFER STATUS ok", tail);
    } else if (kind < 89) {
        std::snprintf(tail, sizeof tail, "delta %d", rng_.range(-6, 40));
        line("TCGEN", "CMD-ERROR on TC", tail);
    } else if (kind < 99) {
        words(static_cast<std::size_t>(rng_.range(20, 60)));
        line("NETMON", "LINK WARN", tail_);
    } else if (kind < 102) {
        longLine();
    } else {
        statusLine(nullptr);
    }
}

void LogLines::statusLine(const char* proc) {
    words(static_cast<std::size_t>(rng_.range(80, 200) - kHeadWidth));
    const char* msg = rng_.pick(kNoiseMessages);
    if (!proc)
        proc = rng_.pick(noiseProcs_);
    line(proc, msg, tail_);
}

void LogLines::wordyLine(const char* proc, const char* msg) {
    words(static_cast<std::size_t>(rng_.range(120, 180) - kHeadWidth));
    line(proc, msg, tail_);
}

// A device dump longer than one read; now and then a marker in a later piece.
void LogLines::longLine() {
    words(static_cast<std::size_t>(rng_.range(250, 1500) - kHeadWidth));
    if (rng_.chance(100)) {
        const std::size_t at = static_cast<std::size_t>(rng_.range(160, 400));
        if (at + 40 < tail_.size())
            tail_.replace(at, 22, " src 0012 CMD-ERROR on TC delta 9 ");
    }
    line("DEVMGR", "CONFIG dump", tail_);
}

void LogLines::noiseBurst(int count) {
    for (int i = 0; i < count; ++i)
        noiseLine();
}

void LogLines::router(const char* dst) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "%s src %04d lev 00", dst, rng_.range(1, 64));
    line("RTRCTL", "RTR TAKE", tail);
}

} // namespace loggen
