#include "workers/progression.hpp"

#include "common/debit.hpp"
#include "common/horloge.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "settings/settings.hpp"

namespace {
constexpr std::int64_t us_par_seconde = 1000000;
}

void commencer_fichier(etat_progression& etat) {
    etat.points = 0;
    etat.dernier_echantillon = maintenant_us();
}

void progress_step(etat_progression& etat, const char* libelle) {
    temps_fin = maintenant_us();
    if (temps_fin / us_par_seconde - etat.dernier_echantillon / us_par_seconde <= 0) return;

    etat.dernier_echantillon = temps_fin;
    const std::uint64_t kib = octets_deplaces.load(std::memory_order_relaxed) / octets_par_ko;
    ecrire(messages::progression, libelle,
           static_cast<unsigned long long>(debit_ko_par_ms(kib, elapsed_us(temps_depart, temps_fin))),
           messages::points[etat.points]);
    etat.points = etat.points >= 4 ? 0 : etat.points + 1;
}
