// The operating-system services the benchmark needs, behind one interface.
// Only src/platform/ includes OS headers; posix/ and windows/ hold each system's bodies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Case-insensitive comparison of two option names; 0 when equal.
int comparer_sans_casse(const char* a, const char* b);

// The character every directory path is made to end with.
char separateur_repertoire();

// True when `chemin` names a directory that can be opened.
bool est_un_repertoire(const std::string& chemin);

// Hands the stream's own buffer to the OS, then forces everything the OS holds of the
// file to the device. On failure returns false and fills `raison` with the OS's reason.
bool forcer_vers_le_disque(std::FILE* flux, std::string& raison);

// Starts sending the file's data to the device without waiting for it, so that the later
// forcing of several files overlaps on the device instead of running one file at a time.
// The streams are unbuffered, so the OS already holds every byte written.
void amorcer_vidage(std::FILE* flux);

// Raises the per-process limit of open files (or streams) as far as the OS allows and
// returns the limit now in force.
std::uint64_t relever_limite_fichiers_ouverts();

// Free space available to this user on the filesystem holding `repertoire`.
bool espace_libre(const std::string& repertoire, std::uint64_t& octets);

// Outcome of purging the OS cache of file data; each failure has its own message.
enum class echec_purge { aucun, bibliotheque, adresse, jeton, privilege, ntstatus };

// Drops the OS's cached pages of `fichiers` (or, where the OS only offers a global purge,
// the whole standby cache), so that the next read of them comes from the device.
echec_purge purger_cache_fichiers(const std::vector<std::string>& fichiers);

// Routes Ctrl+C and the other termination requests to `demander_interruption`.
void installer_interruptions();
