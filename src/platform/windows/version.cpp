#include "platform/windows/version.hpp"

// GetVersionEx answers what the program's manifest claims to support; ntdll's own call gives
// the real version.
bool real_windows_version(OSVERSIONINFOW& version) {
    using rtl_get_version = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return false;
    const auto call =
        reinterpret_cast<rtl_get_version>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    version = OSVERSIONINFOW{};
    version.dwOSVersionInfoSize = sizeof version;
    return call != nullptr && call(&version) == 0;
}
