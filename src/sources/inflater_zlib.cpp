// The zlib inflater: builds without ISA-L (the Windows .exe, -DQUORVEX_INFLATER=zlib).
#include "sources/inflater.h"

#include <algorithm>
#include <climits>
#include <zlib.h>

namespace qv {

struct Inflater::State {
    z_stream z{};
    bool started = false;
    const char* damage = "";
};

Inflater::Inflater() : state_(std::make_unique<State>()) {
    // 16: a gzip wrapper, not zlib's
    state_->started = inflateInit2(&state_->z, 16 + MAX_WBITS) == Z_OK;
    if (!state_->started)
        state_->damage = "cannot start inflating";
}

Inflater::~Inflater() {
    if (state_->started)
        inflateEnd(&state_->z);
}

bool Inflater::started() const {
    return state_->started;
}

void Inflater::setInput(const char* bytes, std::size_t size) {
    state_->z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    state_->z.avail_in = static_cast<uInt>(size);
}

const char* Inflater::nextIn() const {
    return reinterpret_cast<const char*>(state_->z.next_in);
}

std::size_t Inflater::availIn() const {
    return state_->z.avail_in;
}

Inflater::Step Inflater::inflate(char* out, std::size_t size, std::size_t& wrote) {
    z_stream& z = state_->z;
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
    const uInt room = z.avail_out;
    const int status = ::inflate(&z, Z_NO_FLUSH);
    wrote = room - z.avail_out;
    if (status == Z_STREAM_END)
        return Step::MemberEnd;
    if (status == Z_OK || (status == Z_BUF_ERROR && z.avail_in == 0))
        return Step::Progress;
    state_->damage = z.msg ? z.msg : "corrupt compressed data";
    return Step::Damaged;
}

void Inflater::nextMember() {
    inflateReset(&state_->z);
}

const char* Inflater::damage() const {
    return state_->damage;
}

const char* Inflater::library() {
    return "zlib";
}

} // namespace qv
