// How a run stops early: a worker's fatal error or an interruption raises `arret_demande`;
// workers look at it before every block and return, and main cleans up after joining them.
#pragma once

#include <atomic>
#include <string>

extern std::atomic<bool> arret_demande;

// Records the first fatal error of the run (later ones are consequences) and raises the flag.
void signaler_erreur_fatale(const std::string& message);

// The recorded message, empty when the stop is an interruption.
std::string erreur_fatale_enregistree();

// Async-signal-safe: only stores the exit status and raises the flag.
void demander_interruption(int statut_de_sortie);

// Exit status asked for by an interruption, 0 when none arrived.
int statut_interruption();
