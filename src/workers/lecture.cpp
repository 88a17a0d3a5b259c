#include <cerrno>
#include <cstdio>

#include "common/arret.hpp"
#include "common/debit.hpp"
#include "common/flux.hpp"
#include "common/messages.hpp"
#include "common/nom_fichier.hpp"
#include "common/sortie.hpp"
#include "settings/settings.hpp"
#include "common/tampon.hpp"
#include "workers/progression.hpp"
#include "workers/workers.hpp"

namespace {

// Reads one file to its end, counting every byte read; false when the run must stop.
bool lire_fichier(const thread_param& record, std::uint32_t index, unsigned char* tampon) {
    const std::size_t octets = octets_par_bloc();
    const std::string nom = nom_fichier_test(record.file_prefix, index);
    std::FILE* flux = ouvrir_flux(nom, "rb", messages::ouverture_lecture);
    if (flux == nullptr) return false;

    const char* libelle = record.with_cache ? messages::libelle_lecture : messages::libelle_lecture_sans_cache;
    etat_progression progression;
    if (record.thread_index == 0) commencer_fichier(progression);
    bool complet = true;
    while (!arret_demande.load(std::memory_order_relaxed)) {
        const std::size_t lus = std::fread(tampon, 1, octets, flux);
        octets_deplaces.fetch_add(lus, std::memory_order_relaxed);
        if (lus < octets) {
            if (std::ferror(flux)) {
                signaler_erreur_fatale(formater(messages::lecture_impossible, nom.c_str(), raison_errno(errno).c_str()));
                complet = false;
            }
            break;
        }
        if (record.thread_index == 0) progress_step(progression, libelle);
    }
    std::fclose(flux);
    return complet && !arret_demande.load(std::memory_order_relaxed);
}

}  // namespace

void fonction_test_lecture(thread_param* record) {
    const std::unique_ptr<unsigned char[]> tampon = nouveau_tampon(octets_par_bloc());
    if (!tampon) return;
    for (std::uint32_t index = 0; index < file_number; ++index)
        if (!lire_fichier(*record, index, tampon.get())) return;
}
