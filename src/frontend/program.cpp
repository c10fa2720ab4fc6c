#include "frontend/program.h"

#include "frontend/config_file.h"
#include "frontend/options.h"
#include "frontend/output_guard.h"
#include "frontend/runner.h"
#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "platform/platform.h"
#include "search/line_reader.h"
#include "sinks/delay_limits.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace qv {

void printUsage(Console& console) {
    console.printf("QUORVEX PROGRAM VERSION %s\n", kVersion);
    console.write(" quorvex [logfilename] [options]\n"
                  " Options /o    - output on\n"
                  "         /on   - output filename [/on <filename>]\n"
                  "         /s    - search text     [/s <\"search text\">\n"
                  "         /sum /sumon /sumoff\n"
                  "               - summary Display mode on /off\n"
                  "         /multi /multion /multioff\n"
                  "               - multi file mode on /off\n"
                  "         /d    - destination [/d <output #]\n"
                  "         /excel- output comma delimited file\n"
                  "         /cmderr  - Timecode command errors\n"
                  "         /takes   - summarize all takes in file\n"
                  "         /grep    - grep in files [/grep \"<grep text'>\n"
                  "         /q       - don't output to screen during grep\n"
                  "         /v       - Display program version and exit\n");
}

void printHelp(Console& console) {
    printUsage(console);
    // The options the usage text above does not list.
    console.write(
        "         /cfg     - read this configuration file [/cfg <file>]; turns output on\n"
        "         /gencfg  - write a starter qv.cfg and exit\n"
        "         /csv     - every transition to a CSV file [/csv <file.csv>]\n"
        "         /plot    - chart of the delays, SVG [/plot <file.svg>]\n"
        "         /hours   - per-hour delay statistics to a CSV file [/hours <file.csv>]\n"
        "         /limit   - exit 3 when a delay is over <n> fields (2 per frame), repeatable\n"
        "                    [/limit rev2router|rtrcmd2status|rtrcmd2mx:<n>]\n"
        "                    <n> may also be <n>fr, <n>ms or <n>s\n"
        "         /fps     - the station's frame rate [/fps 30|29.97|25], default 30\n"
        "         /metrics - the run's figures for Prometheus [/metrics <file.prom>]\n"
        "         /follow  - read on as the log grows, until Ctrl-C; with /multi\n"
        "                    the newest match, then each newer one\n");
}

namespace {

// Only the ROUTER TAKES mode writes most side files: "/csv", "/csv and /plot",
// "/csv, /plot and /hours".
void noteIgnoredSideFiles(const RunSettings& s, Console& console) {
    std::vector<const char*> given;
    for (const SideOutputKind& kind : sideOutputKinds())
        if (s.sideOutputs[kind.slot].enabled && !writtenIn(kind, s))
            given.push_back(kind.option);
    const int count = static_cast<int>(given.size());
    if (count == 0)
        return;
    std::string names = given[0];
    for (int i = 1; i < count; ++i) {
        names += i + 1 < count ? ", " : " and ";
        names += given[i];
    }
    console.diagnose("%s ignored: only the ROUTER TAKES mode writes %s", names.c_str(),
                     count > 1 ? "them" : "it");
}

// Argument 1 and the names after it, in the order given.
std::vector<std::string> logList(const RunSettings& s, const char* first) {
    std::vector<std::string> logs{first};
    logs.insert(logs.end(), s.moreLogs.begin(), s.moreLogs.end());
    return logs;
}

// A run that ends before it was checked (a bad option value, no memory) must
// not let the text held so far reach a log that standard output writes into:
// argument 1, or any later one, as a list of logs names them.
void dropHeldTextIfLogIsOutput(int argc, const char* const* argv, Console& console) {
    const FileId output = standardOutputId(console);
    for (int i = 1; i < argc; ++i) {
        if (logFileId(argv[i]) == output) {
            console.discard();
            return;
        }
    }
}

/// One run of the program: the settings and what stays open across files.
class Program {
  public:
    explicit Program(Console& console) : console_(console), sideOutputs_(settings_, console) {
        resetRunSettings(settings_);
    }

    int run(int argc, const char* const* argv) {
        int code = 0;
        console_.hold(); // until the run is known not to write into its own log
        try {
            code = start(argc, argv);
        } catch (const ProgramExit& exit) {
            code = exit.code;
            dropHeldTextIfLogIsOutput(argc, argv, console_);
            sideOutputs_.abandon();
            try {
                closeOutputFile();
            } catch (const ProgramExit&) {
                code = 1;
            }
        }
        return code;
    }

  private:
    int start(int argc, const char* const* argv);
    void prePass(int argc, const char* const* argv);
    void loadConfigFile();
    void openOutputFile();
    void echoSettings();
    void closeOutputFile();
    void noteSettings(const char* logArgument);
    bool refused(const char* logArgument);
    int limitsExitCode(std::int64_t filesAnalysed);

    Console& console_;
    RunSettings settings_;
    bool cfgGiven_ = false;              // /cfg named the configuration file
    std::unique_ptr<OutputGuard> guard_; // once the option pass is over
    std::unique_ptr<TextFileWriter> outputFile_;
    SideOutputs sideOutputs_;
    std::unique_ptr<LimitCheck> limitCheck_; // with /limit in the ROUTER TAKES mode
    std::unique_ptr<StopKeys> stopKeys_;     // /follow: Ctrl-C handling until the run is over
};

// Only "/cfg" with its path and "/gencfg" are known here, from argument 0 on.
void Program::prePass(int argc, const char* const* argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "/cfg") == 0) {
            settings_.outputFileEnabled = true;
            if (i + 1 < argc) {
                cfgGiven_ = true;
                copyField(settings_.cfgPath, argv[i + 1]);
                console_.printf("Overriding cfg file to [%s]\n", settings_.cfgPath);
                return;
            }
        } else if (std::strcmp(argv[i], "/gencfg") == 0) {
            // A starter file that is not there must not pass for a success.
            if (!writeDefaultConfig(console_))
                throw ProgramExit{1};
            console_.printf("Generated config file qv.cfg\n");
            throw ProgramExit{0};
        }
    }
}

void Program::loadConfigFile() {
    std::string whyNot;
    bool notRegular = false;
    // A FIFO or device could hold the run before its first line for ever.
    const OpenFile file(openRegularForRead(settings_.cfgPath, &whyNot, &notRegular));
    if (!file) {
        if (notRegular)
            console_.diagnose("configuration file %s is not a regular file: skipped",
                              settings_.cfgPath);
        else if (cfgGiven_)
            console_.diagnose("configuration file %s cannot be opened: %s; going on without it",
                              settings_.cfgPath, whyNot.c_str());
        return;
    }
    console_.printf("processing config file\n");
    std::string readError;
    {
        FileSource source(file.get());
        LineReader configFile(source, kConfigReadMax, std::size_t{64} * 1024);
        readConfigFile(configFile, settings_, console_); // a bad FPS value throws
        if (configFile.readError())
            readError = configFile.readErrorText();
    }
    // Settings from half a file could silently change what the run reports.
    if (!readError.empty())
        fatal(console_, readError, "Error reading %s\n", settings_.cfgPath);
}

void Program::openOutputFile() {
    if (!settings_.outputFileEnabled)
        return;
    auto file = std::make_unique<TextFileWriter>(settings_.outfilename);
    if (!file->isOpen())
        fatal(console_, file->errorText(), "Error opening %s\n", settings_.outfilename);
    outputFile_ = std::move(file);
}

void Program::echoSettings() {
    const RunSettings& s = settings_;
    ReportBlock echo;
    echo.add("Using cfg file [%s] outputfile is %s\n", s.cfgPath,
             s.outputFileEnabled ? s.outfilename : "NULL");
    echo.add("Process name [%s], dst [%s], level [%s]\n", s.srchname, s.outputtext, s.levelText);
    echo.add("grep text is [%s] \n", s.grepText);
    echo.add("multi is [%s] sumary is [%s]\n", s.multiFile ? "ON" : "OFF",
             s.summaryMode != 0 ? "ON" : "OFF");
    echo.add("Analyze Mode is %s\n", analyzeModeNames[static_cast<int>(s.analyzeMode)]);
    Report(console_, outputFile_.get()).emit(echo);
}

// A failed write to the output file ends the run with "Error writing" and
// exit code 1 rather than a false success.
void Program::closeOutputFile() {
    closeOrFail(outputFile_, console_);
}

// What the report alone would not tell: settings that make a run report
// nothing or less than asked for.
void Program::noteSettings(const char* logArgument) {
    const RunSettings& s = settings_;
    const bool routerTakes = s.analyzeMode == AnalyzeMode::RouterTakes;
    if (routerTakes && s.levelFilter)
        console_.diagnose("the configuration turns the level filter on: router lines must also "
                          "contain '%s'",
                          s.levelText);
    if (!routerTakes) {
        noteIgnoredSideFiles(s, console_);
        if (s.limits.any())
            console_.diagnose("/limit ignored: only the ROUTER TAKES mode checks limits");
    }
    // Two readings of one command line: a pattern or a list of names.
    if (s.multiFile && !s.moreLogs.empty()) {
        console_.diagnose("/multi takes one quoted pattern, but %zu more file name%s given too "
                          "(a pattern the shell expanded?): quote the pattern, or leave out "
                          "/multi to read the names given",
                          s.moreLogs.size(), s.moreLogs.size() > 1 ? "s" : "");
        throw ProgramExit{1};
    }
    if (s.follow && !s.moreLogs.empty()) {
        console_.diagnose("/follow reads one log or the newest match of a quoted pattern; %zu "
                          "more file name%s given",
                          s.moreLogs.size(), s.moreLogs.size() > 1 ? "s" : "");
        throw ProgramExit{1};
    }
    if (s.multiFile && std::strcmp(logArgument, "-") == 0) {
        console_.diagnose("standard input (-) cannot be a pattern: leave out /multi");
        throw ProgramExit{1};
    }
}

// A run that would read its own output stops before writing anything; each
// log of a list is checked as a single one is.
bool Program::refused(const char* logArgument) {
    if (!settings_.multiFile) {
        bool own = logIsStandardOutput(logArgument, console_);
        for (const std::string& log : settings_.moreLogs)
            own = logIsStandardOutput(log.c_str(), console_) || own;
        if (own) {
            console_.discard();
            return true;
        }
    }
    console_.release();
    guard_ = std::make_unique<OutputGuard>(settings_, console_);
    guard_->refuseClashes(logArgument);
    return false;
}

// Exit code 3 tells a scheduled job that a delay was over its limit; a run
// that analysed no log checked nothing and must not pass for a clean one.
int Program::limitsExitCode(std::int64_t filesAnalysed) {
    if (!limitCheck_)
        return 0;
    if (filesAnalysed == 0) {
        console_.diagnose("no log file analysed: the limits were not checked");
        return 1;
    }
    return limitCheck_->breached() ? 3 : 0;
}

int Program::start(int argc, const char* const* argv) {
    if (argc < 2) {
        console_.printf("not enough cmnd line args\n");
        printUsage(console_);
        return 1;
    }
    const std::string_view first(argv[1]);
    if (first == "/h") {
        printUsage(console_);
        return 0;
    }
    if (first == "--help" || first == "-h") {
        printHelp(console_);
        return 0;
    }
    if (first == "/v" || first == "--version" || first == "-V") {
        console_.printf(" QUORVEX PROGRAM VERSION %s\n", kVersion);
        return 0;
    }
    prePass(argc, argv);
    loadConfigFile();
    optionPass(argc, argv, settings_, console_);
    settings_.limits.resolve(settings_.timebase); // /fps may follow /limit
    noteSettings(argv[1]);
    if (refused(argv[1]))
        return 1;
    // Every temporary file first: a chart folder that is missing must not
    // cost the output file or the CSV of the run before.
    sideOutputs_.openReplacedWhole();
    openOutputFile();
    sideOutputs_.openTruncated();
    guard_->outputsCreated();
    echoSettings();
    if (settings_.analyzeMode == AnalyzeMode::RouterTakes && settings_.limits.any())
        limitCheck_ = std::make_unique<LimitCheck>(settings_.limits, settings_.timebase, console_,
                                                   settings_.follow);
    std::int64_t filesAnalysed = 0;
    {
        FileRunner runner(settings_, console_, outputFile_.get(), sideOutputs_, *guard_, stopKeys_);
        if (limitCheck_)
            runner.watch(*limitCheck_);
        if (settings_.multiFile)
            runner.runFilePattern(argv[1]);
        else if (!settings_.moreLogs.empty())
            runner.runFileList(logList(settings_, argv[1]));
        else
            runner.runSingleFile(argv[1]);
        filesAnalysed = runner.filesAnalysed();
    }
    if (limitCheck_ && filesAnalysed > 0)
        limitCheck_->endRun();
    closeOutputFile();
    sideOutputs_.finish();
    return limitsExitCode(filesAnalysed);
}

} // namespace

int runProgram(int argc, const char* const* argv, Console& console) {
    int code = 0;
    try {
        code = Program(console).run(argc, argv);
    } catch (const std::bad_alloc&) {
        // The run's objects are gone by now, and with them what they held.
        dropHeldTextIfLogIsOutput(argc, argv, console);
        console.flush();
        console.diagnose("out of memory");
        return 1;
    }
    console.flush();
    // The report itself was lost: say so where it can still be seen.
    if (console.failed()) {
        console.diagnose("Error writing standard output");
        return 1;
    }
    return code;
}

} // namespace qv
