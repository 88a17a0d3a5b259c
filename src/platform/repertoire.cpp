// The directory test, the same on both systems: mingw-w64 provides opendir too.
#include <dirent.h>

#include "platform/platform.hpp"

bool est_un_repertoire(const std::string& chemin) {
    DIR* repertoire = opendir(chemin.c_str());
    if (repertoire == nullptr) return false;
    closedir(repertoire);
    return true;
}
