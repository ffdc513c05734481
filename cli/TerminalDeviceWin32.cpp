#include "cli/TerminalDevice.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace travin::cli::device {

namespace {

std::atomic<int>* caughtSignal = nullptr;

// The POSIX numbers, so that exit codes mean the same on both systems.
constexpr int kSigHup = 1, kSigInt = 2, kSigPipe = 13, kSigTerm = 15;

BOOL WINAPI onControl(DWORD event) {
    int signal = 0;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) signal = kSigInt;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT) signal = kSigHup;
    if (event == CTRL_SHUTDOWN_EVENT) signal = kSigTerm;
    if (signal == 0) return FALSE;
    if (caughtSignal) {
        int none = 0;
        caughtSignal->compare_exchange_strong(none, signal);
    }
    return TRUE;  // handled: the client stops the program itself
}

// A console or a pipe cannot be waited on alike, so one thread reads the
// input handle, blocking, and hands the bytes over here.
struct InputReader {
    std::mutex lock;
    std::condition_variable arrived;
    std::string bytes;
    bool ended = false;
    bool started = false;

    void start() {
        if (started) return;
        started = true;
        std::thread([this] {
            const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
            char chunk[256];
            for (;;) {
                DWORD n = 0;
                const BOOL ok = input != INVALID_HANDLE_VALUE && input != nullptr &&
                                ReadFile(input, chunk, sizeof chunk, &n, nullptr);
                std::lock_guard guard(lock);
                if (!ok || n == 0) {
                    ended = true;
                    arrived.notify_all();
                    return;
                }
                bytes.append(chunk, n);
                arrived.notify_all();
            }
        }).detach();
    }
};

InputReader& reader() {
    static InputReader* shared = new InputReader;  // outlives the detached thread
    return *shared;
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words) return {argv, argv + argc};
    std::vector<std::string> utf8;
    for (int i = 0; i < count; ++i) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, words[i], -1, nullptr, 0, nullptr, nullptr);
        std::string word(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
        if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, words[i], -1, word.data(), size, nullptr, nullptr);
        word.pop_back();  // the terminating zero
        utf8.push_back(std::move(word));
    }
    ::LocalFree(words);
    return utf8;
}

int writeAll(Stream stream, std::string_view bytes) {
    const HANDLE out = GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 16));
        if (!WriteFile(out, bytes.data(), chunk, &written, nullptr) || written == 0) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) return EPIPE;
            return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
        }
        bytes.remove_prefix(written);
    }
    return 0;
}

int closeOutput() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // A console refuses the flush, which is no failure of the result.
    if (GetFileType(out) == FILE_TYPE_DISK && !FlushFileBuffers(out)) return EIO;
    return 0;
}

bool messagesOnTerminal() {
    // The progress rows move the cursor with escape sequences, which a
    // console shows as they are unless it is told to interpret them.
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(err, &mode)) return false;
    return SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void catchSignals(std::atomic<int>& caught) {
    caughtSignal = &caught;
    SetConsoleCtrlHandler(onControl, TRUE);
}

std::string signalName(int signal) {
    switch (signal) {
    case kSigInt: return "Ctrl+C";
    case kSigHup: return "the console closing";
    case kSigTerm: return "the system shutting down";
    case kSigPipe: return "the output's reader going away";
    default: return "signal " + std::to_string(signal);
    }
}

void openMissingStandardStreams() {
    // A missing standard handle stays missing: nothing opened later takes
    // its place on Windows, and every use of it checks it.
}

bool syncFile(std::FILE* file) { return ::_commit(::_fileno(file)) == 0; }

int terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

long readInput(char* buffer, std::size_t size, int milliseconds) {
    InputReader& r = reader();
    std::unique_lock guard(r.lock);
    r.start();
    r.arrived.wait_for(guard, std::chrono::milliseconds(milliseconds), [&r] { return !r.bytes.empty() || r.ended; });
    if (r.bytes.empty()) return r.ended ? -1 : 0;
    const std::size_t n = std::min(size, r.bytes.size());
    r.bytes.copy(buffer, n);
    r.bytes.erase(0, n);
    return static_cast<long>(n);
}

void pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace travin::cli::device
