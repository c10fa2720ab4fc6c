// POSIX side of following a log: the stop keys and the folder watch.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace qv {

namespace {

// What the signal handler touches: the number of stop keys so far and the
// pipe that wakes a waiting follow.
struct StopSignalState {
    volatile std::sig_atomic_t count;
    int wakeRead;
    int wakeWrite;
};

StopSignalState stopSignals{0, -1, -1};

void onStopSignal(int) {
    const int savedErrno = errno;
    if (stopSignals.count != 0)
        _exit(130);
    stopSignals.count = 1;
    if (stopSignals.wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(stopSignals.wakeWrite, &byte, 1);
    }
    errno = savedErrno;
}

bool makePipe(int (&fds)[2]) {
    if (pipe(fds) != 0)
        return false;
    for (int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}

} // namespace

struct StopKeys::Saved {
    struct sigaction interrupt {};
    struct sigaction terminate {};
    struct sigaction hangUp {};
};

StopKeys::StopKeys() : saved_(std::make_unique<Saved>()) {
    int fds[2];
    if (makePipe(fds)) {
        stopSignals.wakeRead = fds[0];
        stopSignals.wakeWrite = fds[1];
    }
    stopSignals.count = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A write to a full pipe goes on after the handler rather than failing.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &saved_->interrupt);
    sigaction(SIGTERM, &action, &saved_->terminate);
    // A dropped session ends the follow as a stop does, with its summary;
    // a run started to outlive its session (nohup) keeps ignoring it.
    sigaction(SIGHUP, nullptr, &saved_->hangUp);
    if (saved_->hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

StopKeys::~StopKeys() {
    sigaction(SIGINT, &saved_->interrupt, nullptr);
    sigaction(SIGTERM, &saved_->terminate, nullptr);
    sigaction(SIGHUP, &saved_->hangUp, nullptr);
    for (int* fd : {&stopSignals.wakeRead, &stopSignals.wakeWrite}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool StopKeys::requested() const {
    return stopSignals.count != 0;
}

namespace {

// `notifyFd` is an inotify descriptor, or -1 where the folder is not watched.
class PosixFileWatch final : public FileWatch {
  public:
    explicit PosixFileWatch(int notifyFd) : notifyFd_(notifyFd) {}
    ~PosixFileWatch() override {
        if (notifyFd_ >= 0)
            close(notifyFd_);
    }
    PosixFileWatch(const PosixFileWatch&) = delete;
    PosixFileWatch& operator=(const PosixFileWatch&) = delete;

    void wait(int milliseconds) override {
        pollfd fds[2] = {{notifyFd_, POLLIN, 0}, {stopSignals.wakeRead, POLLIN, 0}};
        if (poll(fds, 2, milliseconds) > 0 && (fds[0].revents & POLLIN) != 0)
            drain();
    }

  private:
    // The events only say that something changed; what, the caller looks up.
    void drain() const {
        char events[4096];
        while (read(notifyFd_, events, sizeof events) > 0) {
        }
    }

    int notifyFd_;
};

int watchFolder(const std::string& folder) {
#ifdef __linux__
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return -1;
    constexpr std::uint32_t kEvents = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                      IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (inotify_add_watch(fd, folder.c_str(), kEvents) >= 0)
        return fd;
    close(fd);
#else
    (void)folder;
#endif
    return -1;
}

} // namespace

std::unique_ptr<FileWatch> watchFolderOf(const char* path) {
    const std::string_view full(path);
    const std::string folder = std::string(full.substr(0, directoryPartLength(full, false))) + ".";
    return std::make_unique<PosixFileWatch>(watchFolder(folder));
}

} // namespace qv
