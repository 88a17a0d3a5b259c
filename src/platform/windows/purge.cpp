#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/platform.hpp"

namespace {

constexpr DWORD droits_du_jeton = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
static_assert(droits_du_jeton == 0x28);
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);
// SystemMemoryListInformation, and its command that empties the standby list.
constexpr ULONG classe_listes_memoire = 80;
constexpr ULONG purge_liste_standby = 4;

using nt_set_system_information = LONG(NTAPI*)(ULONG classe, PVOID tampon, ULONG longueur);

bool SetPrivilege(HANDLE token, const char* privilege_name, int enable) {
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, privilege_name, &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable != 0 ? SE_PRIVILEGE_ENABLED : 0;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr)) return false;
    // The call also succeeds when the account does not hold the privilege; only this says so.
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

echec_purge purger_standby(HMODULE ntdll) {
    // Casting through void(*)() is how a FARPROC becomes the function's real type.
    const auto appel = reinterpret_cast<nt_set_system_information>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtSetSystemInformation")));
    if (appel == nullptr) return echec_purge::adresse;

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), droits_du_jeton, &token)) return echec_purge::jeton;
    echec_purge resultat = echec_purge::privilege;
    if (SetPrivilege(token, "SeProfileSingleProcessPrivilege", 1)) {
        ULONG commande = purge_liste_standby;
        resultat = appel(classe_listes_memoire, &commande, sizeof commande) < 0 ? echec_purge::ntstatus
                                                                               : echec_purge::aucun;
    }
    CloseHandle(token);
    return resultat;
}

}  // namespace

// Windows only offers to empty its whole standby list, which holds the run's files too, so
// the list of files is not needed. ntdll.dll is loaded at run time: the call is not in the
// import libraries.
echec_purge purger_cache_fichiers(const std::vector<std::string>&) {
    const HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (ntdll == nullptr) return echec_purge::bibliotheque;
    const echec_purge resultat = purger_standby(ntdll);
    FreeLibrary(ntdll);
    return resultat;
}
