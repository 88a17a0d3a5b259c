#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <string.h>

#include <cerrno>
#include <system_error>

#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "platform/platform.hpp"

namespace {
// The system's own text for an error code, without the line end FormatMessage appends.
std::string texte_erreur_windows(DWORD code) {
    char texte[512];
    DWORD longueur = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    code, 0, texte, sizeof texte, nullptr);
    while (longueur > 0 && (texte[longueur - 1] == '\r' || texte[longueur - 1] == '\n')) --longueur;
    if (longueur == 0) return formater(messages::erreur_windows, static_cast<unsigned long>(code));
    return std::string(texte, longueur);
}
}  // namespace

int comparer_sans_casse(const char* a, const char* b) { return _stricmp(a, b); }

char separateur_repertoire() { return '\\'; }

bool forcer_vers_le_disque(std::FILE* flux, std::string& raison) {
    if (std::fflush(flux) != 0) {
        raison = std::generic_category().message(errno);
        return false;
    }
    const intptr_t poignee = _get_osfhandle(_fileno(flux));
    if (poignee == -1) {
        raison = std::generic_category().message(errno);
        return false;
    }
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(poignee))) {
        raison = texte_erreur_windows(GetLastError());
        return false;
    }
    return true;
}

// Windows has no call that starts a file's write-back without waiting for it; each file is
// forced in turn by forcer_vers_le_disque.
void amorcer_vidage(std::FILE*) {}

std::uint64_t relever_limite_fichiers_ouverts() {
    // The C runtime caps its streams on its own; how far it lets the cap be raised depends
    // on its version, so the larger value is tried first.
    for (const int demande : {8192, 2048})
        if (_setmaxstdio(demande) == demande) break;
    const int limite = _getmaxstdio();
    return limite > 0 ? static_cast<std::uint64_t>(limite) : 0;
}

bool espace_libre(const std::string& repertoire, std::uint64_t& octets) {
    ULARGE_INTEGER disponibles{};
    if (!GetDiskFreeSpaceExA(repertoire.c_str(), &disponibles, nullptr, nullptr)) return false;
    octets = disponibles.QuadPart;
    return true;
}
