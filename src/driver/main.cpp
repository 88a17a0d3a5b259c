// Runs one benchmark: eviction file, write phase, flush pass, two read phases with the
// purge between them, then removal of every file the run created.
#include "cache/cache.hpp"
#include "common/arret.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "common/table_ecriture.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {
void afficher_resultat(const char* libelle, std::uint64_t figure) {
    ecrire(messages::resultat, libelle, static_cast<unsigned long long>(figure));
}
}

int main(int argc, char** argv) {
    initiation_des_variables();
    gestion_des_arguments(argc, argv);
    verifier_limites();
    preparer_table_ecriture();
    std::vector<thread_param> records(nombre_thread);
    installer_interruptions();

    if (cache != 0) {
        vidage_cache_ecriture();
        arreter_si_demande(records);
    }

    std::uint64_t figure = phase_ecriture(records);
    arreter_si_demande(records);
    afficher_resultat(messages::libelle_ecriture, figure);

    figure = passe_de_vidage(records);
    arreter_si_demande(records);
    afficher_resultat(messages::libelle_ecriture_sans_cache, figure);

    for (const bool with_cache : {true, false}) {
        if (!with_cache) nettoyage_ram_lecture(fichiers_du_run(records));
        if (cache != 0) {
            vidage_cache_lecture();
            arreter_si_demande(records);
        }
        figure = phase_lecture(records, with_cache);
        arreter_si_demande(records);
        afficher_resultat(with_cache ? messages::libelle_lecture : messages::libelle_lecture_sans_cache, figure);
    }

    supprimer_fichiers_du_run(records);
    arreter_si_demande(records);
    return 0;
}
