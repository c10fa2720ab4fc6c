// The ISA-L inflater: the gzip header and trailer are read and checked by the
// library (ISAL_GZIP), so a member ends as zlib's does, checksum verified.
#include "sources/inflater.h"

#include <algorithm>
#include <cstdint>
#include <isa-l/igzip_lib.h>

namespace qv {

struct Inflater::State {
    inflate_state s{};
    const char* damage = "";
    void restart() {
        isal_inflate_init(&s);
        s.crc_flag = ISAL_GZIP;
    }
};

Inflater::Inflater() : state_(std::make_unique<State>()) {
    state_->restart();
}

Inflater::~Inflater() = default;

bool Inflater::started() const {
    return true;
}

void Inflater::setInput(const char* bytes, std::size_t size) {
    state_->s.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(bytes));
    state_->s.avail_in = static_cast<std::uint32_t>(size);
}

const char* Inflater::nextIn() const {
    return reinterpret_cast<const char*>(state_->s.next_in);
}

std::size_t Inflater::availIn() const {
    return state_->s.avail_in;
}

namespace {

// zlib's words for the same faults, so a damaged archive reads alike in
// every build (zlib tells some of them apart more finely).
const char* damageText(int status) {
    switch (status) {
    case ISAL_INVALID_BLOCK:
        return "invalid block type";
    case ISAL_INVALID_SYMBOL:
        return "invalid literal/length code";
    case ISAL_INVALID_LOOKBACK:
        return "invalid distance too far back";
    case ISAL_INVALID_WRAPPER:
        return "incorrect header check";
    case ISAL_UNSUPPORTED_METHOD:
        return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
        return "incorrect data check";
    default:
        return "corrupt compressed data";
    }
}

} // namespace

Inflater::Step Inflater::inflate(char* out, std::size_t size, std::size_t& wrote) {
    inflate_state& s = state_->s;
    s.next_out = reinterpret_cast<std::uint8_t*>(out);
    s.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX));
    const std::uint32_t room = s.avail_out;
    const int status = isal_inflate(&s);
    wrote = room - s.avail_out;
    if (status < 0 || status == ISAL_NEED_DICT) {
        state_->damage = damageText(status);
        return Step::Damaged;
    }
    if (s.block_state == ISAL_BLOCK_FINISH)
        return Step::MemberEnd;
    return Step::Progress;
}

void Inflater::nextMember() {
    const std::uint8_t* in = state_->s.next_in;
    const std::uint32_t left = state_->s.avail_in;
    state_->restart();
    state_->s.next_in = const_cast<std::uint8_t*>(in);
    state_->s.avail_in = left;
}

const char* Inflater::damage() const {
    return state_->damage;
}

const char* Inflater::library() {
    return "isa-l";
}

} // namespace qv
