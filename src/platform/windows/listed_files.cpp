#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "platform/listed_files.hpp"
#include "platform/windows/text.hpp"

namespace {

// The owner's SID as text; empty when it can't be read.
std::string owner_of(const std::wstring& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return "";
    std::string text;
    wchar_t* sid = nullptr;
    if (owner != nullptr && ConvertSidToStringSidW(owner, &sid)) {
        text = utf8_text(sid);
        LocalFree(sid);
    }
    LocalFree(descriptor);
    return text;
}

}  // namespace

bool list_files(const std::string& directory, const std::string& start, std::vector<listed_file>& files) {
    WIN32_FIND_DATAW entry;
    const HANDLE found = FindFirstFileExW(file_api_path(directory + start + "*").c_str(), FindExInfoBasic, &entry,
                                          FindExSearchNameMatch, nullptr, 0);
    if (found == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        std::string name;
        // A name UTF-8 can't carry would be another file's: it is not listed.
        if (!exact_utf8_text(entry.cFileName, name) || name.compare(0, start.size(), start) != 0) continue;
        const std::uint64_t bytes = static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32 | entry.nFileSizeLow;
        files.push_back(listed_file{name, bytes, owner_of(file_api_path(directory + name))});
    } while (FindNextFileW(found, &entry));
    FindClose(found);
    return true;
}

bool read_small_file(const std::string& name, std::size_t limit, std::string& text) {
    const HANDLE file = CreateFileW(file_api_path(name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool read_whole = GetFileType(file) == FILE_TYPE_DISK;
    text.clear();
    char buffer[4096];
    while (read_whole) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) read_whole = false;
        if (!read_whole || got == 0) break;
        text.append(buffer, got);
        if (text.size() > limit) read_whole = false;
    }
    CloseHandle(file);
    return read_whole;
}
