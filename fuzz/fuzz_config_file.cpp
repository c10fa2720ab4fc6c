// The configuration file reader over arbitrary bytes, both through the file
// reader and one arbitrary line at a time: every field stays terminated within
// its capacity, a changed field holds a text of the input that contains no
// delimiter, and the flags are set only by their keys.
#include "frontend/config_file.h"
#include "frontend/settings.h"
#include "fuzz_util.h"

using namespace qv;
using namespace qv::fuzz;

namespace {

struct Field {
    const char* key;
    char* value;
    std::size_t capacity;
};

void checkField(const Field& field, const RunSettings& settings, const RunSettings& before,
                std::string_view input) {
    FUZZ_CHECK(terminatedWithin(field.value, field.capacity));
    const char* old = reinterpret_cast<const char*>(&before) +
                      (field.value - reinterpret_cast<const char*>(&settings));
    const std::string_view value(field.value);
    if (value == old)
        return;
    FUZZ_CHECK(input.find(field.key) != std::string_view::npos);
    FUZZ_CHECK(!value.empty() && input.find(value) != std::string_view::npos);
    FUZZ_CHECK(value.find_first_of(",\n") == std::string_view::npos);
}

void checkSettings(RunSettings& s, const RunSettings& before, std::string_view input) {
    const Field fields[] = {
        {"SEARCHNAME", s.srchname, sizeof s.srchname},
        {"OUTFILENAME", s.outfilename, sizeof s.outfilename},
        {"OUTPUTTEXT", s.outputtext, sizeof s.outputtext},
        {"LEVELTEXT", s.levelText, sizeof s.levelText},
        {"GREPTEXT", s.grepText, sizeof s.grepText},
    };
    for (const Field& field : fields)
        checkField(field, s, before, input);
    FUZZ_CHECK(std::string_view(s.cfgPath) == before.cfgPath);
    if (s.outputFileEnabled)
        FUZZ_CHECK(input.find("OUTFILENAME") != std::string_view::npos);
    if (s.levelFilter)
        FUZZ_CHECK(input.find("LEVELTEXT") != std::string_view::npos ||
                   input.find("GREPTEXT") != std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::uint8_t how = in.byte();
    const std::string_view input = in.rest();
    RunSettings settings;
    resetRunSettings(settings);
    const RunSettings before = settings;
    try {
        if (how & 1) {
            applyConfigLine(input, settings, nullConsole()); // any length, any bytes
        } else {
            MemorySource source(input, 1 + how);
            LineReader reader(source, kConfigReadMax, 1 + how * 4u);
            readConfigFile(reader, settings, nullConsole());
        }
    } catch (const ProgramExit& exit) {
        // A bad FPS value ends the run: the settings read so far stay sound.
        FUZZ_CHECK(exit.code == 1);
    }
    checkSettings(settings, before, input);
    return 0;
}
