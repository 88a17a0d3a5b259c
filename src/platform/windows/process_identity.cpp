#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/process_identity.hpp"
#include "platform/windows/text.hpp"

namespace {

// The installation's own id, which every process of this machine reads alike.
std::string machine_guid() {
    wchar_t text[64];
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, text, &size) != ERROR_SUCCESS)
        return "";
    return utf8_text(text);
}

std::string creation_of(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return "";
    return std::to_string(static_cast<unsigned long long>(created.dwHighDateTime) << 32 | created.dwLowDateTime);
}

}  // namespace

process_stamp this_process_stamp() {
    process_stamp stamp;
    stamp.machine = machine_guid();
    stamp.process = GetCurrentProcessId();
    stamp.started = creation_of(GetCurrentProcess());
    return stamp;
}

process_liveness liveness_of(const process_stamp& stamp) {
    static const std::string machine = machine_guid();
    if (stamp.machine.empty() || stamp.machine != machine || stamp.process > MAXDWORD) return process_liveness::unknown;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(stamp.process));
    if (process == nullptr)
        return GetLastError() == ERROR_INVALID_PARAMETER ? process_liveness::gone : process_liveness::unknown;
    DWORD exit_code = 0;
    const std::string started = creation_of(process);
    const bool active = GetExitCodeProcess(process, &exit_code) && exit_code == STILL_ACTIVE;
    CloseHandle(process);
    if (started.empty()) return process_liveness::unknown;
    return active && started == stamp.started ? process_liveness::running : process_liveness::gone;
}
