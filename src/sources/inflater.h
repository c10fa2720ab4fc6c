// One gzip member at a time, inflated by whichever library this build takes:
// ISA-L where it is found (several times zlib's speed), zlib elsewhere. The
// member loop, padding and the rules for a damaged archive stay in GzipSource.
#pragma once

#include <cstddef>
#include <memory>

namespace qv {

class Inflater {
  public:
    enum class Step {
        Progress,  // input taken or output given; more may follow
        MemberEnd, // a whole member, its checksum verified
        Damaged,   // see `damage()`
    };

    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    /// False when the library could not be set up (`damage()` says why).
    bool started() const;
    /// The compressed bytes still to be taken.
    void setInput(const char* bytes, std::size_t size);
    const char* nextIn() const;
    std::size_t availIn() const;
    /// Inflates into `out` as far as the input and `size` go; `wrote` is
    /// what it gave there.
    Step inflate(char* out, std::size_t size, std::size_t& wrote);
    /// Ready for the member that starts at `nextIn()`.
    void nextMember();
    /// Why the data is damaged, in zlib's words where the two libraries agree.
    const char* damage() const;
    /// "isa-l" or "zlib", for the benchmark notes and the tests.
    static const char* library();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace qv
