// Starts a program with arguments that Wine's own conversion of a Linux command line can't
// make, for the tests of names holding an unpaired surrogate (valid on NTFS, not in UTF-8):
//   wide_argument.exe PROGRAM ARGUMENT...
// In each argument, \uXXXX stands for that UTF-16 unit. Exits with the program's status, or
// 255 when it can't be started.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring with_units(const wchar_t* argument) {
    std::wstring text;
    for (const wchar_t* c = argument; *c != L'\0'; ++c) {
        if (c[0] == L'\\' && c[1] == L'u' && std::wcslen(c) >= 6) {
            text += static_cast<wchar_t>(std::wcstoul(std::wstring(c + 2, 4).c_str(), nullptr, 16));
            c += 5;
            continue;
        }
        text += *c;
    }
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 255;
    std::wstring command_line;
    for (int k = 1; k < argc; ++k) command_line += (k > 1 ? L" \"" : L"\"") + with_units(argv[k]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 255;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 255;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
