// The real binary as a child process that the test drives while it runs: read its output
// as it comes, signal it in a chosen phase, then collect how it ended.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct processus_pilote {
    pid_t pid = -1;
    int sortie = -1;          // read ends of the child's standard output and error
    int erreurs = -1;
    std::string texte;        // standard output read so far
    std::string texte_erreurs;
    int statut = -1;          // exit status, or 128 + signal number when killed
    long rss_max_kio = 0;     // the child's peak resident set size
    long long octets_ecrits = -1;  // bytes the child handed to write calls, files and output
    long long octets_lus = -1;     // bytes the child read
};

// How a child starts: TEMP in its environment (removed when null), and with `utilisateur`
// >= 0 the user and group id it takes before it runs, so that permissions apply to it; with
// `limite_souple` >= 0 it starts under that open-files limit, and `limite_dure` above it.
struct options_lancement {
    const char* temp = nullptr;
    int utilisateur = -1;
    long limite_souple = -1;
    long limite_dure = -1;
};

bool lancer(processus_pilote& processus, const std::string& programme, const std::vector<std::string>& arguments,
            const options_lancement& options);

// The same on the quorlane binary of this build.
bool lancer(processus_pilote& processus, const std::vector<std::string>& arguments, int utilisateur = -1,
            long limite_souple = -1, long limite_dure = -1);

// Reads the child's output until `condition` holds on all of standard output read so far;
// false when the child closes its output first or `delai_ms` passes.
bool attendre(processus_pilote& processus, const std::function<bool(const std::string&)>& condition,
              int delai_ms);

// Reads until `texte` has appeared in standard output.
bool attendre_texte(processus_pilote& processus, const std::string& texte, int delai_ms);

// Reads until the child has printed `nombre` result lines.
bool attendre_resultats(processus_pilote& processus, int nombre, int delai_ms);

// Reads everything left, reaps the child and fills `statut`, `rss_max_kio` and the bytes
// it wrote and read.
void terminer(processus_pilote& processus);

// How many times `motif` occurs in `texte`.
int occurrences(const std::string& texte, const std::string& motif);
