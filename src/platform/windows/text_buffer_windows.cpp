#include "platform/text_buffer.h"

namespace qv {

// Large pages on Windows need a privilege a user rarely has: plain memory.
void TextBufferDeleter::operator()(char* bytes) const noexcept {
    delete[] bytes;
}

TextBuffer allocateTextBuffer(std::size_t size) {
    return TextBuffer(new char[size]);
}

} // namespace qv
