#include "common/nom_fichier.hpp"

#include "common/aleatoire.hpp"
#include "settings/settings.hpp"

std::string nom_fichier_test(const std::string& file_prefix, std::uint32_t index) {
    return path + file_prefix + std::to_string(index);
}

std::string nouveau_prefixe() {
    std::string prefixe = "vellumcrate_";
    for (int lettre = 0; lettre < 8; ++lettre) prefixe += lettre_aleatoire();
    return prefixe;
}
