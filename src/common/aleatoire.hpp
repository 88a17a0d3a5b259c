// Random letters for file names (the C library's generator, main thread only) and fast
// per-thread generators for the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>

// The run's seed, taken from the clock at start; every byte generator derives from it.
extern std::uint64_t graine_du_run;

char lettre_aleatoire();

// A byte generator owned by one thread, so no thread waits on another for random data.
struct generateur_octets {
    std::uint64_t etat;
};

// The generator of stream `numero` (a worker's index, or a number of its own for the
// eviction file): distinct streams from the one seed.
generateur_octets generateur_pour(std::uint64_t numero);

void remplir_aleatoire(generateur_octets& generateur, unsigned char* tampon, std::size_t taille);
