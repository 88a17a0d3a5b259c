#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.hpp"

// Linux has no standby list to purge as a whole without privilege; instead each file's
// cached pages are dropped. They are clean by now (every file was forced to the device),
// so the kernel can let them go, for any user, without touching other processes' cache.
echec_purge purger_cache_fichiers(const std::vector<std::string>& fichiers) {
    bool echec = false;
    for (const std::string& nom : fichiers) {
        const int descripteur = open(nom.c_str(), O_RDONLY);
        if (descripteur < 0) {
            echec = true;
            continue;
        }
        if (posix_fadvise(descripteur, 0, 0, POSIX_FADV_DONTNEED) != 0) echec = true;
        close(descripteur);
    }
    return echec ? echec_purge::ntstatus : echec_purge::aucun;
}
