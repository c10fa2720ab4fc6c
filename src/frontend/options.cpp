#include "frontend/options.h"

#include "frontend/side_outputs.h"

#include <cstring>
#include <filesystem>
#include <string_view>

namespace qv {

namespace {

struct Option {
    const char* name;
    bool takesValue;
    // `value` is nullptr when none follows.
    void (*apply)(RunSettings& settings, Console& console, const char* value);
};

void setSummary(RunSettings& settings, Console& console, bool on) {
    settings.summaryMode = on ? 1 : 0;
    console.printf("Overriding summary mode to [%s]\n", on ? "ON" : "OFF");
}

void setMultiFile(RunSettings& settings, Console& console, bool on) {
    settings.multiFile = on;
    console.printf("Overriding processing mode to [%s]\n", on ? "MULTIPLE FILES" : "1 FILE");
}

// A limit the run cannot check must stop it before any file is created: a
// scheduled job would otherwise read a silent success.
void applyLimit(RunSettings& settings, Console& console, const char* value) {
    if (!value || parseDelayLimit(value, settings.limits))
        return;
    console.diagnose("bad limit '%s'", value);
    throw ProgramExit{1};
}

const Option kOptions[] = {
    {"/o", false,
     [](RunSettings& settings, Console& console, const char*) {
         settings.outputFileEnabled = true;
         console.printf("Output File Active\n");
     }},
    {"/on", true,
     [](RunSettings& settings, Console& console, const char* value) {
         settings.outputFileEnabled = true;
         if (!value)
             return;
         copyField(settings.outfilename, value);
         console.printf("Overriding output name to [%s]\n", settings.outfilename);
     }},
    {"/s", true,
     [](RunSettings& settings, Console& console, const char* value) {
         if (value)
             copyField(settings.srchname, value);
         console.printf("Overriding search name to [%s]\n", settings.srchname);
     }},
    {"/sumon", false,
     [](RunSettings& settings, Console& console, const char*) {
         setSummary(settings, console, true);
     }},
    {"/sum", false,
     [](RunSettings& settings, Console& console, const char*) {
         setSummary(settings, console, true);
     }},
    {"/sumoff", false,
     [](RunSettings& settings, Console& console, const char*) {
         setSummary(settings, console, false);
     }},
    {"/multi", false,
     [](RunSettings& settings, Console& console, const char*) {
         setMultiFile(settings, console, true);
     }},
    {"/multion", false,
     [](RunSettings& settings, Console& console, const char*) {
         setMultiFile(settings, console, true);
     }},
    {"/multioff", false,
     [](RunSettings& settings, Console& console, const char*) {
         setMultiFile(settings, console, false);
     }},
    // Silent on purpose: a followed run, once stopped, reports exactly what
    // a run over the final log does.
    {"/follow", false,
     [](RunSettings& settings, Console&, const char*) { settings.follow = true; }},
    {"/d", true,
     [](RunSettings& settings, Console& console, const char* value) {
         if (!value)
             return;
         copyField(settings.outputtext, value);
         console.printf("Overriding destination to [%s]\n", settings.outputtext);
     }},
    {"/excel", false,
     [](RunSettings& settings, Console& console, const char*) {
         settings.excelMode = true;
         console.printf("Overriding output file mode to [%s]\n", "EXCEL");
     }},
    {"/cmderr", false,
     [](RunSettings& settings, Console& console, const char*) {
         settings.analyzeMode = AnalyzeMode::CmdErrorTc;
         console.printf("Setting to analyze command error activity\n");
     }},
    {"/takes", false,
     [](RunSettings& settings, Console& console, const char*) {
         settings.analyzeMode = AnalyzeMode::CountTakes;
         console.printf("Setting to count takes\n");
     }},
    {"/grep", true,
     [](RunSettings& settings, Console& console, const char* value) {
         console.printf("Setting to grep Mode\n");
         settings.analyzeMode = AnalyzeMode::Grep;
         if (!value)
             return;
         copyField(settings.grepText, value);
         console.printf("Overriding grep text to [%s]\n", settings.grepText);
     }},
    {"/q", false,
     [](RunSettings& settings, Console& console, const char*) {
         settings.grepQuiet = true;
         console.printf("Set grep to QUIET Mode\n");
     }},
    {"/limit", true, applyLimit},
    {"/fps", true,
     [](RunSettings& settings, Console& console, const char* value) {
         if (!value)
             return;
         applyFrameRate(settings, console, value, "/fps");
         console.printf("Overriding frame rate to [%s]\n", frameRateName(settings.timebase.rate()));
     }},
};

const Option* findOption(const char* arg) {
    for (const Option& option : kOptions)
        if (std::strcmp(arg, option.name) == 0)
            return &option;
    return nullptr;
}

bool isOption(const char* arg) {
    return findOption(arg) || findSideOutput(arg);
}

// A side output's option names its file; without a value it is not given.
void applySideOutput(const SideOutputKind& kind, const char* value, RunSettings& settings,
                     Console& console) {
    if (!value)
        return;
    SideOutputPath& given = settings.sideOutputs[kind.slot];
    given.enabled = true;
    given.path = value;
    console.printf(kind.confirm, given.path.c_str());
}

// Words the option pass passes over on purpose: the pre-pass and argument 1
// act on them.
bool knownElsewhere(std::string_view arg) {
    return arg == "/cfg" || arg == "/gencfg" || arg == "/h" || arg == "/v";
}

// A mistyped option: "/" or "-" and a word without a path's "/", "\" or ".".
bool looksLikeOption(std::string_view arg) {
    return arg.size() > 1 && (arg[0] == '/' || arg[0] == '-') &&
           arg.find_first_of("/\\.", 1) == std::string_view::npos;
}

// What a shell leaves of an unquoted pattern: names of files that exist.
bool namesALog(std::string_view arg) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(arg), ec);
    return !looksLikeOption(arg) && fs::exists(status) && !fs::is_directory(status);
}

// Nothing of the report changes: the words go to the error stream only.
void noteIgnored(std::string_view arg, Console& console) {
    const int n = static_cast<int>(arg.size());
    if (looksLikeOption(arg))
        console.diagnose("unknown option '%.*s' ignored", n, arg.data());
    else
        console.diagnose("argument '%.*s' ignored: it names no file; for several files name "
                         "each one, or quote a pattern and add /multi",
                         n, arg.data());
}

} // namespace

void optionPass(int argc, const char* const* argv, RunSettings& settings, Console& console) {
    for (int i = 2; i < argc; ++i) {
        const Option* option = findOption(argv[i]);
        if (option) {
            const char* value = nullptr;
            if (option->takesValue && i + 1 < argc)
                value = argv[++i];
            option->apply(settings, console, value);
            continue;
        }
        if (const SideOutputKind* kind = findSideOutput(argv[i])) {
            applySideOutput(*kind, i + 1 < argc ? argv[++i] : nullptr, settings, console);
            continue;
        }
        const std::string_view arg(argv[i]);
        if (arg == "/cfg") {
            // Its path belongs to the pre-pass, unless it is an option itself.
            if (i + 1 < argc && !isOption(argv[i + 1]))
                ++i;
            continue;
        }
        if (knownElsewhere(arg))
            continue;
        if (namesALog(arg))
            settings.moreLogs.emplace_back(arg);
        else
            noteIgnored(arg, console);
    }
}

} // namespace qv
