#include "support/repertoire_temporaire.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

repertoire_temporaire::repertoire_temporaire() : repertoire_temporaire(fs::temp_directory_path().string()) {}

repertoire_temporaire::repertoire_temporaire(const std::string& parent) {
    std::string modele = (fs::path(parent) / "quorlane_test_XXXXXX").string();
    if (mkdtemp(modele.data()) != nullptr) chemin = modele;
}

repertoire_temporaire::~repertoire_temporaire() {
    std::error_code ignore;
    if (!chemin.empty()) fs::remove_all(chemin, ignore);
}

std::vector<std::string> repertoire_temporaire::contenu() const {
    std::vector<std::string> noms;
    for (const auto& entree : fs::directory_iterator(chemin)) noms.push_back(entree.path().filename().string());
    std::sort(noms.begin(), noms.end());
    return noms;
}

long long taille_fichier(const std::string& nom) {
    std::error_code erreur;
    const auto taille = fs::file_size(nom, erreur);
    return erreur ? -1 : static_cast<long long>(taille);
}
