// Closes the console of a program the way Windows does, for the tests under Wine, which has
// no console window to close: starts the program, waits until DIRECTORY holds COUNT of its
// files, then runs the system's control routine in it with CTRL_CLOSE_EVENT, and ends the
// process once the handler has returned or after the system's 5 s.
//   console_close.exe DIRECTORY COUNT PROGRAM ARGUMENT...
// Prints "handler ended after N ms" (it returned, or the program ended first) or "deadline
// passed"; exits 1 when it can't do its part.
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
    if (argc < 4) return 1;
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    std::string command_line;
    for (int k = 3; k < argc; ++k) command_line += std::string(k > 3 ? " \"" : "\"") + argv[k] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 1;

    bool started = false;
    for (DWORD waited = 0; waited < files_wait_ms && !started; waited += 10) {
        started = files_in(argv[1]) >= count;
        if (!started && WaitForSingleObject(process.hProcess, 10) != WAIT_TIMEOUT) break;
    }
    // The routine Windows itself starts in every process of a console that is being closed.
    const auto control_routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    const DWORD start = GetTickCount();
    const HANDLE handler =
        started && control_routine != nullptr
            ? CreateRemoteThread(process.hProcess, nullptr, 0, control_routine,
                                 reinterpret_cast<void*>(static_cast<DWORD_PTR>(CTRL_CLOSE_EVENT)), 0, nullptr)
            : nullptr;
    if (handler == nullptr) {
        TerminateProcess(process.hProcess, 1);
        return 1;
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
