// Follows a log while this program writes it, the way an automation does:
// in pieces of random size cut anywhere (inside a CRLF pair, inside a read)
// with random pauses. Then it stops the run with Ctrl-C (SIGINT) and compares
// its standard output, output file and CSV byte for byte with a run without
// /follow over the final files.
//
//   follow_check --binary QV --log SAMPLE --scenario NAME [--seed N]
//                [--launcher CMD] [--windows] [--stdout KIND] [-- OPTION...]
//
// Scenarios:
//   grow       one file grows (Ctrl-Z and a last line without newline late)
//   hang_up    the same, ended by SIGHUP (a dropped session) instead of Ctrl-C
//   truncated  the file is emptied and written anew: compared with a pattern
//              run over the two contents as two files
//   replaced   another file is renamed over it: the same comparison
//   fifo       a FIFO is renamed over it: the run ends on its own, its report
//              that of the first content, the summary included
//   write_fails   standard output (/dev/full, or a pipe closed by its reader
//              with SIGPIPE ignored: --stdout full|broken_pipe) or a file the
//              options name /dev/full: the run must end at the first flush
//              with "Error writing" and exit 1, not wait for a Ctrl-C
//   newer      /multi: day1.log grows, then day2.log appears and grows;
//              day0.log (older) must not be reported, nor the output file
//   stop_keys  a second Ctrl-C ends a run blocked on its output with 130;
//              without /follow the first Ctrl-C ends it as it always did
//
// Midway, the check waits until the run has reported what was written so
// far: each group must be out the moment its last line is written.
// Exit 0 when all matches, 1 with the differences on standard error.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Options {
    std::string binary;
    std::vector<std::string> launcher;
    fs::path log;
    std::string scenario;
    unsigned seed = 1;
    bool windows = false;
    std::string stdoutKind;        // write_fails: "full", "broken_pipe" or a file
    std::vector<std::string> args; // the run's options
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool fail(const std::string& message) {
    std::cerr << "FAILED: " << message << "\n";
    return false;
}

// ---- the run under test ------------------------------------------------

class Run {
  public:
    /// Starts the binary in `dir` with `args`; standard output goes to
    /// `stdoutPath` there, or to a pipe when `pipeOut` is set (then SIGPIPE
    /// is ignored with `ignorePipeSignal`, as a service manager may do).
    Run(const Options& o, const fs::path& dir, const std::vector<std::string>& args,
        bool pipeOut = false, const std::string& stdoutPath = "stdout.txt",
        bool ignorePipeSignal = false) {
        std::vector<std::string> argv = o.launcher;
        argv.push_back(o.binary);
        argv.insert(argv.end(), args.begin(), args.end());
        int fds[2] = {-1, -1};
        if (pipeOut && pipe(fds) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            if (pipeOut)
                close(fds[0]); // else the run itself keeps its pipe from breaking
            if (ignorePipeSignal)
                std::signal(SIGPIPE, SIG_IGN); // kept across exec
            child(dir, argv, pipeOut ? fds[1] : -1, stdoutPath);
        }
        if (pipeOut) {
            close(fds[1]);
            out_ = fds[0];
        }
    }
    ~Run() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void signal(int number) const { kill(pid_, number); }
    int outputPipe() const { return out_; }
    int releaseOutputPipe() { return std::exchange(out_, -1); }

    /// The wait status, or -1 when the run has not ended within `limit`.
    int wait(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        do {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return status;
            }
            std::this_thread::sleep_for(5ms);
        } while (std::chrono::steady_clock::now() < until);
        return -1;
    }

  private:
    [[noreturn]] static void child(const fs::path& dir, const std::vector<std::string>& argv,
                                   int pipeWrite, const std::string& stdoutPath) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        const int in = open("/dev/null", O_RDONLY);
        const int out =
            pipeWrite >= 0 ? pipeWrite : open(stdoutPath.c_str(), O_WRONLY | O_CREAT, 0644);
        const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> raw;
        for (const std::string& a : argv)
            raw.push_back(const_cast<char*>(a.c_str()));
        raw.push_back(nullptr);
        execvp(raw[0], raw.data());
        _exit(127);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
};

std::string describe(int status) {
    if (status == -1)
        return "still running";
    if (WIFEXITED(status))
        return "exit " + std::to_string(WEXITSTATUS(status));
    return "signal " + std::to_string(WTERMSIG(status));
}

// A run's exit code when it ended normally: 0, or 3 for a breached /limit.
int exitCode(int status, const std::string& what) {
    if (WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3))
        return WEXITSTATUS(status);
    fail(what + ": " + describe(status));
    return -1;
}

/// A run without /follow over what is in `dir`: its exit code, -1 on failure.
int runOnce(const Options& o, const fs::path& dir, const std::vector<std::string>& args) {
    Run run(o, dir, args);
    return exitCode(run.wait(60s), "run without /follow in " + dir.string());
}

// Ctrl-C (or another stop signal), then the run must end as at the end of its file.
int stop(Run& run, int signal = SIGINT) {
    run.signal(signal);
    return exitCode(run.wait(20s), "followed run after Ctrl-C");
}

// Both runs ended normally, with the same exit code.
bool sameExit(int followed, int once) {
    return (followed >= 0 && once >= 0 && followed == once) ||
           fail("exit codes: followed " + std::to_string(followed) + ", without /follow " +
                std::to_string(once));
}

// ---- writing like an automation ------------------------------------------

class Writer {
  public:
    explicit Writer(unsigned seed) : rng_(seed) {}

    /// Appends `bytes` to `path` in pieces with pauses.
    void write(const fs::path& path, std::string_view bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        while (!bytes.empty()) {
            const std::size_t n = std::min(bytes.size(), pieceSize());
            out.write(bytes.data(), std::streamsize(n));
            out.flush();
            bytes.remove_prefix(n);
            std::this_thread::sleep_for(pause());
        }
    }

  private:
    // Often a byte or two, which splits CRLF pairs and reads of 249.
    std::size_t pieceSize() {
        switch (rng_() % 4) {
        case 0:
            return 1 + rng_() % 3;
        case 1:
            return 240 + rng_() % 20;
        default:
            return 1 + rng_() % 3000;
        }
    }
    // Mostly none or short; now and then long enough for the run to wait.
    std::chrono::microseconds pause() {
        if (rng_() % 20 == 0)
            return std::chrono::microseconds(20000 + rng_() % 20000);
        return std::chrono::microseconds(rng_() % 2000);
    }

    std::mt19937 rng_;
};

/// Where `bytes` from about `share` of the way in has its next line end.
std::size_t lineEndAfter(const std::string& bytes, double share) {
    const std::size_t at = bytes.find('\n', std::size_t(double(bytes.size()) * share));
    return at == std::string::npos ? bytes.size() : at + 1;
}

// ---- comparing ------------------------------------------------------------

bool same(const std::string& what, const std::string& followed, const std::string& once) {
    if (followed == once)
        return true;
    std::size_t at = 0;
    while (at < followed.size() && at < once.size() && followed[at] == once[at])
        ++at;
    const std::size_t from = at < 120 ? 0 : at - 120;
    return fail(what + " differs at byte " + std::to_string(at) + " (followed " +
                std::to_string(followed.size()) + " bytes, without /follow " +
                std::to_string(once.size()) + ")\n--- followed:\n" + followed.substr(from, 240) +
                "\n--- without /follow:\n" + once.substr(from, 240));
}

// The files a run writes besides standard output: the output file, the CSV,
// the hourly statistics and the chart.
std::vector<std::string> writtenFiles(const std::vector<std::string>& args) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "/o")
            names.push_back("out.txt");
        else if ((args[i] == "/on" || args[i] == "/csv" || args[i] == "/hours" ||
                  args[i] == "/plot") &&
                 i + 1 < args.size())
            names.push_back(args[i + 1]);
    }
    return names;
}

// The /limit lines of one kind dropped: "incident" ones (a followed run tells
// each incident as it ends) or "in" ones (the totals at a file's end).
std::string withoutLimitLines(const std::string& text, const std::string& kind) {
    std::string kept;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string line = text.substr(at, end - at);
        at = end;
        const std::string lead = "quorvex: limit ";
        const std::size_t name = line.find(' ', lead.size());
        if (!line.starts_with(lead) || name == std::string::npos ||
            line.compare(name + 1, kind.size() + 1, kind + " ") != 0)
            kept += line;
    }
    return kept;
}

// Standard error too, less the note a followed pattern run gives on older
// matches and the incidents it told as they ended.
bool sameOutputs(const std::vector<std::string>& args, const fs::path& followed,
                 const fs::path& once) {
    bool ok =
        same("standard output", readFile(followed / "stdout.txt"), readFile(once / "stdout.txt"));
    std::string errors = readFile(followed / "stderr.txt");
    if (errors.starts_with("quorvex: /follow reads only the newest match"))
        errors.erase(0, errors.find('\n') + 1);
    errors = withoutLimitLines(errors, "incident");
    ok = same("standard error", errors, readFile(once / "stderr.txt")) && ok;
    for (const std::string& name : writtenFiles(args))
        ok = same(name, readFile(followed / name), readFile(once / name)) && ok;
    return ok;
}

// What a run over `bytes` alone prints before its end-of-file totals: what a
// followed run must have printed once those bytes are written.
std::string reportBeforeTotals(const std::string& text) {
    std::size_t cut = text.size();
    for (const char* totals :
         {"    Analyzed", "total command errors is", "total takes was", "total lines "})
        cut = std::min(cut, text.find(totals));
    return text.substr(0, cut);
}

/// What a followed run must have written once a part of its log is: the
/// report before the totals, and the notes on standard error (/limit breaches).
struct Part {
    std::string out, err;
};

bool startsWith(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

// Waits until the followed run has reported everything `expected` holds.
bool caughtUp(const fs::path& followed, const Part& expected) {
    const auto until = std::chrono::steady_clock::now() + 20s;
    std::string out, err;
    do {
        out = readFile(followed / "stdout.txt");
        err = withoutLimitLines(readFile(followed / "stderr.txt"), "incident");
        if (startsWith(out, expected.out) && startsWith(err, expected.err))
            return true;
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < until);
    return same("report of the first part (not out in time, or wrong)", out, expected.out) &&
           same("notes of the first part (not out in time, or wrong)", err, expected.err);
}

// A followed run with /plot puts a whole chart in place while it waits.
bool chartShown(const fs::path& followed, const std::vector<std::string>& args) {
    const auto plot = std::find(args.begin(), args.end(), "/plot");
    if (plot == args.end() || plot + 1 == args.end())
        return true;
    const auto until = std::chrono::steady_clock::now() + 20s;
    std::string chart;
    do {
        chart = readFile(followed / plot[1]);
        if (chart.starts_with("<?xml") && chart.ends_with("</svg>\n"))
            return true;
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < until);
    std::cerr << "no whole chart while following: " << chart.size() << " bytes\n";
    return false;
}

// ---- scenarios --------------------------------------------------------------

struct Dirs {
    fs::path root, follow, once, part;
};

Dirs makeDirs() {
    std::string pattern = (fs::temp_directory_path() / "qv-follow-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp");
    const Dirs d{pattern, fs::path(pattern) / "follow", fs::path(pattern) / "once",
                 fs::path(pattern) / "part"};
    for (const fs::path& p : {d.follow, d.once, d.part})
        fs::create_directories(p);
    return d;
}

std::vector<std::string> with(std::vector<std::string> front,
                              const std::vector<std::string>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// What a run over `bytes` as `name` prints before its totals.
Part partReport(const Options& o, const Dirs& d, const std::string& name, const std::string& bytes,
                const std::vector<std::string>& args) {
    writeFile(d.part / name, bytes);
    if (runOnce(o, d.part, args) < 0)
        return {"(no report)", ""};
    return {reportBeforeTotals(readFile(d.part / "stdout.txt")),
            withoutLimitLines(readFile(d.part / "stderr.txt"), "in")};
}

bool grow(const Options& o, const Dirs& d, const std::string& sample, int stopSignal) {
    // A Ctrl-Z late in the file, and after it a last line without newline.
    const std::size_t late = lineEndAfter(sample, 0.9);
    const std::string log =
        sample.substr(0, late) + "\x1A" + sample.substr(late) + "12/08/26 no newline dst 0130";
    const std::vector<std::string> args = with({"day.log"}, o.args);
    const std::size_t half = lineEndAfter(log, 0.5);
    const Part expectedHalf = partReport(o, d, "day.log", log.substr(0, half), args);

    writeFile(d.follow / "day.log", "");
    Run run(o, d.follow, with(args, {"/follow"}));
    Writer writer(o.seed);
    writer.write(d.follow / "day.log", std::string_view(log).substr(0, half));
    if (!caughtUp(d.follow, expectedHalf) || !chartShown(d.follow, o.args))
        return false;
    writer.write(d.follow / "day.log", std::string_view(log).substr(half));
    const int followed = stop(run, stopSignal);
    writeFile(d.once / "day.log", log);
    return sameExit(followed, runOnce(o, d.once, args)) && sameOutputs(o.args, d.follow, d.once);
}

// The banner and CSV name of `from` made `to`, for comparing a run over two
// files with one over a single path.
std::string rename(std::string text, const std::string& from, const std::string& to) {
    for (const std::string& prefix : {std::string("**** Processing File "), std::string("\n")}) {
        const std::string was = prefix + from + (prefix == "\n" ? "," : " ****");
        const std::string now = prefix + to + (prefix == "\n" ? "," : " ****");
        for (std::size_t at = text.find(was); at != std::string::npos; at = text.find(was, at))
            text.replace(at, was.size(), now);
    }
    return text;
}

// From the first banner on: the settings echo of a pattern run differs.
std::string fromFirstBanner(const std::string& text) {
    const std::size_t at = text.find("**** Processing File ");
    return at == std::string::npos ? text : text.substr(at);
}

bool sameAsTwoFiles(const Options& o, const Dirs& d) {
    bool ok = true;
    for (const std::string& name : with({"stdout.txt"}, writtenFiles(o.args))) {
        std::string once = readFile(d.once / name);
        once = rename(rename(once, "a.log", "day.log"), "b.log", "day.log");
        std::string followed = readFile(d.follow / name);
        if (!name.ends_with(".csv")) {
            once = fromFirstBanner(once);
            followed = fromFirstBanner(followed);
        }
        ok = same(name, followed, once) && ok;
    }
    return ok;
}

// The file is emptied (or another renamed over it) after a first content
// has been read, then written anew.
bool startAgain(const Options& o, const Dirs& d, const std::string& sample, bool replace) {
    const std::size_t cut = lineEndAfter(sample, 0.4);
    const std::string first = sample.substr(0, cut);
    const std::string second = sample.substr(lineEndAfter(sample, 0.2));
    const std::vector<std::string> args = with({"day.log"}, o.args);
    const Part expectedFirst = partReport(o, d, "day.log", first, args);

    writeFile(d.follow / "day.log", "");
    Run run(o, d.follow, with(args, {"/follow"}));
    Writer writer(o.seed);
    writer.write(d.follow / "day.log", first);
    if (!caughtUp(d.follow, expectedFirst))
        return false;
    std::this_thread::sleep_for(600ms); // every byte of the first content read
    if (replace) {
        writeFile(d.follow / "day.new", "");
        fs::rename(d.follow / "day.new", d.follow / "day.log");
    } else {
        fs::resize_file(d.follow / "day.log", 0);
    }
    // Seen before the new content outgrows the old: a size is all a
    // truncation leaves to go by, and a look may be a poll 250 ms apart.
    std::this_thread::sleep_for(600ms);
    writer.write(d.follow / "day.log", second);
    const int followed = stop(run);
    writeFile(d.once / "a.log", first);
    writeFile(d.once / "b.log", second);
    return sameExit(followed, runOnce(o, d.once, with({"?.log", "/multi"}, o.args))) &&
           sameAsTwoFiles(o, d);
}

// No writer ever opens the FIFO: a run that opens it for reading would wait
// for ever, deaf to the first Ctrl-C, and lose its buffered summary at the second.
bool replacedByFifo(const Options& o, const Dirs& d, const std::string& sample) {
    const std::string first = sample.substr(0, lineEndAfter(sample, 0.4));
    const std::vector<std::string> args = with({"day.log"}, o.args);
    const Part expectedFirst = partReport(o, d, "day.log", first, args);

    writeFile(d.follow / "day.log", "");
    Run run(o, d.follow, with(args, {"/follow"}));
    Writer writer(o.seed);
    writer.write(d.follow / "day.log", first);
    if (!caughtUp(d.follow, expectedFirst))
        return false;
    std::this_thread::sleep_for(600ms); // every byte read
    if (mkfifo((d.follow / "day.new").c_str(), 0600) != 0)
        return fail("mkfifo");
    fs::rename(d.follow / "day.new", d.follow / "day.log");
    const int status = run.wait(30s);
    if (status == -1)
        run.signal(SIGINT); // let the kept standard output show how far it got
    const int followed = exitCode(status, "followed run after a FIFO took the log's place");
    writeFile(d.once / "day.log", first);
    const int once = runOnce(o, d.once, args);
    const std::string note = "quorvex: /follow ended: day.log is no longer a regular file\n";
    return sameExit(followed, once) &&
           same("standard output", readFile(d.follow / "stdout.txt"),
                readFile(d.once / "stdout.txt")) &&
           same("standard error", readFile(d.follow / "stderr.txt"),
                readFile(d.once / "stderr.txt") + note);
}

bool writeFails(const Options& o, const Dirs& d, const std::string& sample) {
    const std::size_t half = lineEndAfter(sample, 0.5);
    writeFile(d.follow / "day.log", sample.substr(0, half));
    const std::vector<std::string> args = with({"day.log", "/follow"}, o.args);
    std::string expected = "quorvex: Error writing /dev/full: No space left on device\n";
    int status = -1;
    if (o.stdoutKind == "broken_pipe") {
        Run run(o, d.follow, args, true, "", true);
        close(run.releaseOutputPipe()); // the reader went away
        // What was written before may all sit in the pipe: the next write fails.
        std::this_thread::sleep_for(300ms);
        Writer(o.seed).write(d.follow / "day.log", std::string_view(sample).substr(half));
        status = run.wait(30s);
        expected = "quorvex: Error writing standard output\n";
    } else {
        const bool full = o.stdoutKind == "full";
        Run run(o, d.follow, args, false, full ? "/dev/full" : "stdout.txt");
        status = run.wait(30s);
        if (full)
            expected = "quorvex: Error writing standard output\n";
    }
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 1))
        return fail("a followed run whose writes fail: " + describe(status) + ", expected exit 1");
    const std::string errors = readFile(d.follow / "stderr.txt");
    return errors.find(expected) != std::string::npos ||
           fail("standard error lacks " + expected + "it holds:\n" + errors);
}

std::string hoursFile(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "/hours")
            return args[i + 1];
    return {};
}

// A file's hourly rows must be on disk once the run has moved on to the next
// file, not only when it ends: a followed run may last for days.
bool finishedFileOnDisk(const fs::path& folder, const std::string& hours, const std::string& name) {
    if (hours.empty())
        return true;
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (readFile(folder / hours).find("\n" + name + ",") == std::string::npos) {
        if (std::chrono::steady_clock::now() > until)
            return fail("the hourly rows of " + name + " are not on disk while following on");
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The names of a followed pattern's files, and the output that must never count.
struct DayNames {
    std::string pattern, older, first, second, output;
};

// A run without /multi over a list of names echoes the processing mode
// differently; the rest of its report is that of the pattern run.
std::string asListRun(std::string text) {
    // The line ends in CR LF where standard output is a text stream (Windows).
    if (const std::size_t at = text.find("Overriding processing mode to [MULTIPLE FILES]");
        at != std::string::npos) {
        const std::size_t end = text.find('\n', at);
        text.erase(at, end == std::string::npos ? std::string::npos : end - at + 1);
    }
    if (const std::size_t at = text.find("multi is [ON]"); at != std::string::npos)
        text.replace(at, 13, "multi is [OFF]");
    return text;
}

// /multi: the newest match is followed; a newer one takes over at "midnight".
// The newest is the one written last, not the last name: a new year's first
// log sorts before the old year's last one.
bool newer(const Options& o, const Dirs& d, const std::string& sample, const DayNames& n) {
    const std::size_t cut = lineEndAfter(sample, 0.5);
    const std::string day1 = sample.substr(0, cut);
    const std::string day2 = sample.substr(cut);
    // The output file sorts last among the matches: it must never count.
    const std::vector<std::string> args = with({n.pattern, "/multi", "/on", n.output}, o.args);
    const Part expectedStart = partReport(o, d, n.first, day1.substr(0, 2000), args);

    writeFile(d.follow / n.older, sample);
    fs::last_write_time(d.follow / n.older, fs::file_time_type::clock::now() - 1h);
    writeFile(d.follow / n.first, day1.substr(0, 2000));
    Run run(o, d.follow, with(args, {"/follow"}));
    if (!caughtUp(d.follow, expectedStart))
        return false;
    Writer writer(o.seed);
    writer.write(d.follow / n.first, std::string_view(day1).substr(2000));
    std::this_thread::sleep_for(600ms); // the first day read to its end
    writer.write(d.follow / n.second, day2);
    if (!finishedFileOnDisk(d.follow, hoursFile(o.args), n.first))
        return false;
    const int followed = stop(run);
    writeFile(d.once / n.first, day1);
    writeFile(d.once / n.second, day2);
    const bool byName = n.first < n.second;
    const std::vector<std::string> onceArgs =
        byName ? args : with({n.first, n.second, "/on", n.output}, o.args);
    const int once = runOnce(o, d.once, onceArgs);
    if (!byName)
        for (const std::string& name : {std::string("stdout.txt"), n.output})
            writeFile(d.follow / name, asListRun(readFile(d.follow / name)));
    return sameExit(followed, once) &&
           sameOutputs(with({"/on", n.output}, o.args), d.follow, d.once);
}

// Reads the run's output pipe until its banner has come, then leaves the
// pipe full so that the run blocks writing.
bool blockOnOutput(Run& run) {
    std::string seen;
    char chunk[4096];
    while (seen.find("**** Processing File") == std::string::npos) {
        const ssize_t n = read(run.outputPipe(), chunk, sizeof chunk);
        if (n <= 0)
            return fail("no banner on the output pipe");
        seen.append(chunk, std::size_t(n));
    }
    std::this_thread::sleep_for(500ms);
    return true;
}

bool stopKeys(const Options& o, const Dirs& d, const std::string& sample) {
    writeFile(d.follow / "day.log", sample);
    const std::vector<std::string> args = with({"day.log"}, o.args);
    {
        Run run(o, d.follow, with(args, {"/follow"}), true);
        if (!blockOnOutput(run))
            return false;
        run.signal(SIGINT);
        std::this_thread::sleep_for(300ms);
        if (run.wait(0ms) != -1)
            return fail("the run ended on the first Ctrl-C though its output was blocked");
        run.signal(SIGINT);
        const int status = run.wait(10s);
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 130))
            return fail("second Ctrl-C: " + describe(status) + ", expected exit 130");
    }
    // Without /follow Ctrl-C is left to the system: it ends the run at once.
    // Wine's default handling (ExitProcess on a thread of its own) waits for
    // a thread blocked writing to a pipe, so this half is for POSIX only.
    if (o.windows)
        return true;
    Run plain(o, d.follow, args, true);
    if (!blockOnOutput(plain))
        return false;
    plain.signal(SIGINT);
    const int status = plain.wait(10s);
    if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT))
        return fail("Ctrl-C without /follow: " + describe(status));
    return true;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "--") {
            o.args.assign(argv + i + 1, argv + argc);
            break;
        }
        if (arg == "--windows")
            o.windows = true;
        else if (arg == "--binary" && value)
            o.binary = fs::absolute(argv[++i]).string();
        else if (arg == "--log" && value)
            o.log = fs::absolute(argv[++i]);
        else if (arg == "--stdout" && value)
            o.stdoutKind = argv[++i];
        else if (arg == "--scenario" && value)
            o.scenario = argv[++i];
        else if (arg == "--seed" && value)
            o.seed = unsigned(std::stoul(argv[++i]));
        else if (arg == "--launcher" && value)
            for (std::istringstream words(argv[++i]); words >> o.launcher.emplace_back();)
                ;
        else
            return false;
    }
    if (!o.launcher.empty() && o.launcher.back().empty())
        o.launcher.pop_back();
    return !o.binary.empty() && !o.log.empty() && !o.scenario.empty();
}

bool runScenario(const Options& o, const Dirs& d) {
    const std::string sample = readFile(o.log);
    if (o.scenario == "grow")
        return grow(o, d, sample, SIGINT);
    if (o.scenario == "hang_up")
        return grow(o, d, sample, SIGHUP);
    if (o.scenario == "truncated" || o.scenario == "replaced")
        return startAgain(o, d, sample, o.scenario == "replaced");
    if (o.scenario == "fifo")
        return replacedByFifo(o, d, sample);
    if (o.scenario == "write_fails")
        return writeFails(o, d, sample);
    if (o.scenario == "newer")
        return newer(o, d, sample, {"day*.log", "day0.log", "day1.log", "day2.log", "dayz.log"});
    if (o.scenario == "new_year")
        return newer(o, d, sample,
                     {"*-*-*.log", "12-30-26.log", "12-31-26.log", "01-01-27.log", "99-99-99.log"});
    if (o.scenario == "stop_keys")
        return stopKeys(o, d, sample);
    return fail("unknown scenario " + o.scenario);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::cerr << "usage: follow_check --binary QV --log SAMPLE --scenario NAME [--seed N] "
                     "[--launcher CMD] [--windows] [-- OPTION...]\n";
        return 2;
    }
    const Dirs d = makeDirs();
    const bool ok = runScenario(o, d);
    if (ok)
        fs::remove_all(d.root);
    else
        std::cerr << "seed " << o.seed << "; the runs are kept in " << d.root << "\n";
    return ok ? 0 : 1;
}
