#include "platform/report_target.hpp"

#include <cwctype>

#include "platform/windows/text.hpp"

// Windows programs meet neither FIFOs nor links to follow here: a name is a file, new or
// present, or a directory. Two names of one file have one full path, letters of any case.
bool find_report_target(const std::string& name, report_target& target, std::string& reason) {
    const std::wstring wide = wide_text(name);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    if (length == 0 || GetFullPathNameW(wide.c_str(), length, full.data(), nullptr) == 0)
        return fail_with_last_error(reason);
    full.resize(length - 1);
    for (wchar_t& c : full) c = static_cast<wchar_t>(std::towlower(c));
    const DWORD attributes = GetFileAttributesW(file_api_path(name).c_str());
    report_target_kind kind = report_target_kind::regular_file;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return fail_with_last_error(reason);
        kind = report_target_kind::new_file;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        kind = report_target_kind::directory;
    }
    target = report_target{kind, name, utf8_text(full)};
    return true;
}

bool may_replace(const std::string&, std::string&) { return true; }

bool write_to_stream(const std::string&, const std::string&, std::string& reason) {
    reason = windows_error_text(ERROR_NOT_SUPPORTED);
    return false;
}
