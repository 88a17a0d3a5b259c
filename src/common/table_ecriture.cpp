#include "common/table_ecriture.hpp"

#include "settings/settings.hpp"

std::vector<std::FILE*> pointeur_du_fichier_ecriture;
std::vector<std::uint32_t> fichiers_crees;

void preparer_table_ecriture() {
    pointeur_du_fichier_ecriture.assign(std::size_t{nombre_thread} * file_number, nullptr);
    fichiers_crees.assign(nombre_thread, 0);
}

std::FILE*& flux_ecriture(std::uint32_t thread_index, std::uint32_t index) {
    return pointeur_du_fichier_ecriture[std::size_t{thread_index} * file_number + index];
}
