#include "frontend/options.h"

#include "report/report.h"
#include "frontend/settings.h"

#include <cstring>

namespace qv {

namespace {

struct Option {
    const char* name;
    bool takesValue;
    void (*apply)(const char* value); // value is nullptr when none follows
};

void setSummary(bool on) {
    settings.summaryMode = on ? 1 : 0;
    consolePrintf("Overriding summary mode to [%s]\n", on ? "ON" : "OFF");
}

void setMultiFile(bool on) {
    settings.multiFile = on;
    consolePrintf("Overriding processing mode to [%s]\n", on ? "MULTIPLE FILES" : "1 FILE");
}

const Option kOptions[] = {
    {"/o", false,
     [](const char*) {
         settings.outputFileEnabled = true;
         consolePrintf("Output File Active\n");
     }},
    {"/on", true,
     [](const char* value) {
         settings.outputFileEnabled = true;
         if (!value)
             return;
         copyField(settings.outfilename, value);
         consolePrintf("Overriding output name to [%s]\n", settings.outfilename);
     }},
    {"/s", true,
     [](const char* value) {
         if (value)
             copyField(settings.srchname, value);
         consolePrintf("Overriding search name to [%s]\n", settings.srchname);
     }},
    {"/sumon", false, [](const char*) { setSummary(true); }},
    {"/sum", false, [](const char*) { setSummary(true); }},
    {"/sumoff", false, [](const char*) { setSummary(false); }},
    {"/multi", false, [](const char*) { setMultiFile(true); }},
    {"/multion", false, [](const char*) { setMultiFile(true); }},
    {"/multioff", false, [](const char*) { setMultiFile(false); }},
    {"/d", true,
     [](const char* value) {
         if (!value)
             return;
         copyField(settings.outputtext, value);
         consolePrintf("Overriding destination to [%s]\n", settings.outputtext);
     }},
    {"/excel", false,
     [](const char*) {
         settings.excelMode = true;
         consolePrintf("Overriding output file mode to [%s]\n", "EXCEL");
     }},
    {"/cmderr", false,
     [](const char*) {
         settings.analyzeMode = AnalyzeMode::CmdErrorTc;
         consolePrintf("Setting to analyze command error activity\n");
     }},
    {"/takes", false,
     [](const char*) {
         settings.analyzeMode = AnalyzeMode::CountTakes;
         consolePrintf("Setting to count takes\n");
     }},
    {"/grep", true,
     [](const char* value) {
         consolePrintf("Setting to grep Mode\n");
         settings.analyzeMode = AnalyzeMode::Grep;
         if (!value)
             return;
         copyField(settings.grepText, value);
         consolePrintf("Overriding grep text to [%s]\n", settings.grepText);
     }},
    {"/q", false,
     [](const char*) {
         settings.grepQuiet = true;
         consolePrintf("Set grep to QUIET Mode\n");
     }},
    {"/csv", true,
     [](const char* value) {
         if (!value)
             return;
         settings.csvEnabled = true;
         settings.csvPath = value;
         consolePrintf("Writing transitions to [%s]\n", settings.csvPath.c_str());
     }},
    {"/plot", true,
     [](const char* value) {
         if (!value)
             return;
         settings.plotEnabled = true;
         settings.plotPath = value;
         consolePrintf("Writing chart to [%s]\n", settings.plotPath.c_str());
     }},
};

} // namespace

void optionPass(int argc, const char* const* argv) {
    for (int i = 2; i < argc; ++i) {
        for (const Option& option : kOptions) {
            if (std::strcmp(argv[i], option.name) != 0)
                continue;
            const char* value = nullptr;
            if (option.takesValue && i + 1 < argc)
                value = argv[++i];
            option.apply(value);
            break;
        }
    }
}

} // namespace qv
