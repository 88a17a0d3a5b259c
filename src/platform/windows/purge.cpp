#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/file_io.hpp"
#include "platform/os_cache.hpp"

namespace {

constexpr DWORD token_rights = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
static_assert(token_rights == 0x28);
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);
// SystemMemoryListInformation, and its command that empties the standby list.
constexpr ULONG memory_list_class = 80;
constexpr ULONG purge_standby_list = 4;

using nt_set_system_information = LONG(NTAPI*)(ULONG info_class, PVOID buffer, ULONG length);

bool SetPrivilege(HANDLE token, const char* privilege_name, int enable) {
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, privilege_name, &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable != 0 ? SE_PRIVILEGE_ENABLED : 0;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr)) return false;
    // The call also succeeds when the account does not hold the privilege; only this says so.
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

// Writes out and drops what the system file cache maps, which emptying the standby list
// leaves alone: a file another process holds open, an antivirus's or the indexer's, stays
// mapped there. Needs SeIncreaseQuotaPrivilege.
purge_failure flush_system_file_cache(HANDLE token) {
    if (!SetPrivilege(token, "SeIncreaseQuotaPrivilege", 1)) return purge_failure::privilege;
    return SetSystemFileCacheSize(static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1), 0) ? purge_failure::none
                                                                                        : purge_failure::system_cache;
}

purge_failure purge_standby(HMODULE ntdll) {
    // Casting through void(*)() is how a FARPROC becomes the function's real type.
    const auto call = reinterpret_cast<nt_set_system_information>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtSetSystemInformation")));
    if (call == nullptr) return purge_failure::address;

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), token_rights, &token)) return purge_failure::token;
    const purge_failure system_cache = flush_system_file_cache(token);
    purge_failure result = purge_failure::privilege;
    if (SetPrivilege(token, "SeProfileSingleProcessPrivilege", 1)) {
        ULONG command = purge_standby_list;
        result =
            call(memory_list_class, &command, sizeof command) < 0 ? purge_failure::standby_list : purge_failure::none;
    }
    CloseHandle(token);
    return result == purge_failure::none && system_cache == purge_failure::system_cache ? system_cache : result;
}

// ntdll.dll is loaded at run time: the call is not in the import libraries.
purge_failure empty_standby_list() {
    const HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (ntdll == nullptr) return purge_failure::library;
    const purge_failure result = purge_standby(ntdll);
    FreeLibrary(ntdll);
    return result;
}

std::vector<purge_file_failure> failed_files;

}  // namespace

// Opening each file uncached drops its cached data for any user, including the pages the
// system cache still maps, which emptying the standby list leaves in memory; but only when no
// other handle caches the file, and never the pages of a file mapped elsewhere. Nothing says
// which happened: a successful open is no proof of a drop. With the privileges, the system
// file cache is flushed and the standby list emptied too. Without them, the privilege is
// reported only when a file's drop failed.
purge_failure purge_file_cache(os_directory directory, const std::vector<directory_entry>& files,
                               const std::atomic<bool>& stop) {
    failed_files.clear();
    for (const directory_entry& entry : files) {
        if (stop.load()) break;
        std::string reason;
        const opening dropped = drop_cached_pages(directory, entry, reason);
        if (dropped != opening::opened)
            failed_files.push_back(purge_file_failure{entry.name, reason, dropped == opening::changed});
    }
    const purge_failure standby = empty_standby_list();
    if (standby == purge_failure::privilege && failed_files.empty()) return purge_failure::none;
    if (standby == purge_failure::none && !failed_files.empty()) return purge_failure::file_pages;
    return standby;
}

std::vector<purge_file_failure> purge_failure_details() { return failed_files; }
