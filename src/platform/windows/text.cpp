#include "platform/windows/text.hpp"

#include <cstdio>

#include "platform/text.hpp"

namespace {
const char* unknown_error_format = nullptr;
}  // namespace

void describe_unknown_errors_with(const char* format) { unknown_error_format = format; }

std::wstring wide_text(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

namespace {

std::string utf8_with(const std::wstring& text, DWORD flags) {
    const int length =
        WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

}  // namespace

std::string utf8_text(const std::wstring& text) { return text.empty() ? std::string() : utf8_with(text, 0); }

bool exact_utf8_text(const std::wstring& text, std::string& utf8) {
    if (text.empty()) {
        utf8.clear();
        return true;
    }
    std::string converted = utf8_with(text, WC_ERR_INVALID_CHARS);
    if (converted.empty()) return false;
    utf8 = std::move(converted);
    return true;
}

std::string windows_error_text(DWORD code) {
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text / sizeof text[0], nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n')) --length;
    if (length == 0) {
        char fallback[128] = "";
        if (unknown_error_format != nullptr)
            std::snprintf(fallback, sizeof fallback, unknown_error_format, static_cast<unsigned long>(code));
        return fallback;
    }
    return utf8_text(std::wstring(text, length));
}

std::wstring full_path(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::wstring();
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return std::wstring();
    full.resize(written);
    return full;
}

// A directory's limit, MAX_PATH less room for an 8.3 name, is the lower one: past it every
// call gets the long form.
std::wstring file_api_path(const std::string& name) {
    const std::wstring wide = wide_text(name);
    constexpr std::size_t room = MAX_PATH - 12;
    const std::wstring long_form = L"\\\\?\\";
    if (wide.size() < room || wide.compare(0, long_form.size(), long_form) == 0) return wide;
    const std::wstring full = full_path(wide);
    if (full.size() < 2) return wide;
    if (full[0] == L'\\' && full[1] == L'\\') return long_form + L"UNC\\" + full.substr(2);
    return long_form + full;
}
