// Windows side of following a log: the stop keys and the folder watch.
#include "platform/platform.h"

#include <windows.h>

namespace qv {

namespace {

// What the console control handler touches: the number of stop keys so far
// and the event that wakes a waiting follow.
struct StopSignalState {
    volatile LONG count;
};

StopSignalState stopSignals{0};
HANDLE signalWakeEvent = nullptr;

// Runs on a thread of its own that the system starts for the key.
BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    if (InterlockedExchange(&stopSignals.count, 1) != 0)
        TerminateProcess(GetCurrentProcess(), 130);
    if (signalWakeEvent)
        SetEvent(signalWakeEvent);
    return TRUE;
}

} // namespace

struct StopKeys::Saved {};

// The event lives as long as the process: a handler already running on its
// own thread when the keys are given up could otherwise signal a handle that
// was closed, or reused for something else.
StopKeys::StopKeys() {
    InterlockedExchange(&stopSignals.count, 0);
    if (!signalWakeEvent)
        signalWakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(signalWakeEvent);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopKeys::~StopKeys() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
}

bool StopKeys::requested() const {
    return stopSignals.count != 0;
}

namespace {

// One ReadDirectoryChangesW request is always pending on the folder while
// it can be; what changed is not read, the caller looks for itself.
class WindowsFileWatch final : public FileWatch {
  public:
    explicit WindowsFileWatch(HANDLE folder) : folder_(folder) {
        overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        pending_ = overlapped_.hEvent && arm();
    }
    ~WindowsFileWatch() override {
        if (pending_) {
            CancelIo(folder_);
            DWORD bytes = 0;
            GetOverlappedResult(folder_, &overlapped_, &bytes, TRUE);
        }
        if (folder_ != INVALID_HANDLE_VALUE)
            CloseHandle(folder_);
        if (overlapped_.hEvent)
            CloseHandle(overlapped_.hEvent);
    }
    WindowsFileWatch(const WindowsFileWatch&) = delete;
    WindowsFileWatch& operator=(const WindowsFileWatch&) = delete;

    void wait(int milliseconds) override {
        HANDLE handles[2];
        DWORD count = 0;
        if (pending_)
            handles[count++] = overlapped_.hEvent;
        if (signalWakeEvent)
            handles[count++] = signalWakeEvent;
        const DWORD ms = static_cast<DWORD>(milliseconds);
        if (count == 0) {
            Sleep(ms);
            return;
        }
        if (WaitForMultipleObjects(count, handles, FALSE, ms) == WAIT_OBJECT_0 && pending_) {
            DWORD bytes = 0;
            GetOverlappedResult(folder_, &overlapped_, &bytes, FALSE);
            pending_ = arm();
        }
    }

  private:
    bool arm() {
        if (folder_ == INVALID_HANDLE_VALUE)
            return false;
        ResetEvent(overlapped_.hEvent);
        constexpr DWORD kChanges =
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
        return ReadDirectoryChangesW(folder_, changes_, sizeof changes_, FALSE, kChanges, nullptr,
                                     &overlapped_, nullptr) != 0;
    }

    HANDLE folder_;
    OVERLAPPED overlapped_{};
    alignas(DWORD) char changes_[4096];
    bool pending_ = false;
};

} // namespace

std::unique_ptr<FileWatch> watchFolderOf(const char* path) {
    const std::string_view full(path);
    const std::string folder = std::string(full.substr(0, directoryPartLength(full, true))) + ".";
    HANDLE handle = CreateFileA(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    return std::make_unique<WindowsFileWatch>(handle);
}

} // namespace qv
