// Sends a program the console's control events the way Windows does, for the tests under Wine,
// which has no console window to close: starts the program, waits for the moment asked, then
// runs the system's control routine in it with the EVENT's code.
//   console_close.exe EVENT[@DELAY] files DIRECTORY COUNT PROGRAM ARGUMENT...
//   console_close.exe EVENT[@DELAY] signal FILE PROGRAM ARGUMENT...
// The moment is when DIRECTORY holds COUNT of its files, or when FILE exists (the test's slowed
// call creates it as the step it slows starts); DELAY, in milliseconds, is waited after it.
// `close` gives the program the system's 5 s: it prints "handler ended after N ms" (the handler
// returned, or the program ended first) or "deadline passed", then, the program ended as
// Windows would end it if it is still running, "exited with N". `logoff` and `ctrl_c` (to a
// program started in a new process group, as a service or a scheduler may start it) let the
// program go on, and `kill` ends it as End task or a crash does (TerminateProcess); each prints
// "exited with N" once it has ended. Exits 1 when it can't do its part.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD deadline_ms = 5000;
constexpr DWORD files_wait_ms = 120000;
constexpr DWORD control_c_exit = 0xC000013A;
constexpr DWORD kill_event = MAXDWORD - 1;
constexpr DWORD ending_grace_ms = 2000;

unsigned long files_in(const std::string& directory) {
    WIN32_FIND_DATAA entry;
    const HANDLE found = FindFirstFileA((directory + "\\vellumcrate_*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE) return 0;
    unsigned long count = 1;
    while (FindNextFileA(found, &entry)) ++count;
    FindClose(found);
    return count;
}

bool moment_come(bool by_signal, const std::string& place, unsigned long count) {
    return by_signal ? GetFileAttributesA(place.c_str()) != INVALID_FILE_ATTRIBUTES : files_in(place) >= count;
}

DWORD event_named(const std::string& name) {
    if (name == "close") return CTRL_CLOSE_EVENT;
    if (name == "logoff") return CTRL_LOGOFF_EVENT;
    if (name == "ctrl_c") return CTRL_C_EVENT;
    if (name == "kill") return kill_event;
    return MAXDWORD;
}

void print_exit_status(HANDLE process) {
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    std::printf("exited with %lu\n", static_cast<unsigned long>(status));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 1;
    const std::string event_argument = argv[1];
    const std::size_t at = event_argument.find('@');
    const DWORD delay_ms = at == std::string::npos ? 0 : std::strtoul(argv[1] + at + 1, nullptr, 10);
    const DWORD event = event_named(event_argument.substr(0, at));
    const bool by_signal = std::strcmp(argv[2], "signal") == 0;
    if (event == MAXDWORD || (!by_signal && std::strcmp(argv[2], "files") != 0)) return 1;
    const std::string place = argv[3];
    const int program = by_signal ? 4 : 5;
    if (argc <= program) return 1;
    const unsigned long count = by_signal ? 0 : std::strtoul(argv[4], nullptr, 10);
    std::string command_line;
    for (int k = program; k < argc; ++k) command_line += std::string(k > program ? " \"" : "\"") + argv[k] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const DWORD creation = event == CTRL_C_EVENT ? CREATE_NEW_PROCESS_GROUP : 0;
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, creation, nullptr, nullptr, &startup,
                        &process))
        return 1;

    bool started = false;
    for (DWORD waited = 0; waited < files_wait_ms && !started; waited += 10) {
        started = moment_come(by_signal, place, count);
        if (!started && WaitForSingleObject(process.hProcess, 10) != WAIT_TIMEOUT) break;
    }
    if (!started) {
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    Sleep(delay_ms);
    if (event == kill_event) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        print_exit_status(process.hProcess);
        return 0;
    }
    // The routine Windows itself starts in every process of a console that is being closed.
    const auto control_routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    const DWORD start = GetTickCount();
    const HANDLE handler =
        control_routine != nullptr
            ? CreateRemoteThread(process.hProcess, nullptr, 0, control_routine,
                                 reinterpret_cast<void*>(static_cast<DWORD_PTR>(event)), 0, nullptr)
            : nullptr;
    if (handler == nullptr) {
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    if (event != CTRL_CLOSE_EVENT) {
        WaitForSingleObject(handler, deadline_ms);
        if (WaitForSingleObject(process.hProcess, files_wait_ms) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
            return 1;
        }
        print_exit_status(process.hProcess);
        return 0;
    }
    const bool ended = WaitForSingleObject(handler, deadline_ms) == WAIT_OBJECT_0;
    const DWORD elapsed = GetTickCount() - start;
    if (ended)
        std::printf("handler ended after %lu ms\n", static_cast<unsigned long>(elapsed));
    else
        std::printf("deadline passed\n");
    // What Windows does once the handler has returned, or its time is up. Under Wine a process
    // ending itself may still be ending when its handler's thread is, and a termination then
    // would replace its status: it is given a moment first.
    if (WaitForSingleObject(process.hProcess, ending_grace_ms) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, control_c_exit);
    WaitForSingleObject(process.hProcess, INFINITE);
    print_exit_status(process.hProcess);
    return 0;
}
