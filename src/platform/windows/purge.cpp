#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/stop.hpp"
#include "platform/file_io.hpp"
#include "platform/os_cache.hpp"
#include "platform/platform.hpp"

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

purge_failure purge_standby(HMODULE ntdll) {
    // Casting through void(*)() is how a FARPROC becomes the function's real type.
    const auto call = reinterpret_cast<nt_set_system_information>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtSetSystemInformation")));
    if (call == nullptr) return purge_failure::address;

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), token_rights, &token)) return purge_failure::token;
    purge_failure result = purge_failure::privilege;
    if (SetPrivilege(token, "SeProfileSingleProcessPrivilege", 1)) {
        ULONG command = purge_standby_list;
        result = call(memory_list_class, &command, sizeof command) < 0 ? purge_failure::ntstatus : purge_failure::none;
    }
    CloseHandle(token);
    return result;
}

// ntdll.dll is loaded at run time: the call is not in the import libraries.
purge_failure empty_standby_list() {
    const HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (ntdll == nullptr) return purge_failure::library;
    const purge_failure result = purge_standby(ntdll);
    FreeLibrary(ntdll);
    return result;
}

}  // namespace

// Opening each file uncached drops its cached data for any user, including the pages the
// system cache still maps, which emptying the standby list leaves in memory. The standby list
// is emptied too where the account holds the privilege. Without it, the drops have done the
// work: the missing privilege is reported only when a file's drop failed.
purge_failure purge_file_cache(const std::vector<std::string>& files) {
    bool all_dropped = true;
    for (const std::string& name : files) {
        if (stop_requested.load()) break;
        std::string reason;
        if (!drop_cached_pages(name, reason)) all_dropped = false;
    }
    const purge_failure standby = empty_standby_list();
    return standby == purge_failure::privilege && all_dropped ? purge_failure::none : standby;
}
