#include <cerrno>
#include <cstdio>

#include "common/aleatoire.hpp"
#include "common/arret.hpp"
#include "common/debit.hpp"
#include "common/flux.hpp"
#include "common/messages.hpp"
#include "common/nom_fichier.hpp"
#include "common/sortie.hpp"
#include "common/table_ecriture.hpp"
#include "settings/settings.hpp"
#include "common/tampon.hpp"
#include "workers/progression.hpp"
#include "workers/workers.hpp"

namespace {

// Writes one whole file; false when the run must stop.
bool ecrire_fichier(const thread_param& record, std::uint32_t index, unsigned char* tampon,
                    generateur_octets& generateur) {
    const std::size_t octets = octets_par_bloc();
    remplir_aleatoire(generateur, tampon, octets);

    const std::string nom = nom_fichier_test(record.file_prefix, index);
    std::FILE* flux = ouvrir_flux(nom, "wb", messages::ouverture_ecriture);
    if (flux == nullptr) return false;
    flux_ecriture(record.thread_index, index) = flux;
    fichiers_crees[record.thread_index] = index + 1;

    etat_progression progression;
    if (record.thread_index == 0) commencer_fichier(progression);
    for (std::uint32_t bloc = 0; bloc < block_nombre; ++bloc) {
        if (arret_demande.load(std::memory_order_relaxed)) return false;
        if (std::fwrite(tampon, 1, octets, flux) != octets) {
            signaler_erreur_fatale(formater(messages::ecriture_courte, nom.c_str(), raison_errno(errno).c_str()));
            return false;
        }
        octets_deplaces.fetch_add(octets, std::memory_order_relaxed);
        if (record.thread_index == 0) progress_step(progression, messages::libelle_ecriture);
    }
    return true;
}

}  // namespace

void fonction_test_ecriture(thread_param* record) {
    const std::unique_ptr<unsigned char[]> tampon = nouveau_tampon(octets_par_bloc());
    if (!tampon) return;
    generateur_octets generateur = generateur_pour(record->thread_index);
    for (std::uint32_t index = 0; index < file_number; ++index) {
        if (arret_demande.load(std::memory_order_relaxed)) return;
        if (!ecrire_fichier(*record, index, tampon.get(), generateur)) return;
    }
}
