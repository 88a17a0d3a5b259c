#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/platform.hpp"

int comparer_sans_casse(const char* a, const char* b) { return strcasecmp(a, b); }

char separateur_repertoire() { return '/'; }

bool forcer_vers_le_disque(std::FILE* flux, std::string& raison) {
    if (std::fflush(flux) != 0 || fsync(fileno(flux)) != 0) {
        raison = std::generic_category().message(errno);
        return false;
    }
    return true;
}

void amorcer_vidage(std::FILE* flux) {
#ifdef __linux__
    sync_file_range(fileno(flux), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)flux;
#endif
}

std::uint64_t relever_limite_fichiers_ouverts() {
    rlimit limite{};
    if (getrlimit(RLIMIT_NOFILE, &limite) != 0) return 0;
    if (limite.rlim_cur < limite.rlim_max) {
        rlimit relevee = limite;
        relevee.rlim_cur = limite.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &relevee) == 0) limite = relevee;
    }
    return limite.rlim_cur == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(limite.rlim_cur);
}

bool espace_libre(const std::string& repertoire, std::uint64_t& octets) {
    struct statvfs etat{};
    if (statvfs(repertoire.c_str(), &etat) != 0) return false;
    octets = static_cast<std::uint64_t>(etat.f_bavail) * etat.f_frsize;
    return true;
}
