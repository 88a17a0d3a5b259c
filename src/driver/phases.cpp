#include <cerrno>
#include <system_error>
#include <thread>

#include "common/arret.hpp"
#include "common/debit.hpp"
#include "common/horloge.hpp"
#include "common/messages.hpp"
#include "common/nom_fichier.hpp"
#include "common/sortie.hpp"
#include "common/table_ecriture.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {

// Runs `fonction` on every record in a thread of its own and waits for all of them.
// A worker that can't be started is reported on a line of its own (the next result line
// would otherwise overwrite it) and the phase goes on without it.
void executer_workers(std::vector<thread_param>& records, void (*fonction)(thread_param*)) {
    std::vector<std::thread> threads(records.size());
    for (std::size_t t = 0; t < records.size(); ++t) {
        try {
            threads[t] = std::thread(fonction, &records[t]);
        } catch (const std::system_error& erreur) {
            ecrire_sur_sa_ligne(formater(messages::creation_thread, erreur.code().value()));
        }
    }
    for (std::thread& thread : threads) {
        if (!thread.joinable()) continue;
        try {
            thread.join();
        } catch (const std::system_error& erreur) {
            ecrire_sur_sa_ligne(formater(messages::jointure_thread, erreur.code().value()));
            // A thread object still joinable when destroyed ends the process with the files on disk.
            thread.detach();
        }
    }
}

std::uint64_t figure_de_la_phase() {
    return debit_ko_par_ms(octets_deplaces.load() / octets_par_ko, elapsed_us(temps_depart, temps_fin));
}

}  // namespace

std::uint64_t phase_ecriture(std::vector<thread_param>& records) {
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        records[t].thread_index = t;
        records[t].file_prefix = nouveau_prefixe();
    }
    octets_deplaces.store(0);
    temps_depart = maintenant_us();
    ecrire("%s", messages::statut_ecriture);
    executer_workers(records, fonction_test_ecriture);
    temps_fin = maintenant_us();
    return figure_de_la_phase();
}

std::uint64_t passe_de_vidage(const std::vector<thread_param>& records) {
    ecrire("%s", messages::statut_vidage);
    for (std::FILE* flux : pointeur_du_fichier_ecriture)
        if (flux != nullptr) amorcer_vidage(flux);
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        for (std::uint32_t index = 0; index < file_number; ++index) {
            std::FILE*& flux = flux_ecriture(t, index);
            if (flux == nullptr) continue;
            if (arret_demande.load()) return 0;
            std::string raison;
            bool reussi = forcer_vers_le_disque(flux, raison);
            if (std::fclose(flux) != 0 && reussi) {
                reussi = false;
                raison = raison_errno(errno);
            }
            flux = nullptr;
            if (!reussi) {
                const std::string nom = nom_fichier_test(records[t].file_prefix, index);
                signaler_erreur_fatale(formater(messages::vidage_impossible, nom.c_str(), raison.c_str()));
                return 0;
            }
        }
    }
    // Still timed from the write phase's start: this figure covers writing and forcing together.
    temps_fin = maintenant_us();
    return figure_de_la_phase();
}

std::uint64_t phase_lecture(std::vector<thread_param>& records, bool with_cache) {
    for (thread_param& record : records) record.with_cache = with_cache;
    octets_deplaces.store(0);
    temps_depart = maintenant_us();
    executer_workers(records, fonction_test_lecture);
    temps_fin = maintenant_us();
    return figure_de_la_phase();
}
