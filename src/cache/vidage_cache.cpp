#include <cerrno>
#include <cstdio>

#include "cache/cache.hpp"
#include "common/aleatoire.hpp"
#include "common/arret.hpp"
#include "common/flux.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "common/tampon.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

bool fichier_cache_cree = false;

namespace {

constexpr std::size_t octets_par_morceau = 1048576;
// The eviction file's bytes come from a stream of their own, apart from every worker's.
constexpr std::uint64_t generateur_cache = 1000;

void echec(const char* format, const std::string& raison) {
    signaler_erreur_fatale(formater(format, cache_chemin_fichier.c_str(), raison.c_str()));
}

}  // namespace

void vidage_cache_ecriture() {
    ecrire("%s", messages::vidage_controleur);
    const std::unique_ptr<unsigned char[]> morceau = nouveau_tampon(octets_par_morceau);
    if (!morceau) return;
    generateur_octets generateur = generateur_pour(generateur_cache);
    remplir_aleatoire(generateur, morceau.get(), octets_par_morceau);

    std::FILE* flux = ouvrir_flux(cache_chemin_fichier, "wb", messages::ouverture_cache);
    if (flux == nullptr) return;
    fichier_cache_cree = true;

    const std::uint64_t morceaux = std::uint64_t{cache} * 1024;
    for (std::uint64_t n = 0; n < morceaux && !arret_demande.load(); ++n) {
        if (std::fwrite(morceau.get(), 1, octets_par_morceau, flux) != octets_par_morceau) {
            echec(messages::ecriture_cache, raison_errno(errno));
            break;
        }
    }
    std::string raison;
    if (!arret_demande.load() && !forcer_vers_le_disque(flux, raison)) echec(messages::ecriture_cache, raison);
    if (std::fclose(flux) != 0 && !arret_demande.load()) echec(messages::ecriture_cache, raison_errno(errno));
}

void vidage_cache_lecture() {
    const std::unique_ptr<unsigned char[]> tampon = nouveau_tampon(octets_par_bloc());
    if (!tampon) return;
    ecrire("%s", messages::vidage_controleur);
    std::FILE* flux = ouvrir_flux(cache_chemin_fichier, "rb", messages::ouverture_cache);
    if (flux == nullptr) return;
    while (!arret_demande.load() && std::fread(tampon.get(), octets_par_bloc(), 1, flux) == 1) {
    }
    if (std::ferror(flux)) echec(messages::lecture_cache, raison_errno(errno));
    std::fclose(flux);
}
