// Text at the boundary with the Windows API: the program keeps UTF-8, the API takes UTF-16.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

std::wstring wide_text(const std::string& text);

std::string utf8_text(const std::wstring& text);

// The system's own text for an error code, without the line end FormatMessage appends.
std::string windows_error_text(DWORD code);
