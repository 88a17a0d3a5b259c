#include "settings/settings.hpp"

#include <cstdlib>
#include <ctime>

#include "common/aleatoire.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"

std::uint32_t block_size;
std::uint32_t file_size;
std::uint32_t block_nombre;
std::uint32_t file_number;
std::uint32_t nombre_thread;
std::uint32_t cache;
std::string path;
std::string cache_chemin_fichier;

void initiation_des_variables() {
    const std::time_t maintenant = std::time(nullptr);
    std::srand(static_cast<unsigned>(maintenant));
    graine_du_run = static_cast<std::uint64_t>(maintenant);

    ecrire(messages::banniere, QUORLANE_VERSION);

    block_size = 100;
    file_size = 1024;
    file_number = 1;
    nombre_thread = 1;
    cache = 1;
    path.clear();
    cache_chemin_fichier.clear();
    block_nombre = 0;
}
