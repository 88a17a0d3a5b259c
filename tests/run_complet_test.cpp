// Complete runs through the real binary: what stays on screen, the figures, the eviction
// file while the run lasts, and nothing left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/executer.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

const char* const libelles[] = {"Writing time with cache ram     : ", "Writing time without cache ram  : ",
                                "Reading time with cache ram     : ", "Reading time without cache ram  : "};

// The four figures of a run, checked against the layout of the result lines.
std::vector<unsigned long long> figures(const resultat_execution& r) {
    const std::vector<std::string> ecran = lignes(r.sortie);
    std::vector<unsigned long long> valeurs;
    if (ecran.size() < 4) return valeurs;
    for (std::size_t k = 0; k < 4; ++k) {
        const std::string ligne = visible(ecran[ecran.size() - 4 + k]);
        std::smatch m;
        const std::regex forme(std::string(libelles[k]) + "([0-9]+) Mo/s {10}");
        EXPECT_TRUE(std::regex_match(ligne, m, forme)) << "line " << k << ": [" << ligne << "]";
        if (!m.empty()) valeurs.push_back(std::stoull(m[1]));
    }
    return valeurs;
}

// Watches the directory while the binary runs and keeps the largest size seen of each file.
struct observateur {
    explicit observateur(const std::string& chemin)
        : fil([this, chemin] {
              while (!fin.load()) {
                  std::error_code erreur;
                  for (const auto& entree : std::filesystem::directory_iterator(chemin, erreur)) {
                      const auto taille = std::filesystem::file_size(entree.path(), erreur);
                      auto& maximum = vus[entree.path().filename().string()];
                      if (!erreur && taille > maximum) maximum = taille;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          }) {}
    std::map<std::string, std::uintmax_t> arreter() {
        fin.store(true);
        fil.join();
        return vus;
    }
    std::atomic<bool> fin{false};
    std::map<std::string, std::uintmax_t> vus;
    std::thread fil;
};

}  // namespace

TEST(RunComplet, ScreenEndsWithTheFourResultsAndTheDirectoryIsLeftEmpty) {
    repertoire_temporaire dossier;
    observateur vues(dossier.chemin);
    const resultat_execution r =
        quorlane({"-path", dossier.chemin, "-thread", "3", "-file_number", "2", "-file", "4", "-cache", "0"});
    const auto fichiers = vues.arreter();

    EXPECT_EQ(r.statut, 0) << r.sortie;
    EXPECT_EQ(r.erreurs, "");
    const std::vector<std::string> ecran = lignes(r.sortie);
    ASSERT_EQ(ecran.size(), 6u) << r.sortie;
    EXPECT_EQ(ecran[0], "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark");
    EXPECT_EQ(ecran[1], "");
    const auto valeurs = figures(r);
    ASSERT_EQ(valeurs.size(), 4u);
    // Same bytes over a longer time: forcing to the device can only lower the write figure.
    EXPECT_LE(valeurs[1], valeurs[0]);
    // Reading 24 MiB back from memory takes far less than the 24 s that would truncate it to 0.
    EXPECT_GT(valeurs[2], 0u);

    // No eviction with -cache 0: its text never appears and no such file ever exists.
    EXPECT_EQ(r.sortie.find("Emptying the controller's cache ..."), std::string::npos);
    for (const auto& [nom, taille] : fichiers) EXPECT_EQ(nom.find("cache"), std::string::npos) << nom;
    EXPECT_TRUE(dossier.contenu().empty());
}

TEST(RunComplet, EvictionFileOfOneGibExistsWhileTheRunLastsAndIsRemoved) {
    repertoire_temporaire dossier;
    observateur vues(dossier.chemin);
    const resultat_execution r = quorlane({"-path", dossier.chemin, "-file", "1", "-cache", "1"});
    const auto fichiers = vues.arreter();

    EXPECT_EQ(r.statut, 0) << r.sortie;
    EXPECT_EQ(figures(r).size(), 4u);
    std::size_t occurrences = 0;
    for (std::size_t k = r.sortie.find("Emptying the controller's cache ..."); k != std::string::npos;
         k = r.sortie.find("Emptying the controller's cache ...", k + 1))
        ++occurrences;
    EXPECT_EQ(occurrences, 3u) << r.sortie;

    std::vector<std::string> eviction;
    for (const auto& [nom, taille] : fichiers) {
        if (!std::regex_match(nom, std::regex("vellumcrate_cache[a-z]{3}"))) continue;
        eviction.push_back(nom);
        EXPECT_EQ(taille, 1073741824u) << nom;
    }
    EXPECT_EQ(eviction.size(), 1u);
    EXPECT_TRUE(dossier.contenu().empty());
}
