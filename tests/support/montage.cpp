#include "support/montage.hpp"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

montage_tmpfs::montage_tmpfs(const std::string& point_de_montage, const std::string& taille, bool lecture_seule)
    : point(point_de_montage) {
    if (geteuid() != 0) {
        raison = "mounting a tmpfs needs root";
        return;
    }
    const std::string options = "size=" + taille + ",mode=0755";
    if (mount("tmpfs", point.c_str(), "tmpfs", lecture_seule ? MS_RDONLY : 0, options.c_str()) != 0) {
        raison = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        return;
    }
    monte = true;
}

montage_tmpfs::~montage_tmpfs() {
    if (monte) umount2(point.c_str(), MNT_DETACH);
}

long long remplir_le_disque(const std::string& repertoire, const std::string& nom) {
    const int descripteur = open((repertoire + "/" + nom).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descripteur < 0) return -1;
    const std::vector<char> morceau(65536, 'x');
    long long total = 0;
    for (;;) {
        const ssize_t ecrits = write(descripteur, morceau.data(), morceau.size());
        if (ecrits <= 0) break;
        total += ecrits;
    }
    close(descripteur);
    return total;
}
