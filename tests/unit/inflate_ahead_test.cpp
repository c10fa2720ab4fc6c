// Compressed logs of a pattern run inflated ahead: each file's text and its
// end read exactly as the file read alone would, whatever the pool holds.
#include "platform/platform.h"
#include "scratch_run.h"
#include "search/line_reader.h"
#include "sources/gzip_source.h"
#include "sources/inflate_ahead.h"

#include "gzip_member.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace qv {
namespace {

std::string gzipped(const std::string& text) {
    return test::gzipMember(text, 1);
}

struct Read {
    std::string text;
    bool failed = false;
    std::string why;
    bool operator==(const Read&) const = default;
};

Read readAll(ByteSource& source) {
    Read got;
    std::vector<char> buffer(100000);
    for (std::size_t n; (n = source.read(buffer.data(), buffer.size())) > 0;)
        got.text.append(buffer.data(), n);
    got.failed = source.failed();
    got.why = source.errorText();
    return got;
}

// Every read of a LineReader over `source`, which takes a source's chunk
// buffers over whole where it hands them out, end and error included.
Read readLines(ByteSource& source) {
    Read got;
    LineReader reader(source);
    for (std::string_view line; reader.next(line);)
        got.text.append(line);
    got.failed = reader.readError();
    got.why = got.failed ? reader.readErrorText() : "";
    return got;
}

// The file alone, as a run without inflating ahead reads it.
Read readAlone(const std::string& path) {
    std::FILE* file = openForRead(path.c_str());
    FileSource bytes(file);
    const std::unique_ptr<ByteSource> source = openLogSource(bytes);
    Read got = readAll(*source);
    std::fclose(file);
    return got;
}

class InflateAheadRun : public test::ScratchRun {
  protected:
    // Compressed days, big enough to need many chunks; one cut short, one
    // damaged, one plain, as a month of rotated logs may hold.
    std::vector<std::string> writeDays() {
        std::mt19937 rng(11);
        std::vector<std::string> names;
        for (int day = 0; day < 7; ++day) {
            std::string text;
            while (text.size() < (std::size_t{3} << 20) + static_cast<std::size_t>(day) * 77777)
                text +=
                    "12/08/26 01:00:00.000 WQVX     DOFADE:START " + std::to_string(rng()) + "\n";
            std::string bytes = gzipped(text);
            if (day == 2)
                bytes.resize(bytes.size() / 2);
            if (day == 4)
                bytes[bytes.size() / 3] = static_cast<char>(bytes[bytes.size() / 3] ^ 0x5a);
            if (day == 5)
                bytes = text;
            names.push_back("day" + std::to_string(day) + ".log.gz");
            writeFile(names.back(), bytes);
        }
        return names;
    }
};

TEST_F(InflateAheadRun, EachFileReadsAsAloneWhateverThePoolHolds) {
    const std::vector<std::string> names = writeDays();
    std::vector<Read> alone;
    for (const std::string& name : names)
        alone.push_back(readAlone(name));
    ASSERT_TRUE(alone[2].failed);
    ASSERT_TRUE(alone[4].failed);
    // No pool (the current file's reserve only), a few chunks, the default.
    for (std::size_t pool :
         {std::size_t{0}, 3 * InflateAhead::kChunkText, InflateAhead::kPoolBytes})
        for (int threads : {1, 2, 3}) {
            InflateAhead ahead(names, threads, pool);
            for (std::size_t i = 0; i < names.size(); ++i) {
                std::FILE* file = openForRead(names[i].c_str());
                const std::unique_ptr<ByteSource> text = ahead.take(i, regularFileIdOf(file));
                std::fclose(file);
                if (i == 5) { // plain: the scan reads it itself
                    EXPECT_EQ(text, nullptr);
                    continue;
                }
                ASSERT_NE(text, nullptr) << i;
                // Copied out, or through a reader that takes the chunks whole.
                Read want = alone[i];
                if (i % 2 == 1) {
                    MemorySource same(want.text);
                    want = readLines(same);
                    want.failed = alone[i].failed;
                    want.why = want.failed ? alone[i].why : "";
                }
                const Read got = i % 2 == 1 ? readLines(*text) : readAll(*text);
                EXPECT_TRUE(got == want)
                    << "file " << i << " pool " << pool << " threads " << threads << ": "
                    << got.text.size() << " of " << want.text.size() << ", " << got.why;
            }
        }
}

// A scan that stops early, skips files or meets another file at a path
// leaves nothing waiting; the pool is torn down mid-file.
TEST_F(InflateAheadRun, SkippedAndReplacedFilesAreLeftBehind) {
    const std::vector<std::string> names = writeDays();
    InflateAhead ahead(names, 2, 2 * InflateAhead::kChunkText);
    std::FILE* first = openForRead(names[0].c_str());
    const FileId firstId = regularFileIdOf(first);
    std::fclose(first);
    const std::unique_ptr<ByteSource> part = ahead.take(0, firstId);
    ASSERT_NE(part, nullptr);
    char some[1000];
    EXPECT_EQ(part->read(some, sizeof some), sizeof some);
    // Day 3 taken as if another file were at its path: not handed out.
    EXPECT_EQ(ahead.take(3, firstId), nullptr);
    std::FILE* file = openForRead(names[6].c_str());
    const std::unique_ptr<ByteSource> last = ahead.take(6, regularFileIdOf(file));
    std::fclose(file);
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(readAll(*last) == readAlone(names[6]));
    InflateAhead torn(names, 3, 0);
    file = openForRead(names[1].c_str());
    const std::unique_ptr<ByteSource> mid = torn.take(1, regularFileIdOf(file));
    std::fclose(file);
    ASSERT_NE(mid, nullptr);
    EXPECT_EQ(mid->read(some, sizeof some), sizeof some);
}

} // namespace
} // namespace qv
