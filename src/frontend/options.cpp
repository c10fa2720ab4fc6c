#include "frontend/options.h"

#include <cstring>

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
    {"/csv", true,
     [](RunSettings& settings, Console& console, const char* value) {
         if (!value)
             return;
         settings.csvEnabled = true;
         settings.csvPath = value;
         console.printf("Writing transitions to [%s]\n", settings.csvPath.c_str());
     }},
    {"/plot", true,
     [](RunSettings& settings, Console& console, const char* value) {
         if (!value)
             return;
         settings.plotEnabled = true;
         settings.plotPath = value;
         console.printf("Writing chart to [%s]\n", settings.plotPath.c_str());
     }},
};

} // namespace

void optionPass(int argc, const char* const* argv, RunSettings& settings, Console& console) {
    for (int i = 2; i < argc; ++i) {
        for (const Option& option : kOptions) {
            if (std::strcmp(argv[i], option.name) != 0)
                continue;
            const char* value = nullptr;
            if (option.takesValue && i + 1 < argc)
                value = argv[++i];
            option.apply(settings, console, value);
            break;
        }
    }
}

} // namespace qv
