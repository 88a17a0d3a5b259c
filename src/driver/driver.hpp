// The benchmark's phases and the end of a run, as main sequences them.
#pragma once

#include <cstdint>
#include <vector>

#include "workers/workers.hpp"

// Refuses, before any file exists, a run that needs more open files or more free space
// than the system offers; raises the open-files limit on the way.
void verifier_limites();

// Each phase returns its figure in KiB/ms; the phase's time and bytes are in temps_depart,
// temps_fin and octets_deplaces.
std::uint64_t phase_ecriture(std::vector<thread_param>& records);
std::uint64_t passe_de_vidage(const std::vector<thread_param>& records);
std::uint64_t phase_lecture(std::vector<thread_param>& records, bool with_cache);

// Every file of the run that the OS may have cached: the test files and the eviction file.
std::vector<std::string> fichiers_du_run(const std::vector<thread_param>& records);

// Closes and removes every file the run created, reporting each removal that fails;
// false when one did.
bool supprimer_fichiers_du_run(const std::vector<thread_param>& records);

// When a fatal error or an interruption stopped the workers: reports it, removes the run's
// files and ends the process. Returns otherwise.
void arreter_si_demande(const std::vector<thread_param>& records);
