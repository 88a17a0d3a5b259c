#include "common/aleatoire.hpp"

#include <cstdlib>
#include <cstring>

std::uint64_t graine_du_run = 0;

char lettre_aleatoire() { return static_cast<char>('a' + std::rand() % 26); }

generateur_octets generateur_pour(std::uint64_t numero) {
    return generateur_octets{graine_du_run ^ (numero + 1) * 0x9E3779B97F4A7C15ull};
}

namespace {
// splitmix64: eight good bytes per step for a few instructions.
std::uint64_t suivant(generateur_octets& g) {
    std::uint64_t z = (g.etat += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}

void remplir_aleatoire(generateur_octets& generateur, unsigned char* tampon, std::size_t taille) {
    std::size_t fait = 0;
    for (; fait + 8 <= taille; fait += 8) {
        const std::uint64_t mot = suivant(generateur);
        std::memcpy(tampon + fait, &mot, 8);
    }
    if (fait < taille) {
        const std::uint64_t mot = suivant(generateur);
        std::memcpy(tampon + fait, &mot, taille - fait);
    }
}
