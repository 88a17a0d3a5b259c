// Text at the boundary with the Windows API: the program keeps UTF-8, the API takes UTF-16.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

// Empty when `text` is not valid UTF-8: a call given it fails rather than act on another name.
std::wstring wide_text(const std::string& text);

// For text that is only shown: what does not convert (an unpaired surrogate) becomes U+FFFD.
std::string utf8_text(const std::wstring& text);

// For names acted on: false, with `utf8` untouched, when `text` holds an unpaired surrogate,
// which UTF-8 can't carry.
bool exact_utf8_text(const std::wstring& text, std::string& utf8);

// The system's own text for an error code, without the line end FormatMessage appends.
std::string windows_error_text(DWORD code);

// Fills `reason` with the last error's text; false, for `return fail_with_last_error(reason);`.
inline bool fail_with_last_error(std::string& reason) {
    reason = windows_error_text(GetLastError());
    return false;
}

// The full path GetFullPathNameW makes of `path`: a drive letter alone ("D:") is the current
// directory on that drive, `.` and `..` are resolved. Empty when it fails.
std::wstring full_path(const std::wstring& path);

// `name` as the file calls take it: past what MAX_PATH leaves room for, the full path in the
// \\?\ form (\\?\UNC\ for a share), which the calls take at any length without a manifest.
std::wstring file_api_path(const std::string& name);
