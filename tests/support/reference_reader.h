// The reference line cut that the line reader is checked against in unit
// tests and fuzzing: the stream as a C runtime in text mode delivers it,
// cut by the plain fgets rule, one character at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// The bytes as a text-mode read gives them: "\r\n" becomes "\n", a lone "\r"
/// stays, the first Ctrl-Z ends the stream.
inline std::string convertTextMode(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == 0x1A)
            break;
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        text += raw[i];
    }
    return text;
}

/// The reads of a converted stream: each stops after a newline or after
/// `maxRead` characters.
inline std::vector<std::string_view> cutReads(std::string_view text, std::size_t maxRead) {
    std::vector<std::string_view> reads;
    while (!text.empty()) {
        const std::size_t nl = text.substr(0, maxRead).find('\n');
        const std::size_t length =
            nl == std::string_view::npos ? std::min(maxRead, text.size()) : nl + 1;
        reads.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return reads;
}

/// The reads of raw bytes, as strings.
inline std::vector<std::string> referenceReads(std::string_view raw, std::size_t maxRead) {
    const std::string text = convertTextMode(raw);
    std::vector<std::string> reads;
    for (std::string_view read : cutReads(text, maxRead))
        reads.emplace_back(read);
    return reads;
}

} // namespace qv::test
