// A small tmpfs that a test mounts on a directory of its own, unmounted when the test ends.
// Mounting needs root (or CAP_SYS_ADMIN); tests that need one skip with the reason otherwise.
#pragma once

#include <string>

struct montage_tmpfs {
    // Mounts a tmpfs of `taille` (as the mount option reads it, e.g. "8m") on `point`,
    // which must exist; read-only when `lecture_seule`.
    montage_tmpfs(const std::string& point, const std::string& taille, bool lecture_seule = false);
    ~montage_tmpfs();
    montage_tmpfs(const montage_tmpfs&) = delete;
    montage_tmpfs& operator=(const montage_tmpfs&) = delete;

    std::string point;
    bool monte = false;
    std::string raison;  // why the mount failed, for the test's skip message
};

// Fills the filesystem holding `repertoire` with one file, `nom`, until it refuses more;
// returns the bytes written.
long long remplir_le_disque(const std::string& repertoire, const std::string& nom);
