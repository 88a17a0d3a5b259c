// Runs at the edges of scale: the most workers, and one worker with a great many files,
// all open at once until the flush pass. Each writes gigabytes, hence a label of their own.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

constexpr int delai_ms = 1800000;
// The smallest file the options allow: 1 MiB asked in 513 KiB blocks is one block.
constexpr long long octets_par_fichier = 513 * 1024;
constexpr long long kio_par_mio = 1024;

void executer_a_grande_echelle(const char* workers, const char* fichiers_par_worker, long long fichiers) {
    repertoire_temporaire dossier;
    const long long besoin = fichiers * octets_par_fichier;
    if (static_cast<long long>(std::filesystem::space(dossier.chemin).available) < besoin + (1LL << 30))
        GTEST_SKIP() << "the temp directory's filesystem has less than " << (besoin >> 20) + 1024 << " MiB free";

    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", dossier.chemin, "-thread", workers, "-file_number", fichiers_par_worker,
                                   "-file", "1", "-block", "513", "-cache", "0"}));
    ASSERT_TRUE(attendre_resultats(processus, 4, delai_ms)) << processus.texte;
    terminer(processus);
    EXPECT_EQ(processus.statut, 0) << processus.texte << processus.texte_erreurs;
    EXPECT_EQ(processus.texte.find("rreur"), std::string::npos) << processus.texte;
    EXPECT_TRUE(dossier.contenu().empty());

    // One block buffer per worker, and per open test file its stream record (unbuffered
    // streams hold no buffer), beside the program itself: nothing may grow with the blocks
    // moved. 1 worker x 10,000 files peaks near 8 MiB.
    const long long workers_kio = std::stoll(workers) * octets_par_fichier / 1024;
    const long long plafond_kio = workers_kio + fichiers + 32 * kio_par_mio;
    EXPECT_LT(processus.rss_max_kio, plafond_kio);
    testing::Test::RecordProperty("peak_rss_kib", std::to_string(processus.rss_max_kio));
}

}  // namespace

TEST(Echelle, AHundredWorkersOfFiftyFilesEach) { executer_a_grande_echelle("100", "50", 5000); }

TEST(Echelle, OneWorkerWithTenThousandFiles) { executer_a_grande_echelle("1", "10000", 10000); }
