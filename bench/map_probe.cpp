// What reading a log costs by mapping it against copying it: touches one byte
// of every page of a mapped file (plain, MAP_POPULATE, madvise'd), then reads
// the file through a 128 KiB and a 1 MiB buffer, best of five each. The scan
// reads every byte either way, so the faster of the two is the way to read.
// POSIX only; run on a file in the page cache: map_probe FILE
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kPage = 4096;

unsigned long touchMapped(int fd, std::size_t size, int flags, bool advise) {
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | flags, fd, 0);
    if (mapped == MAP_FAILED)
        return 0;
    const char* bytes = static_cast<const char*>(mapped);
    if (advise)
        madvise(mapped, size, MADV_SEQUENTIAL | MADV_WILLNEED);
    unsigned long sum = 0;
    for (std::size_t i = 0; i < size; i += kPage)
        sum += static_cast<unsigned char>(bytes[i]);
    munmap(mapped, size);
    return sum;
}

unsigned long copyOut(int fd, std::size_t chunk) {
    std::vector<char> buffer(chunk);
    unsigned long sum = 0;
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer.data(), chunk)) > 0;)
        sum += static_cast<unsigned char>(buffer[static_cast<std::size_t>(n) - 1]);
    return sum;
}

template <class Run> double bestMs(Run run) {
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        volatile unsigned long keep = run();
        (void)keep;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    struct stat st {};
    const int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
    if (fd < 0 || fstat(fd, &st) != 0) {
        std::fprintf(stderr, "usage: map_probe FILE (a readable file)\n");
        return 2;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    const double gb = static_cast<double>(size) / 1e9;
    const auto row = [gb](const char* name, double ms) {
        std::printf("%-34s %8.1f ms %7.2f GB/s\n", name, ms, gb / (ms / 1e3));
    };
    row("mapped, every page touched", bestMs([&] { return touchMapped(fd, size, 0, false); }));
    row("mapped with MAP_POPULATE",
        bestMs([&] { return touchMapped(fd, size, MAP_POPULATE, false); }));
    row("mapped, madvise sequential", bestMs([&] { return touchMapped(fd, size, 0, true); }));
    row("read(), 128 KiB buffer", bestMs([&] { return copyOut(fd, std::size_t{1} << 17); }));
    row("read(), 1 MiB buffer", bestMs([&] { return copyOut(fd, std::size_t{1} << 20); }));
    close(fd);
    return 0;
}
