#include "frontend/program.h"

#include "frontend/config_file.h"
#include "frontend/options.h"
#include "report/report.h"
#include "frontend/runner.h"
#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "search/line_reader.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace qv {

void printUsage() {
    consolePrintf("QUORVEX PROGRAM VERSION %s\n", kVersion);
    consoleWrite(" quorvex [logfilename] [options]\n"
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

namespace {

// Only "/cfg" with its path and "/gencfg" are known here, from argument 0 on.
void prePass(int argc, const char* const* argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "/cfg") == 0) {
            settings.outputFileEnabled = true;
            if (i + 1 < argc) {
                copyField(settings.cfgPath, argv[i + 1]);
                consolePrintf("Overriding cfg file to [%s]\n", settings.cfgPath);
                return;
            }
        } else if (std::strcmp(argv[i], "/gencfg") == 0) {
            if (writeDefaultConfig())
                consolePrintf("Generated config file qv.cfg\n");
            throw ProgramExit{0};
        }
    }
}

void loadConfigFile() {
    std::FILE* file = openForRead(settings.cfgPath);
    if (!file)
        return;
    consolePrintf("processing config file\n");
    bool readFailed = false;
    {
        LineReader configFile(file, kConfigReadMax, std::size_t{64} * 1024);
        readConfigFile(configFile);
        readFailed = configFile.readError();
    }
    std::fclose(file);
    // Settings from half a file could silently change what the run reports.
    if (readFailed) {
        consolePrintf("Error reading %s\n", settings.cfgPath);
        throw ProgramExit{1};
    }
}

void openOutputFile(const char* logArgument) {
    if (!settings.outputFileEnabled)
        return;
    // Truncating the log about to be read would destroy it.
    if (!settings.multiFile && sameFile(settings.outfilename, logArgument)) {
        consolePrintf("Output file %s is the log file\n", settings.outfilename);
        throw ProgramExit{1};
    }
    auto* file = new TextFileWriter(settings.outfilename);
    if (!file->isOpen()) {
        delete file;
        consolePrintf("Error opening %s\n", settings.outfilename);
        throw ProgramExit{1};
    }
    outputFile = file;
}

void echoSettings() {
    const RunSettings& s = settings;
    ReportBlock echo;
    echo.add("Using cfg file [%s] outputfile is %s\n", s.cfgPath,
             s.outputFileEnabled ? s.outfilename : "NULL");
    echo.add("Process name [%s], dst [%s], level [%s]\n", s.srchname, s.outputtext, s.levelText);
    echo.add("grep text is [%s] \n", s.grepText);
    echo.add("multi is [%s] sumary is [%s]\n", s.multiFile ? "ON" : "OFF",
             s.summaryMode != 0 ? "ON" : "OFF");
    echo.add("Analyze Mode is %s\n", analyzeModeNames[static_cast<int>(s.analyzeMode)]);
    echo.emit(outputFile);
}

int run(int argc, const char* const* argv) {
    if (argc < 2) {
        consolePrintf("not enough cmnd line args\n");
        printUsage();
        return 1;
    }
    if (std::strcmp(argv[1], "/h") == 0) {
        printUsage();
        return 0;
    }
    if (std::strcmp(argv[1], "/v") == 0) {
        consolePrintf(" QUORVEX PROGRAM VERSION %s\n", kVersion);
        return 0;
    }
    prePass(argc, argv);
    loadConfigFile();
    optionPass(argc, argv);
    openOutputFile(argv[1]);
    openSideOutputs(argv[1]);
    echoSettings();
    const RunSettings& s = settings;
    const char* grepText = s.analyzeMode == AnalyzeMode::Grep ? s.grepText : "";
    if (s.multiFile)
        runFilePattern(argv[1], s.analyzeMode, s.summaryMode, grepText);
    else
        runSingleFile(argv[1], s.analyzeMode, s.summaryMode, grepText);
    closeOutputFile(); // a pattern that matched nothing leaves it open
    finishSideOutputs();
    return 0;
}

} // namespace

int runProgram(int argc, const char* const* argv) {
    resetRunSettings();
    int code = 0;
    try {
        code = run(argc, argv);
    } catch (const ProgramExit& exit) {
        code = exit.code;
        abandonSideOutputs();
        try {
            closeOutputFile();
        } catch (const ProgramExit&) {
            code = 1;
        }
    }
    consoleFlush();
    // The report itself was lost: say so where it can still be seen.
    if (consoleFailed()) {
        std::fputs("Error writing standard output\n", stderr);
        code = 1;
    }
    return code;
}

} // namespace qv
