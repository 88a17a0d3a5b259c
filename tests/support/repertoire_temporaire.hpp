// A directory of the test's own under the system temp directory, removed with everything
// in it when the test ends.
#pragma once

#include <string>
#include <vector>

struct repertoire_temporaire {
    repertoire_temporaire();
    // The same under `parent`, for a test that needs a given filesystem.
    explicit repertoire_temporaire(const std::string& parent);
    ~repertoire_temporaire();
    repertoire_temporaire(const repertoire_temporaire&) = delete;
    repertoire_temporaire& operator=(const repertoire_temporaire&) = delete;

    // The directory's path, without a trailing separator.
    std::string chemin;

    // Names of the entries in it, sorted.
    std::vector<std::string> contenu() const;
};

// The size of a file in bytes, -1 when it can't be read.
long long taille_fichier(const std::string& nom);
