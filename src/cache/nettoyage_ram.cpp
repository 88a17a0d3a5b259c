#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void nettoyage_ram_lecture(const std::vector<std::string>& fichiers) {
    switch (purger_cache_fichiers(fichiers)) {
        case echec_purge::aucun: return;
        case echec_purge::bibliotheque: gestion_des_erreurs(false, messages::purge_bibliotheque); return;
        case echec_purge::adresse: gestion_des_erreurs(false, messages::purge_adresse); return;
        case echec_purge::jeton: gestion_des_erreurs(false, messages::purge_jeton); return;
        case echec_purge::privilege: gestion_des_erreurs(false, messages::purge_privilege); return;
        case echec_purge::ntstatus: gestion_des_erreurs(false, messages::purge_ntstatus); return;
    }
}
