// Closes the console of a program the way Windows does, for the tests under Wine, which has
// no console window to close: starts the program, waits until DIRECTORY holds COUNT of its
// files, then runs the system's control routine in it with the EVENT's code.
//   console_close.exe EVENT[@DELAY] DIRECTORY COUNT PROGRAM ARGUMENT...
// DELAY, in milliseconds, is waited after the files appear, to reach a later phase.
// `close` ends the process once the handler has returned or after the system's 5 s, and
// prints "handler ended after N ms" (it returned, or the program ended first) or "deadline
// passed". `logoff`, and `ctrl_c` (to a program started in a new process group, as a service
// or a scheduler may start it) let the program go on, and print "exited with N" when it
// ends. Exits 1 when it can't do its part.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD deadline_ms = 5000;
constexpr DWORD files_wait_ms = 120000;
constexpr DWORD control_c_exit = 0xC000013A;

unsigned long files_in(const std::string& directory) {
    WIN32_FIND_DATAA entry;
    const HANDLE found = FindFirstFileA((directory + "\\vellumcrate_*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE) return 0;
    unsigned long count = 1;
    while (FindNextFileA(found, &entry)) ++count;
    FindClose(found);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 1;
    const std::string event_argument = argv[1];
    const std::size_t at = event_argument.find('@');
    const std::string event_name = event_argument.substr(0, at);
    const DWORD delay_ms = at == std::string::npos ? 0 : std::strtoul(argv[1] + at + 1, nullptr, 10);
    const DWORD event = event_name == "close"    ? CTRL_CLOSE_EVENT
                        : event_name == "logoff" ? CTRL_LOGOFF_EVENT
                        : event_name == "ctrl_c" ? CTRL_C_EVENT
                                                 : MAXDWORD;
    if (event == MAXDWORD) return 1;
    const char* const directory = argv[2];
    const unsigned long count = std::strtoul(argv[3], nullptr, 10);
    std::string command_line;
    for (int k = 4; k < argc; ++k) command_line += std::string(k > 4 ? " \"" : "\"") + argv[k] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const DWORD creation = event == CTRL_C_EVENT ? CREATE_NEW_PROCESS_GROUP : 0;
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, creation, nullptr, nullptr, &startup,
                        &process))
        return 1;

    bool started = false;
    for (DWORD waited = 0; waited < files_wait_ms && !started; waited += 10) {
        started = files_in(directory) >= count;
        if (!started && WaitForSingleObject(process.hProcess, 10) != WAIT_TIMEOUT) break;
    }
    if (started) Sleep(delay_ms);
    // The routine Windows itself starts in every process of a console that is being closed.
    const auto control_routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    const DWORD start = GetTickCount();
    const HANDLE handler =
        started && control_routine != nullptr
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
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        std::printf("exited with %lu\n", static_cast<unsigned long>(status));
        return 0;
    }
    const bool ended = WaitForSingleObject(handler, deadline_ms) == WAIT_OBJECT_0;
    const DWORD elapsed = GetTickCount() - start;
    TerminateProcess(process.hProcess, control_c_exit);
    WaitForSingleObject(process.hProcess, INFINITE);
    if (ended)
        std::printf("handler ended after %lu ms\n", static_cast<unsigned long>(elapsed));
    else
        std::printf("deadline passed\n");
    return 0;
}
