// Complete runs through the real binary: what stays on screen, the figures, the eviction
// file while the run lasts, and nothing left behind.
#include <gtest/gtest.h>

#include <regex>

#include "support/executer.hpp"
#include "support/observateur.hpp"
#include "support/processus.hpp"
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
    EXPECT_EQ(occurrences(r.sortie, "Emptying the controller's cache ..."), 3) << r.sortie;

    std::vector<std::string> eviction;
    for (const auto& [nom, taille] : fichiers) {
        if (!std::regex_match(nom, std::regex("vellumcrate_cache[a-z]{3}"))) continue;
        eviction.push_back(nom);
        EXPECT_EQ(taille, 1073741824u) << nom;
    }
    EXPECT_EQ(eviction.size(), 1u);
    EXPECT_TRUE(dossier.contenu().empty());
}
