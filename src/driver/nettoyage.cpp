#include <cstdio>
#include <cstdlib>

#include "cache/cache.hpp"
#include "common/arret.hpp"
#include "common/messages.hpp"
#include "common/nom_fichier.hpp"
#include "common/sortie.hpp"
#include "common/table_ecriture.hpp"
#include "driver/driver.hpp"
#include "settings/settings.hpp"

std::vector<std::string> fichiers_du_run(const std::vector<thread_param>& records) {
    std::vector<std::string> fichiers;
    if (fichier_cache_cree) fichiers.push_back(cache_chemin_fichier);
    for (std::uint32_t t = 0; t < records.size(); ++t)
        for (std::uint32_t index = 0; index < fichiers_crees[t]; ++index)
            fichiers.push_back(nom_fichier_test(records[t].file_prefix, index));
    return fichiers;
}

bool supprimer_fichiers_du_run(const std::vector<thread_param>& records) {
    bool tout_supprime = true;
    // A file still open can't be removed everywhere; whatever the flush pass did not reach
    // is closed first.
    for (std::FILE*& flux : pointeur_du_fichier_ecriture) {
        if (flux != nullptr) std::fclose(flux);
        flux = nullptr;
    }
    if (fichier_cache_cree) {
        if (std::remove(cache_chemin_fichier.c_str()) != 0) {
            ecrire("%s", messages::suppression_cache);
            tout_supprime = false;
        }
        fichier_cache_cree = false;
    }
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        for (std::uint32_t index = 0; index < fichiers_crees[t]; ++index) {
            const std::string nom = nom_fichier_test(records[t].file_prefix, index);
            if (std::remove(nom.c_str()) != 0) {
                ecrire(messages::suppression_test, nom.c_str(), index);
                tout_supprime = false;
            }
        }
        fichiers_crees[t] = 0;
    }
    return tout_supprime;
}

void arreter_si_demande(const std::vector<thread_param>& records) {
    if (!arret_demande.load()) return;
    const std::string erreur = erreur_fatale_enregistree();
    if (!erreur.empty()) gestion_des_erreurs(false, erreur);
    const bool tout_supprime = supprimer_fichiers_du_run(records);
    const int statut = statut_interruption();
    if (statut != 0) ecrire_sur_sa_ligne(tout_supprime ? messages::interruption : messages::interruption_incomplete);
    std::exit(statut != 0 ? statut : 1);
}
