// The reader on real files, and the progress line it shares with the writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/arret.hpp"
#include "common/debit.hpp"
#include "common/horloge.hpp"
#include "common/messages.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/repertoire_temporaire.hpp"
#include "workers/progression.hpp"
#include "workers/workers.hpp"

namespace {

const std::string prefixe = "vellumcrate_abcdefgh";

void creer_fichier(const std::string& nom, std::size_t octets) {
    std::ofstream flux(nom, std::ios::binary);
    const std::string donnees(octets, 'q');
    flux.write(donnees.data(), static_cast<std::streamsize>(donnees.size()));
}

// Reads the worker's one file and returns the bytes the phase counted.
std::uint64_t lire_le_fichier_du_worker() {
    thread_param record{0, prefixe, true};
    octets_deplaces.store(0);
    temps_depart = maintenant_us();
    fonction_test_lecture(&record);
    return octets_deplaces.load();
}

// Runs the reader in a child process and prints the recorded error on standard error,
// where the death-test assertion looks.
[[noreturn]] void lire_et_signaler() {
    lire_le_fichier_du_worker();
    std::fputs(erreur_fatale_enregistree().c_str(), stderr);
    std::exit(arret_demande.load() ? 1 : 0);
}

}  // namespace

TEST(Lecture, CountsEveryByteReadIncludingAShortLastBlock) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-file", "1", "-block", "64", "-cache", "0"});
    const std::string nom = path + prefixe + "0";

    creer_fichier(nom, std::size_t{block_nombre} * octets_par_bloc());
    EXPECT_EQ(lire_le_fichier_du_worker(), 1048576u);
    EXPECT_FALSE(arret_demande.load());

    // Shortened by less than a block after writing: the figure counts what is really there.
    std::filesystem::resize_file(nom, 1048576 - 1000);
    EXPECT_EQ(lire_le_fichier_du_worker(), 1048576u - 1000u);
    EXPECT_FALSE(arret_demande.load());
}

TEST(LectureDeathTest, AMissingFileIsError33WithItsNameAndReason) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-file", "1", "-cache", "0"});
    EXPECT_EXIT(lire_et_signaler(), ::testing::ExitedWithCode(1),
                "^Error 33, Cannot open the file\n.*/vellumcrate_abcdefgh0 : No such file or directory$");
}

TEST(LectureDeathTest, AReadErrorIsToldApartFromTheEndOfTheFile) {
    // A directory opens as a stream on Linux but every read of it fails.
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-file", "1", "-cache", "0"});
    std::filesystem::create_directory(path + prefixe + "0");
    EXPECT_EXIT(lire_et_signaler(), ::testing::ExitedWithCode(1),
                "^Error 34, Cannot read the file .*/vellumcrate_abcdefgh0 : Is a directory$");
}

TEST(Progression, SamplesShowTheRateOfAllWorkersAndCycleTheDots) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-cache", "0"});
    etat_progression etat;
    commencer_fichier(etat);
    // The clock's whole second has not moved past the last sample's: no sample.
    etat.dernier_echantillon = maintenant_us() + 10000000;
    ::testing::internal::CaptureStdout();
    progress_step(etat, messages::libelle_lecture);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("Mo/s"), std::string::npos);

    // 10,500 KiB moved by all workers, just over 1 s after the phase started: 10 KiB/ms.
    octets_deplaces.store(10500u * 1024u);
    std::string sortie;
    for (int echantillon = 0; echantillon < 7; ++echantillon) {
        temps_depart = maintenant_us() - 1000000;
        etat.dernier_echantillon = maintenant_us() - 2000000;  // the last sample is 2 s old
        ::testing::internal::CaptureStdout();
        progress_step(etat, messages::libelle_lecture_sans_cache);
        sortie += ::testing::internal::GetCapturedStdout();
    }
    std::string attendu;
    for (const char* points : {" .        ", " ..       ", " ...      ", " ....     ", " .....    ", " .        ",
                               " ..       "})
        attendu += std::string("\rReading time without cache ram  : 10 Mo/s") + points;
    EXPECT_EQ(sortie, attendu);
}
