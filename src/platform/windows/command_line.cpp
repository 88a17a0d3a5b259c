// The command line and the environment as UTF-16 from the system, in UTF-8 for the program.
// What the C runtime gives main comes through the ANSI code page, which has no room for most
// of the world's characters and maps some of them to look-alikes: another file's name.
#include <string.h>

#include <vector>

#include "platform/command_line.hpp"
#include "platform/windows/text.hpp"

// The C runtime's own parser, the one that made argv: the arguments are split exactly as
// before. Its startup block holds the new-handler mode, which stays the default.
struct runtime_startup_info {
    int new_mode;
};
extern "C" int __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment, int expand_wildcards,
                              runtime_startup_info* startup);

namespace {
std::vector<std::string> utf8_arguments;
std::vector<char*> argument_pointers;
std::vector<bool> carried_exactly;
}  // namespace

void use_utf8_arguments(int& argc, char**& argv) {
    int count = 0;
    wchar_t** arguments = nullptr;
    wchar_t** environment = nullptr;
    runtime_startup_info startup{0};
    if (__wgetmainargs(&count, &arguments, &environment, 0, &startup) < 0 || arguments == nullptr) return;
    for (int k = 0; k < count; ++k) {
        std::string exact;
        carried_exactly.push_back(exact_utf8_text(arguments[k], exact));
        utf8_arguments.push_back(carried_exactly.back() ? exact : utf8_text(arguments[k]));
    }
    for (std::string& argument : utf8_arguments) argument_pointers.push_back(argument.data());
    argument_pointers.push_back(nullptr);
    argc = count;
    argv = argument_pointers.data();
}

bool argument_carried_exactly(int index) {
    return index < 0 || static_cast<std::size_t>(index) >= carried_exactly.size() || carried_exactly[index];
}

// Straight from the process's environment block: the C runtime may hold a copy made
// through the ANSI code page.
bool environment_variable(const char* name, std::string& value) {
    const std::wstring wide_name = wide_text(name);
    std::wstring wide(GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0), L'\0');
    if (wide.empty()) return false;
    wide.resize(GetEnvironmentVariableW(wide_name.c_str(), wide.data(), static_cast<DWORD>(wide.size())));
    value = utf8_text(wide);
    return true;
}

int compare_ignoring_case(const char* a, const char* b) { return _stricmp(a, b); }
