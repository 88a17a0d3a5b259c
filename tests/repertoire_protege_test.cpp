// A directory the run may not write in: the first file it tries to create fails with the
// OS's reason, the status is 1 and nothing is left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "support/montage.hpp"
#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

constexpr int delai_ms = 120000;
constexpr int utilisateur_sans_droits = 65534;

void verifier_refus(processus_pilote& processus, const std::string& message) {
    terminer(processus);
    EXPECT_EQ(processus.statut, 1) << processus.texte;
    EXPECT_TRUE(std::regex_search(processus.texte, std::regex(message))) << processus.texte;
    EXPECT_EQ(processus.texte.find("Mo/s"), std::string::npos) << processus.texte;
}

}  // namespace

TEST(RepertoireProtege, AReadOnlyFilesystemIsReportedWithItsReason) {
    repertoire_temporaire dossier;
    const std::string point = dossier.chemin + "/lecture_seule";
    std::filesystem::create_directory(point);
    // Large enough for the free-space check to pass even with the eviction file.
    montage_tmpfs montage(point, "2g", true);
    if (!montage.monte) GTEST_SKIP() << montage.raison;

    processus_pilote sans_eviction;
    ASSERT_TRUE(lancer(sans_eviction, {"-path", point, "-file", "1", "-thread", "2", "-cache", "0"}));
    verifier_refus(sans_eviction,
                   "\nError 22, Cannot open the file, peraphs you need to change the limit of open file by process "
                   "\\(1024\\)\n" + point + "/vellumcrate_[a-z]{8}0 : Read-only file system\n$");

    processus_pilote avec_eviction;
    ASSERT_TRUE(lancer(avec_eviction, {"-path", point, "-file", "1", "-cache", "1"}));
    verifier_refus(avec_eviction, "\nError, Cannot open the file\n" + point + "/vellumcrate_cache[a-z]{3} : Read-only file system\n$");
    EXPECT_TRUE(std::filesystem::is_empty(point));
}

// Root writes anywhere, so as root the binary runs as an unprivileged user instead.
TEST(RepertoireProtege, ADirectoryWithoutWritePermissionIsReportedWithItsReason) {
    repertoire_temporaire dossier;
    const std::string protege = dossier.chemin + "/protege";
    std::filesystem::create_directory(protege);
    ASSERT_EQ(chmod(dossier.chemin.c_str(), 0755), 0);
    ASSERT_EQ(chmod(protege.c_str(), 0555), 0);

    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, {"-path", protege, "-file", "1", "-thread", "3", "-cache", "0"},
                       geteuid() == 0 ? utilisateur_sans_droits : -1));
    verifier_refus(processus, "\nError 22, Cannot open the file, peraphs you need to change the limit of open file "
                              "by process \\(1024\\)\n" + protege + "/vellumcrate_[a-z]{8}0 : Permission denied\n$");
    EXPECT_TRUE(std::filesystem::is_empty(protege));
    chmod(protege.c_str(), 0755);
}
