#include <cstdlib>

#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void afficher_aide() {
    const char* temp = std::getenv("TEMP");
    ecrire(messages::aide, path.c_str(), block_size, file_size, file_number, nombre_thread, cache,
           temp != nullptr ? temp : messages::temp_absent, separateur_repertoire());
}
