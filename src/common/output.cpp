#include "common/output.hpp"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>

#include "common/messages.hpp"
#include "platform/console.hpp"

namespace {
std::atomic<bool> line_open{false};
std::atomic<bool> output_silenced{false};
std::atomic<bool> output_failed_once{false};
output_failure_hook failure_hook;

void fail(const std::string& message) {
    output_failed_once.store(true);
    if (failure_hook) failure_hook(message);
}

std::string format_list(const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return std::string();
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    return text;
}

void emit(const std::string& text) {
    if (text.empty() || output_silenced.load()) return;
    std::string reason;
    switch (write_to_console(text, reason)) {
        case console_write::written: break;
        case console_write::failed: fail(format_text(messages::output_failed, reason.c_str())); break;
        case console_write::not_a_console:
            if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
                fail(format_text(messages::output_failed, errno_reason(errno).c_str()));
            break;
    }
    line_open.store(text.back() != '\n');
}
}  // namespace

void print(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string text = format_list(format, arguments);
    va_end(arguments);
    emit(text);
}

void print_on_own_line(const std::string& message) { emit((line_open.load() ? "\n" : "") + message + "\n"); }

std::string format_text(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = format_list(format, arguments);
    va_end(arguments);
    return text;
}

void on_output_failure(output_failure_hook hook) { failure_hook = std::move(hook); }

bool output_failed() { return output_failed_once.load(); }

void silence_output(bool silenced) { output_silenced.store(silenced); }

std::string errno_reason(int code) { return std::generic_category().message(code); }
