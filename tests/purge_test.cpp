// The purge between the read phases must leave none of the run's files in the OS cache,
// checked page by page with mincore on real files of a disk-backed filesystem.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cache/cache.hpp"
#include "platform/platform.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

constexpr std::size_t octets_par_fichier = 4 * 1048576;

// tmpfs and ramfs pages are the files themselves: nothing can drop them, so the purge is
// only observable on a filesystem that a device backs.
bool sur_un_disque(const std::string& repertoire) {
    struct statfs etat{};
    if (statfs(repertoire.c_str(), &etat) != 0) return false;
    return etat.f_type != TMPFS_MAGIC && etat.f_type != RAMFS_MAGIC;
}

std::string parent_sur_un_disque() {
    for (const std::string& candidat : {std::filesystem::temp_directory_path().string(), std::string("/var/tmp")})
        if (sur_un_disque(candidat)) return candidat;
    return std::string();
}

// Written and forced to the device, as the flush pass leaves every file, then read back
// so that the cache surely holds it.
void ecrire_et_lire(const std::string& nom) {
    std::vector<unsigned char> contenu(octets_par_fichier);
    for (std::size_t k = 0; k < contenu.size(); ++k) contenu[k] = static_cast<unsigned char>(k * 131 + k / 4096);
    const int ecriture = open(nom.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(ecriture, 0) << nom;
    ASSERT_EQ(write(ecriture, contenu.data(), contenu.size()), static_cast<ssize_t>(contenu.size()));
    ASSERT_EQ(fsync(ecriture), 0);
    close(ecriture);

    const int lecture = open(nom.c_str(), O_RDONLY);
    ASSERT_GE(lecture, 0) << nom;
    std::size_t total = 0;
    for (ssize_t lus; (lus = read(lecture, contenu.data(), contenu.size())) > 0;) total += static_cast<std::size_t>(lus);
    close(lecture);
    ASSERT_EQ(total, octets_par_fichier);
}

// Pages of the file that the OS cache holds now. The mapping is never touched, so looking
// does not bring a page in.
std::size_t pages_en_memoire(const std::string& nom) {
    const int descripteur = open(nom.c_str(), O_RDONLY);
    if (descripteur < 0) return SIZE_MAX;
    void* vue = mmap(nullptr, octets_par_fichier, PROT_READ, MAP_SHARED, descripteur, 0);
    close(descripteur);
    if (vue == MAP_FAILED) return SIZE_MAX;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> residence((octets_par_fichier + page - 1) / page);
    std::size_t en_memoire = SIZE_MAX;
    if (mincore(vue, octets_par_fichier, residence.data()) == 0) {
        en_memoire = 0;
        for (const unsigned char etat : residence) en_memoire += etat & 1;
    }
    munmap(vue, octets_par_fichier);
    return en_memoire;
}

std::size_t pages_par_fichier() {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (octets_par_fichier + page - 1) / page;
}

class PurgeDuCache : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string parent = parent_sur_un_disque();
        if (parent.empty()) GTEST_SKIP() << "neither the temp directory nor /var/tmp is on a disk-backed filesystem";
        dossier = std::make_unique<repertoire_temporaire>(parent);
        ASSERT_FALSE(dossier->chemin.empty()) << "cannot create a directory under " << parent;
    }

    // Files that the purge is given, all written, read and found wholly in memory first.
    std::vector<std::string> fichiers_en_memoire(int nombre) {
        std::vector<std::string> noms;
        for (int n = 0; n < nombre; ++n) {
            noms.push_back(dossier->chemin + "/fichier_" + std::to_string(n));
            ecrire_et_lire(noms.back());
            EXPECT_EQ(pages_en_memoire(noms.back()), pages_par_fichier()) << noms.back();
        }
        return noms;
    }

    std::unique_ptr<repertoire_temporaire> dossier;
};

// A successful purge prints nothing, drops every page of the files it is given and leaves
// the other files alone.
TEST_F(PurgeDuCache, DropsEveryPageOfTheGivenFilesOnly) {
    const std::vector<std::string> noms = fichiers_en_memoire(3);
    ASSERT_FALSE(HasFailure());

    ::testing::internal::CaptureStdout();
    nettoyage_ram_lecture({noms[0], noms[1]});
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pages_en_memoire(noms[0]), 0u);
    EXPECT_EQ(pages_en_memoire(noms[1]), 0u);
    EXPECT_EQ(pages_en_memoire(noms[2]), pages_par_fichier());
}

// Files it cannot open are reported once, and the others are purged all the same.
TEST_F(PurgeDuCache, AFailureIsReportedOnceAndTheOtherFilesArePurged) {
    const std::vector<std::string> noms = fichiers_en_memoire(2);
    ASSERT_FALSE(HasFailure());
    const std::string absent = dossier->chemin + "/absent";
    const std::vector<std::string> donnes{absent, noms[0], absent + "_aussi", noms[1]};

    EXPECT_EQ(purger_cache_fichiers(donnes), echec_purge::ntstatus);
    ecrire_et_lire(noms[0]);
    ::testing::internal::CaptureStdout();
    nettoyage_ram_lecture(donnes);
    const std::string sortie = ::testing::internal::GetCapturedStdout();
    const std::string message = "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.\n";
    // Preceded by a line end when an earlier test of this process left the console line open.
    EXPECT_TRUE(sortie == message || sortie == "\n" + message) << sortie;
    for (const std::string& nom : noms) EXPECT_EQ(pages_en_memoire(nom), 0u) << nom;
}

}  // namespace
