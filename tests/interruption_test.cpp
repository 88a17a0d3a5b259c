// SIGINT, SIGTERM and SIGHUP sent to the real binary in each phase: the workers stop at
// their next block, every file the run created is removed, one line says so and the exit
// status is 128 + the signal's number.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <linux/magic.h>

#include <string>
#include <vector>

#include "support/executer.hpp"
#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

const std::string ligne_interruption = "Interrupted: the run's files have been removed.\n";
const std::string statut_ecriture = "Writing time with cache ram ...";
const std::string statut_vidage = "Writing time without cache ram ...";
const std::string vidage_controleur = "Emptying the controller's cache ...";
const std::string fin_resultat = "Mo/s          \n";
constexpr int delai_ms = 120000;
constexpr int fichiers_du_run = 8 * 4;
constexpr long long mio = 1 << 20;
constexpr long long gio = 1 << 30;

// Counts, from inotify, what happened to the run's files in the directory while it ran.
struct surveillance {
    explicit surveillance(const std::string& chemin) {
        descripteur = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (descripteur >= 0) inotify_add_watch(descripteur, chemin.c_str(), IN_CREATE | IN_DELETE | IN_CLOSE_NOWRITE);
    }
    ~surveillance() {
        if (descripteur >= 0) close(descripteur);
    }
    // Reads the queued events; test files and the eviction file are counted apart.
    void relever() {
        alignas(inotify_event) char tampon[65536];
        for (;;) {
            const ssize_t lus = read(descripteur, tampon, sizeof tampon);
            if (lus <= 0) return;
            for (ssize_t position = 0; position < lus;) {
                const auto* evenement = reinterpret_cast<const inotify_event*>(tampon + position);
                position += static_cast<ssize_t>(sizeof(inotify_event) + evenement->len);
                const std::string nom = evenement->len > 0 ? evenement->name : "";
                if (nom.rfind("vellumcrate_", 0) != 0) continue;
                const bool eviction = nom.rfind("vellumcrate_cache", 0) == 0;
                if (evenement->mask & IN_CREATE) ++(eviction ? evictions_creees : tests_crees);
                if (evenement->mask & IN_DELETE) ++supprimes;
                if ((evenement->mask & IN_CLOSE_NOWRITE) && !eviction) ++tests_lus;
            }
        }
    }
    // Polls until `nombre` test files exist or `delai` milliseconds pass.
    bool attendre_creations(int nombre, int delai) {
        for (int attente = 0; attente < delai && tests_crees < nombre; ++attente) {
            relever();
            usleep(1000);
        }
        return tests_crees >= nombre;
    }
    int descripteur = -1;
    int tests_crees = 0;
    int evictions_creees = 0;
    int supprimes = 0;
    int tests_lus = 0;  // closes of test files opened for reading: read phases and purge
};

std::vector<std::string> reglages(const repertoire_temporaire& dossier, const char* file, const char* cache) {
    return {"-path", dossier.chemin, "-thread", "8", "-file_number", "4", "-file", file, "-block", "1", "-cache", cache};
}

// What every interrupted run must show: `resultats` result lines and no more, the one
// interruption line last, the status of the signal, and an empty directory.
void verifier_interruption(processus_pilote& processus, int signal, int resultats, const repertoire_temporaire& dossier,
                           surveillance& fichiers) {
    ASSERT_EQ(kill(processus.pid, signal), 0);
    terminer(processus);
    fichiers.relever();
    EXPECT_EQ(processus.statut, 128 + signal) << processus.texte << processus.texte_erreurs;
    EXPECT_EQ(occurrences(processus.texte, fin_resultat), resultats) << processus.texte;
    EXPECT_EQ(occurrences(processus.texte, ligne_interruption), 1) << processus.texte;
    const std::size_t fin = processus.texte.rfind(ligne_interruption);
    EXPECT_EQ(fin + ligne_interruption.size(), processus.texte.size()) << processus.texte;
    EXPECT_TRUE(fin == 0 || processus.texte[fin - 1] == '\n') << "the line must stand on its own: " << processus.texte;
    EXPECT_TRUE(dossier.contenu().empty());
    EXPECT_EQ(fichiers.supprimes, fichiers.tests_crees + fichiers.evictions_creees);
    EXPECT_EQ(processus.texte_erreurs, "");
    EXPECT_GE(processus.octets_ecrits, 0) << "the child's I/O counters could not be read";
    EXPECT_GE(processus.octets_lus, 0);
}

bool sur_tmpfs(const std::string& chemin) {
    struct statfs etat{};
    return statfs(chemin.c_str(), &etat) == 0 && etat.f_type == TMPFS_MAGIC;
}

class EcritureInterrompue : public testing::TestWithParam<int> {};

}  // namespace

// Each signal, sent once every writer is inside its first file: the writers stop there,
// so far fewer files are created than the run would write, and the files they were in are
// left short: a writer that finished its file before looking at the flag would have
// written every byte of each file it created.
TEST_P(EcritureInterrompue, WritersStopAtTheirNextBlockAndTheirFilesAreRemoved) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, reglages(dossier, "16", "0")));
    ASSERT_TRUE(attendre_texte(processus, statut_ecriture, delai_ms)) << processus.texte;
    ASSERT_TRUE(fichiers.attendre_creations(8, delai_ms));
    verifier_interruption(processus, GetParam(), 0, dossier, fichiers);
    EXPECT_LT(fichiers.tests_crees, fichiers_du_run);
    EXPECT_LT(processus.octets_ecrits, fichiers.tests_crees * 16 * mio);
}

INSTANTIATE_TEST_SUITE_P(Signaux, EcritureInterrompue, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) { return std::string(sigabbrev_np(info.param)); });

TEST(Interruption, DuringTheFlushPassEndsBeforeItsFigure) {
    repertoire_temporaire dossier;
    if (sur_tmpfs(dossier.chemin)) GTEST_SKIP() << "the temp directory is a tmpfs: its flush pass is too short to hit";
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, reglages(dossier, "8", "0")));
    ASSERT_TRUE(attendre_texte(processus, statut_vidage, delai_ms)) << processus.texte;
    verifier_interruption(processus, SIGTERM, 1, dossier, fichiers);
    EXPECT_EQ(fichiers.tests_crees, fichiers_du_run);
    EXPECT_EQ(fichiers.tests_lus, 0);
}

// No status line marks a read phase: the result line before it does. The readers stop
// inside the files they are reading: fewer bytes are read than the files opened hold.
TEST(Interruption, DuringTheFirstReadPhaseStopsTheReadersAtTheirNextBlock) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, reglages(dossier, "8", "0")));
    ASSERT_TRUE(attendre_resultats(processus, 2, delai_ms)) << processus.texte;
    verifier_interruption(processus, SIGHUP, 2, dossier, fichiers);
    EXPECT_LT(fichiers.tests_lus, fichiers_du_run);
    EXPECT_LT(processus.octets_lus, fichiers.tests_lus * 8 * mio);
}

TEST(Interruption, DuringTheSecondReadPhaseStopsTheReadersAtTheirNextBlock) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, reglages(dossier, "8", "0")));
    ASSERT_TRUE(attendre_resultats(processus, 3, delai_ms)) << processus.texte;
    verifier_interruption(processus, SIGINT, 3, dossier, fichiers);
    // The first read phase and the purge each open every file once; the purge reads nothing.
    EXPECT_GE(fichiers.tests_lus, 2 * fichiers_du_run);
    EXPECT_LT(fichiers.tests_lus, 3 * fichiers_du_run);
    EXPECT_LT(processus.octets_lus, (fichiers.tests_lus - fichiers_du_run) * 8 * mio);
}

// The eviction file is 1 GiB at the smallest -cache: the signal lands while it is being
// written, long before it is complete.
TEST(Interruption, WhileTheEvictionFileIsWrittenRemovesIt) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", dossier.chemin, "-file", "1", "-cache", "1"}));
    ASSERT_TRUE(attendre_texte(processus, vidage_controleur, delai_ms)) << processus.texte;
    verifier_interruption(processus, SIGINT, 0, dossier, fichiers);
    EXPECT_EQ(fichiers.evictions_creees, 1);
    EXPECT_EQ(fichiers.tests_crees, 0);
    EXPECT_LT(processus.octets_ecrits, gio);
}

TEST(Interruption, WhileTheEvictionFileIsReadBackStopsBeforeTheReadPhase) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", dossier.chemin, "-file", "1", "-cache", "1"}));
    // The first notice precedes the write phase, the second the first read phase.
    ASSERT_TRUE(attendre(
        processus, [](const std::string& lu) { return occurrences(lu, vidage_controleur) >= 2; }, delai_ms))
        << processus.texte;
    verifier_interruption(processus, SIGTERM, 2, dossier, fichiers);
    EXPECT_EQ(fichiers.evictions_creees, 1);
    EXPECT_EQ(fichiers.tests_lus, 0);
    EXPECT_LT(processus.octets_lus, gio);
}

// An output that takes nothing (a full disk behind a redirection): no figure reached anyone,
// so the run fails, and its files go with it.
TEST(Interruption, AStandardOutputThatCannotBeWrittenFailsTheRunAndRemovesItsFiles) {
    repertoire_temporaire dossier;
    const resultat_execution r =
        executer("/bin/sh", {"-c", "exec \"$0\" \"$@\" >/dev/full", QUORLANE_BINARY, "-path", dossier.chemin,
                             "-thread", "2", "-file_number", "2", "-file", "1", "-cache", "0"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_TRUE(dossier.contenu().empty());
}

// The reader of a pipe going away (as `quorlane ... | head` does) is a request to stop too:
// the next line the run prints ends it, and its files go with it.
TEST(Interruption, AClosedStandardOutputEndsTheRunAndRemovesItsFiles) {
    repertoire_temporaire dossier;
    surveillance fichiers(dossier.chemin);
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", dossier.chemin, "-thread", "2", "-file_number", "2", "-file", "4",
                                   "-block", "1", "-cache", "0"}));
    ASSERT_TRUE(attendre_texte(processus, statut_ecriture, delai_ms)) << processus.texte;
    close(processus.sortie);
    processus.sortie = -1;
    terminer(processus);
    fichiers.relever();
    EXPECT_EQ(processus.statut, 128 + SIGPIPE);
    EXPECT_TRUE(dossier.contenu().empty());
    // The first line that fails may be a progress sample, before every file exists.
    EXPECT_GT(fichiers.tests_crees, 0);
    EXPECT_EQ(fichiers.supprimes, fichiers.tests_crees);
    EXPECT_EQ(fichiers.tests_lus, 0);
}
