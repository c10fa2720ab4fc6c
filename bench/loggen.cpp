// Writes a deterministic, realistic automation log of any size for the
// benchmark: fades and mixes of several processes, router takes and
// refreshes, sniffer status, timecode command errors, take lines, noise
// lines of 80 to 200 characters and a few lines longer than one read.
// Every line carries its BCD timecode at columns 65 to 72.
//
//   loggen [--size N[K|M|G]] [--seed N] [--crlf] [--one-line N[K|M|G]] [-o FILE]
//
// The same options always give the same bytes.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

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
    template <std::size_t N> const char* pick(const char* const (&list)[N]) {
        return list[next() % N];
    }

  private:
    std::uint64_t state_;
};

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
constexpr const char* kStations[] = {"WQVX", "WQVX", "WQVX", "KQVX", "PQVX"};

class LogWriter {
  public:
    LogWriter(std::FILE* out, bool crlf) : out_(out), crlf_(crlf) { buffer_.reserve(1 << 20); }
    ~LogWriter() { flush(); }
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    std::uint64_t written() const { return written_ + buffer_.size(); }

    /// One line: date, clock, process (8 wide), message (34 wide), timecode, tail.
    void line(std::uint64_t fields, const char* proc, const char* msg, std::string_view tail) {
        const std::uint64_t day = fields % (24ull * 216000);
        const unsigned h = static_cast<unsigned>(day / 216000);
        const unsigned m = static_cast<unsigned>(day / 3600 % 60);
        const unsigned s = static_cast<unsigned>(day / 60 % 60);
        const unsigned f = static_cast<unsigned>(day % 60);
        char head[128];
        const int n = std::snprintf(head, sizeof head,
                                    "12/08/26 %02u:%02u:%02u.%03u %-8s %-34s%02u%02u%02u%02u ", h,
                                    m, s, f * 1000 / 60, proc, msg, h, m, s, f / 2);
        buffer_.append(head, static_cast<std::size_t>(n));
        buffer_.append(tail);
        buffer_.append(crlf_ ? "\r\n" : "\n");
        if (buffer_.size() >= (1u << 20))
            flush();
    }

    void raw(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= (1u << 20))
            flush();
    }

    void flush() {
        written_ += std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
        buffer_.clear();
    }

  private:
    std::FILE* out_;
    bool crlf_;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

constexpr int kHeadWidth = 74; // everything before the tail, the blank after the timecode included

class Generator {
  public:
    Generator(LogWriter& out, std::uint64_t seed) : out_(out), rng_(seed) {}

    void event() {
        const int pick = rng_.range(0, 999);
        if (pick < 12)
            fade(rng_.pick(kStations));
        else if (pick < 20)
            mix(rng_.pick(kStations));
        else if (pick < 21)
            brokenFade();
        else
            noiseBurst(rng_.range(1, 6));
    }

  private:
    std::uint64_t tick() { return fields_ += static_cast<std::uint64_t>(rng_.range(0, 2)) * 2; }

    void words(std::size_t width) {
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

    void noiseLine() {
        const int kind = rng_.range(0, 999);
        char tail[96];
        if (kind < 40) { // take on a preset bus
            std::snprintf(tail, sizeof tail, "pst src %04d", rng_.range(1, 64));
            out_.line(tick(), "SWITCH", "TAKE bus A", tail);
        } else if (kind < 60) { // router take on another destination
            std::snprintf(tail, sizeof tail, "dst %04d src %04d lev 00", rng_.range(131, 199),
                          rng_.range(1, 64));
            out_.line(tick(), "RTRCTL", "RTR TAKE", tail);
        } else if (kind < 72) {
            std::snprintf(tail, sizeof tail, "dst 0130 src %04d lev 00", rng_.range(1, 64));
            out_.line(tick(), "RTRCTL", "RTR REFRESH", tail);
        } else if (kind < 83) {
            std::snprintf(tail, sizeof tail, "poll %d", rng_.range(1, 99));
            out_.line(tick(), "KQVX", "SNIFFER STATUS ok", tail);
        } else if (kind < 89) {
            std::snprintf(tail, sizeof tail, "delta %d", rng_.range(-6, 40));
            out_.line(tick(), "TCGEN", "CMD-ERROR on TC", tail);
        } else if (kind < 99) {
            words(static_cast<std::size_t>(rng_.range(20, 60)));
            out_.line(tick(), "NETMON", "LINK WARN", tail_);
        } else if (kind < 102) {
            longLine();
        } else {
            words(static_cast<std::size_t>(rng_.range(80, 200) - kHeadWidth));
            out_.line(tick(), rng_.pick(kNoiseProcs), rng_.pick(kNoiseMessages), tail_);
        }
    }

    // A device dump longer than one read; now and then a marker in a later piece.
    void longLine() {
        words(static_cast<std::size_t>(rng_.range(250, 1500) - kHeadWidth));
        if (rng_.chance(100)) {
            const std::size_t at = static_cast<std::size_t>(rng_.range(160, 400));
            if (at + 40 < tail_.size())
                tail_.replace(at, 22, " src 0012 CMD-ERROR on TC delta 9 ");
        }
        out_.line(tick(), "DEVMGR", "CONFIG dump", tail_);
    }

    void noiseBurst(int count) {
        for (int i = 0; i < count; ++i)
            noiseLine();
    }

    void router(const char* dst) {
        char tail[64];
        std::snprintf(tail, sizeof tail, "%s src %04d lev 00", dst, rng_.range(1, 64));
        out_.line(tick(), "RTRCTL", "RTR TAKE", tail);
    }

    void fade(const char* proc) {
        char tail[32];
        std::snprintf(tail, sizeof tail, "fade %d", rng_.range(1, 30));
        out_.line(tick(), proc, "DOFADE:START", tail);
        noiseBurst(rng_.range(0, 4));
        out_.line(tick(), proc, "XFER XITION", "to pgm");
        router("dst 0130");
        if (rng_.chance(30)) // a salvo: more router lines than one group can hold
            for (int i = 0; i < 30; ++i)
                router("dst 0130");
        out_.line(tick(), proc, "goto REV-BUS", "");
        noiseBurst(rng_.range(0, 3));
        out_.line(tick(), proc, "goto REV-BLK", "");
        std::snprintf(tail, sizeof tail, "rtr %d", rng_.range(1, 9));
        out_.line(tick(), proc, "DBGRTRTIME", tail);
        noiseBurst(rng_.range(0, 4));
        out_.line(tick(), proc, "DOFADE:DONE", "");
    }

    void mix(const char* proc) {
        out_.line(tick(), proc, "XFER XITION", "mix");
        out_.line(tick(), proc, "DOMIX:swrtr goto rev-bus", "");
        router("dst 0130");
        noiseBurst(rng_.range(0, 4));
        char tail[32];
        std::snprintf(tail, sizeof tail, "rtr %d", rng_.range(1, 9));
        out_.line(tick(), proc, "DBGRTRTIME", tail);
        out_.line(tick(), proc, "DOMIX:swrtr trans done", "");
    }

    void brokenFade() {
        out_.line(tick(), "WQVX", "DOFADE:START", "aborted");
        noiseBurst(rng_.range(0, 3));
        out_.line(tick(), "WQVX", "XFER XITION", "to pgm");
    }

    LogWriter& out_;
    Rng rng_;
    std::uint64_t fields_ = 3ull * 216000;
    std::string tail_;
};

// A number with an optional K, M or G suffix (powers of 1024).
std::uint64_t parseSize(const char* text) {
    char* end = nullptr;
    const std::uint64_t value = std::strtoull(text, &end, 10);
    const char* suffix = std::strchr("KMG", std::toupper(static_cast<unsigned char>(*end)));
    return suffix && *end ? value << (10 * (suffix - "KMG" + 1)) : value;
}

// One line of `size` bytes of words, then a newline.
void writeOneLine(LogWriter& out, std::uint64_t size, std::uint64_t seed) {
    Rng rng(seed);
    std::string chunk;
    while (out.written() < size) {
        chunk.clear();
        while (chunk.size() < 4096)
            chunk.append(rng.pick(kWords)).append(" ");
        chunk.resize(std::min<std::uint64_t>(chunk.size(), size - out.written()));
        out.raw(chunk);
    }
    out.raw("\n");
}

int usage() {
    std::fputs("usage: loggen [--size N[K|M|G]] [--seed N] [--crlf] [--one-line N[K|M|G]] "
               "[-o FILE]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t size = 64ull << 20;
    std::uint64_t oneLine = 0;
    std::uint64_t seed = 1;
    bool crlf = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--crlf")
            crlf = true;
        else if (arg == "--size" && hasValue)
            size = parseSize(argv[++i]);
        else if (arg == "--one-line" && hasValue)
            oneLine = parseSize(argv[++i]);
        else if (arg == "--seed" && hasValue)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "-o" && hasValue)
            path = argv[++i];
        else
            return usage();
    }
    std::FILE* file = path ? std::fopen(path, "wb") : stdout;
    if (!file) {
        std::perror(path);
        return 1;
    }
    {
        LogWriter out(file, crlf);
        if (oneLine > 0) {
            writeOneLine(out, oneLine, seed);
        } else {
            Generator generator(out, seed);
            while (out.written() < size)
                generator.event();
        }
    }
    const bool failed = std::ferror(file) != 0;
    if (path)
        std::fclose(file);
    return failed ? 1 : 0;
}
