#include "common/flux.hpp"

#include <cerrno>

#include "common/arret.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"

std::FILE* ouvrir_flux(const std::string& nom, const char* mode, const char* message) {
    std::FILE* flux = std::fopen(nom.c_str(), mode);
    if (flux == nullptr) {
        signaler_erreur_fatale(message + formater(messages::detail_fichier, nom.c_str(), raison_errno(errno).c_str()));
        return nullptr;
    }
    std::setvbuf(flux, nullptr, _IONBF, 0);
    return flux;
}
