// Runs the real quorlane binary and captures what it prints and how it ends.
#pragma once

#include <string>
#include <vector>

struct resultat_execution {
    std::string sortie;   // everything written to standard output
    std::string erreurs;  // everything written to standard error
    int statut = -1;      // exit status, or 128 + signal number when killed
};

// Runs `programme` with `arguments` (argument 0 is added) in an environment made of the
// current one, with TEMP removed when `temp` is null and set to it otherwise.
resultat_execution executer(const std::string& programme, const std::vector<std::string>& arguments,
                            const char* temp = nullptr);

// The same on the quorlane binary of this build.
resultat_execution quorlane(const std::vector<std::string>& arguments, const char* temp = nullptr);

// The lines of `texte`, each without its line feed; a last line without one is kept.
std::vector<std::string> lignes(const std::string& texte);

// What stays on screen of a console line: the text after its last carriage return.
std::string visible(const std::string& ligne);
