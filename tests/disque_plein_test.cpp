// Disks without room: a run that can't fit is refused before any file exists, and a disk
// that fills during the run anyway ends it with the OS's reason, no figure and no file left.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "common/arret.hpp"
#include "common/table_ecriture.hpp"
#include "driver/driver.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/executer.hpp"
#include "support/montage.hpp"
#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

constexpr int delai_ms = 120000;

// A tmpfs of `taille` on a directory of the test's own.
struct petit_disque {
    explicit petit_disque(const std::string& taille)
        : point((std::filesystem::create_directory(dossier.chemin + "/disque"), dossier.chemin + "/disque")),
          montage(point, taille) {}
    repertoire_temporaire dossier;
    std::string point;
    montage_tmpfs montage;
};

}  // namespace

TEST(EspaceLibre, ARunThatCannotFitIsRefusedBeforeAnyFileExists) {
    petit_disque disque("8m");
    if (!disque.montage.monte) GTEST_SKIP() << disque.montage.raison;
    struct cas {
        std::vector<std::string> reglages;
        const char* besoin;
    };
    const cas refuses[] = {
        {{"-file", "16", "-cache", "0"}, "16"},
        // Whole blocks only: 2 MiB in 700 KiB blocks is 1400 KiB a file, 8400 KiB for six files.
        {{"-file", "2", "-block", "700", "-thread", "3", "-file_number", "2", "-cache", "0"}, "9"},
        // The eviction file counts: 1 GiB beside the 1 MiB test file.
        {{"-file", "1", "-cache", "1"}, "1025"},
    };
    for (const cas& c : refuses) {
        std::vector<std::string> arguments{"-path", disque.point};
        arguments.insert(arguments.end(), c.reglages.begin(), c.reglages.end());
        const resultat_execution r = quorlane(arguments);
        EXPECT_EQ(r.statut, 1) << r.sortie;
        EXPECT_NE(r.sortie.find(std::string("\nSorry, the run needs ") + c.besoin +
                                " MiB of free space but the disk has only 8 MiB free\n"),
                  std::string::npos)
            << r.sortie;
        EXPECT_EQ(r.sortie.find("Writing"), std::string::npos) << r.sortie;
        EXPECT_TRUE(std::filesystem::is_empty(disque.point));
    }

    // What fits runs to its end on the same disk.
    const resultat_execution r = quorlane({"-path", disque.point, "-file", "1", "-block", "1024", "-thread", "4", "-cache", "0"});
    EXPECT_EQ(r.statut, 0) << r.sortie;
    EXPECT_EQ(occurrences(r.sortie, "Mo/s          \n"), 4) << r.sortie;
    EXPECT_TRUE(std::filesystem::is_empty(disque.point));
}

// Another program fills the disk after the free-space check passed: the binary is held
// still at the start of its write phase while the rest of the disk is taken.
TEST(DisquePlein, DuringTheWritePhaseTheRunStopsWithTheReasonAndRemovesItsFiles) {
    petit_disque disque("64m");
    if (!disque.montage.monte) GTEST_SKIP() << disque.montage.raison;
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", disque.point, "-thread", "2", "-file", "16", "-block", "1", "-cache", "0"}));
    ASSERT_TRUE(attendre_texte(processus, "Writing time with cache ram ...", delai_ms)) << processus.texte;
    ASSERT_EQ(kill(processus.pid, SIGSTOP), 0);
    EXPECT_GT(remplir_le_disque(disque.point, "remplissage"), 0);
    ASSERT_EQ(kill(processus.pid, SIGCONT), 0);
    terminer(processus);

    EXPECT_EQ(processus.statut, 1) << processus.texte;
    // Both writers meet the full disk; the first error is the one reported.
    const std::regex erreur("\nError 23, Cannot write the file " + disque.point +
                            "/vellumcrate_[a-z]{8}0 : No space left on device\n$");
    EXPECT_TRUE(std::regex_search(processus.texte, erreur)) << processus.texte;
    EXPECT_EQ(occurrences(processus.texte, "Error"), 1) << processus.texte;
    EXPECT_EQ(processus.texte.find("Mo/s"), std::string::npos) << processus.texte;
    EXPECT_EQ(disque.dossier.contenu(), std::vector<std::string>{"disque"});
    std::vector<std::string> restes;
    for (const auto& entree : std::filesystem::directory_iterator(disque.point))
        restes.push_back(entree.path().filename().string());
    EXPECT_EQ(restes, std::vector<std::string>{"remplissage"});
}

// Without root: a writer whose file is the always-full device. Its first write
// fails, the writer reports it and creates no further file. In a
// child process, since the first fatal error of a process is the one kept.
namespace {
void ecrire_sur_un_disque_plein(std::vector<thread_param>& records) {
    fonction_test_ecriture(&records[0]);
    std::fprintf(stderr, "%s\nstopped: %d, files created: %u\n", erreur_fatale_enregistree().c_str(),
                 arret_demande.load() ? 1 : 0, fichiers_crees[0]);
    supprimer_fichiers_du_run(records);
    std::exit(1);
}
}  // namespace

TEST(DisquePleinDeathTest, AWriterStopsAtTheFirstShortWriteAndItsFileIsStillRemoved) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-file", "1", "-block", "1", "-file_number", "3", "-cache", "0"});
    preparer_table_ecriture();
    std::vector<thread_param> records(1);
    records[0].file_prefix = "vellumcrate_plein";
    ASSERT_EQ(symlink("/dev/full", (path + records[0].file_prefix + "0").c_str()), 0);

    EXPECT_EXIT(ecrire_sur_un_disque_plein(records), testing::ExitedWithCode(1),
                "^Error 23, Cannot write the file " + path +
                    "vellumcrate_plein0 : No space left on device\nstopped: 1, files created: 1\n$");
    EXPECT_TRUE(dossier.contenu().empty());
}
