// The live progress line that worker 0 keeps during a phase.
#pragma once

#include <cstdint>

// Reset for every file of worker 0.
struct etat_progression {
    std::uint32_t points = 0;            // which dots text comes next, 0 to 4
    std::int64_t dernier_echantillon = 0;
};

void commencer_fichier(etat_progression& etat);

// Taken by worker 0 after every block. Stamps temps_fin; at most once per whole-second
// change, prints `libelle` and the rate of all the bytes moved so far by every worker.
void progress_step(etat_progression& etat, const char* libelle);
