// The run's settings: written by initiation_des_variables and gestion_des_arguments before
// any worker exists, read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

extern std::uint32_t block_size;    // KiB per block
extern std::uint32_t file_size;     // MiB asked per file
extern std::uint32_t block_nombre;  // blocks written per file
extern std::uint32_t file_number;   // files per worker
extern std::uint32_t nombre_thread; // workers
extern std::uint32_t cache;         // controller cache in GiB, 0 = no eviction
extern std::string path;            // directory under test, ends with the separator
extern std::string cache_chemin_fichier;

inline constexpr std::uint32_t octets_par_ko = 1024;

// Bytes moved by one read or write call on a test file.
inline std::size_t octets_par_bloc() { return std::size_t{block_size} * octets_par_ko; }

// Seeds the generators, prints the banner and sets the defaults.
void initiation_des_variables();

// Prints the help or validates every option; returns only when all settings are valid.
void gestion_des_arguments(int argc, char** argv);

// Prints `message` on a line of its own; ends the process with status 1 if `fatal`.
void gestion_des_erreurs(bool fatal, const std::string& message);

// The text of a number as the options read it: strtod, truncated toward zero to signed
// 64 bits, low 32 bits kept; no number, NaN, infinities and out-of-range values give 0.
std::uint32_t number(const char* texte);

void afficher_aide();
