// The open-files limit: every test file stays open until the flush pass, so a run is
// measured against the limit as far as it can be raised, before any file exists.
#include <gtest/gtest.h>

#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

processus_pilote executer_sous_limite(const repertoire_temporaire& dossier, const char* fichiers_par_worker,
                                      long souple, long dure) {
    processus_pilote processus;
    EXPECT_TRUE(lancer(processus,
                       {"-path", dossier.chemin, "-thread", "8", "-file_number", fichiers_par_worker, "-file", "1",
                        "-block", "1024", "-cache", "0"},
                       -1, souple, dure));
    terminer(processus);
    return processus;
}

}  // namespace

TEST(LimiteFichiersOuverts, ARunThatNeedsMoreOpenFilesThanAllowedIsRefusedFirst) {
    repertoire_temporaire dossier;
    const processus_pilote refus = executer_sous_limite(dossier, "8", 64, 64);
    EXPECT_EQ(refus.statut, 1) << refus.texte;
    EXPECT_NE(refus.texte.find("\nSorry, the run needs 64 open files (-thread x -file_number) but this system "
                               "leaves only 56 for them\n"),
              std::string::npos)
        << refus.texte;
    EXPECT_TRUE(dossier.contenu().empty());

    // Up to the limit, less what the program holds itself, the run goes through.
    const processus_pilote juste = executer_sous_limite(dossier, "7", 64, 64);
    EXPECT_EQ(juste.statut, 0) << juste.texte << juste.texte_erreurs;
    EXPECT_EQ(occurrences(juste.texte, "Mo/s          \n"), 4) << juste.texte;
    EXPECT_TRUE(dossier.contenu().empty());
}

TEST(LimiteFichiersOuverts, TheSoftLimitIsRaisedToTheHardOne) {
    repertoire_temporaire dossier;
    const processus_pilote releve = executer_sous_limite(dossier, "16", 64, 256);
    EXPECT_EQ(releve.statut, 0) << releve.texte << releve.texte_erreurs;
    EXPECT_EQ(occurrences(releve.texte, "Mo/s          \n"), 4) << releve.texte;
    EXPECT_TRUE(dossier.contenu().empty());
}
