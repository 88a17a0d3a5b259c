#include <cstdlib>

#include "common/sortie.hpp"
#include "settings/settings.hpp"

void gestion_des_erreurs(bool fatal, const std::string& message) {
    ecrire_sur_sa_ligne(message);
    if (fatal) std::exit(1);
}
