#include "common/messages.hpp"
#include "common/sortie.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {
// Descriptors the program itself may hold beside the test files: the standard streams and
// the eviction file, with room to spare.
constexpr std::uint64_t descripteurs_reserves = 8;
constexpr std::uint64_t octets_par_mio = 1048576;
}

void verifier_limites() {
    const std::uint64_t fichiers = std::uint64_t{nombre_thread} * file_number;
    const std::uint64_t limite = relever_limite_fichiers_ouverts();
    const std::uint64_t pour_les_tests = limite > descripteurs_reserves ? limite - descripteurs_reserves : 0;
    if (fichiers > pour_les_tests)
        gestion_des_erreurs(true, formater(messages::trop_de_fichiers_ouverts,
                                           static_cast<unsigned long long>(fichiers),
                                           static_cast<unsigned long long>(pour_les_tests)));

    const std::uint64_t besoin = fichiers * block_nombre * octets_par_bloc() +
                                 std::uint64_t{cache} * 1024 * octets_par_mio;
    std::uint64_t libre = 0;
    if (espace_libre(path, libre) && besoin > libre)
        gestion_des_erreurs(true, formater(messages::espace_insuffisant,
                                           static_cast<unsigned long long>((besoin + octets_par_mio - 1) / octets_par_mio),
                                           static_cast<unsigned long long>(libre / octets_par_mio)));
}
