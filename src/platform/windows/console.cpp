#include "platform/console.hpp"
#include "platform/windows/text.hpp"

namespace {

// Standard output's console; null when standard output is a pipe, a file or nothing.
HANDLE standard_console() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return output != INVALID_HANDLE_VALUE && output != nullptr && GetConsoleMode(output, &mode) ? output : nullptr;
}

}  // namespace

// A console reads bytes through its code page, in which most paths can't be written; as
// UTF-16 it shows them all, and its code page stays as the user set it. Line feeds become
// CR LF, as the C runtime's text mode makes them for a pipe or a file.
console_write write_to_console(const std::string& text, std::string& reason) {
    static const HANDLE console = standard_console();
    if (console == nullptr) return console_write::not_a_console;
    std::string lines;
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    const std::wstring wide = wide_text(lines);
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(wide.size() - done), &written, nullptr) ||
            written == 0) {
            reason = windows_error_text(GetLastError());
            return console_write::failed;
        }
        done += written;
    }
    return console_write::written;
}
