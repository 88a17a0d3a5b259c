#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "common/aleatoire.hpp"
#include "common/arret.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {

struct option_numerique {
    const char* nom;
    std::uint32_t* reglage;
    std::uint32_t minimum;
    std::uint32_t maximum;
};

const option_numerique options_numeriques[] = {
    {"-block", &block_size, 1, 1024},
    {"-file", &file_size, 1, 102400},
    {"-file_number", &file_number, 1, 1000000},
    {"-thread", &nombre_thread, 1, 100},
    {"-cache", &cache, 0, 100},
};

bool est_option_aide(const char* argument) {
    for (const char* drapeau : {"-?", "--?", "/?", "-help", "--help"})
        if (std::strcmp(argument, drapeau) == 0) return true;
    return false;
}

const option_numerique* option_numerique_nommee(const char* argument) {
    for (const option_numerique& option : options_numeriques)
        if (comparer_sans_casse(argument, option.nom) == 0) return &option;
    return nullptr;
}

void lire_chemin(const char* valeur) {
    path = valeur;
    if (!est_un_repertoire(path)) gestion_des_erreurs(true, messages::chemin_invalide);
    if (path.back() != separateur_repertoire()) path += separateur_repertoire();
}

void lire_nombre(const option_numerique& option, const char* valeur) {
    *option.reglage = number(valeur);
    if (*option.reglage < option.minimum || *option.reglage > option.maximum)
        gestion_des_erreurs(true, formater(messages::hors_limites, option.nom, option.minimum,
                                           option.maximum));
}

}  // namespace

std::uint32_t number(const char* texte) {
    const double valeur = std::strtod(texte, nullptr);
    // [-2^63, 2^63) holds every double that truncates into a signed 64-bit integer;
    // NaN fails both comparisons.
    if (!(valeur >= -9223372036854775808.0 && valeur < 9223372036854775808.0)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(valeur)));
}

void gestion_des_arguments(int argc, char** argv) {
    if (argc > 1 && est_option_aide(argv[1])) {
        afficher_aide();
        std::exit(arret_demande.load() ? 1 : 0);
    }

    // The scan moves one position at a time, so a value is itself looked at as an option.
    for (int i = 1; i < argc; ++i) {
        const bool est_chemin = comparer_sans_casse(argv[i], "-path") == 0;
        const option_numerique* option = option_numerique_nommee(argv[i]);
        if (!est_chemin && option == nullptr) continue;
        if (i + 1 >= argc) gestion_des_erreurs(true, formater(messages::valeur_manquante, argv[i]));
        if (est_chemin)
            lire_chemin(argv[i + 1]);
        else
            lire_nombre(*option, argv[i + 1]);
    }

    block_nombre = file_size * octets_par_ko / block_size;

    if (path.empty()) gestion_des_erreurs(true, messages::chemin_manquant);

    if (cache != 0) {
        cache_chemin_fichier = path + "vellumcrate_cache";
        for (int lettre = 0; lettre < 3; ++lettre) cache_chemin_fichier += lettre_aleatoire();
    }
}
