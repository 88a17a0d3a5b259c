// quorlane.exe end to end under Wine: the help, refused options and complete runs, with the
// files watched from Linux. The prefix comes from the ctest fixture that creates it once.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/executer.hpp"
#include "support/observateur.hpp"
#include "support/processus.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

const std::string banniere = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\r\n\r\n";

const char* const libelles[] = {"Writing time with cache ram     : ", "Writing time without cache ram  : ",
                                "Reading time with cache ram     : ", "Reading time without cache ram  : "};

const char* const messages_purge[] = {
    "Sorry, I can't access to ntdll.dll for clear de RAM Cache.",
    "Sorry, I can't get NtSetSystemInformation address for clear de RAM Cache.",
    "Sorry, I can't get OpenProcessToken for clear de RAM Cache.",
    "Sorry, I can't get SetPrivilege Single for clear de RAM Cache.",
    "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.",
};

// The first of `noms` found as an executable in a directory of PATH, empty when none is.
std::string sur_le_path(std::initializer_list<const char*> noms) {
    const char* path = std::getenv("PATH");
    for (const char* nom : noms) {
        std::istringstream repertoires(path != nullptr ? path : "");
        for (std::string repertoire; std::getline(repertoires, repertoire, ':');) {
            const std::string candidat = (repertoire.empty() ? "." : repertoire) + "/" + nom;
            if (access(candidat.c_str(), X_OK) == 0) return candidat;
        }
    }
    return "";
}

// The same directory as quorlane.exe sees it: Wine maps / to drive Z:.
std::string chemin_windows(const std::string& chemin) {
    std::string resultat = "Z:" + chemin;
    std::replace(resultat.begin(), resultat.end(), '/', '\\');
    return resultat;
}

// The console's text mode ends every line with CR LF; false when a line feed comes alone.
bool fins_de_ligne_windows(const std::string& texte) {
    for (std::size_t k = texte.find('\n'); k != std::string::npos; k = texte.find('\n', k + 1))
        if (k == 0 || texte[k - 1] != '\r') return false;
    return true;
}

std::string sans_retours_windows(const std::string& texte) {
    return std::regex_replace(texte, std::regex("\r\n"), "\n");
}

class SousWine : public ::testing::Test {
protected:
    void SetUp() override {
        wine = sur_le_path({"wine64", "wine"});
        if (wine.empty()) GTEST_SKIP() << "wine64 or wine not on PATH";
        if (!std::filesystem::exists(QUORLANE_WINDOWS_EXE)) {
            if (sur_le_path({"x86_64-w64-mingw32-g++-posix"}).empty())
                GTEST_SKIP() << "x86_64-w64-mingw32-g++-posix not on PATH, so quorlane.exe is not built";
            FAIL() << QUORLANE_WINDOWS_EXE << " is missing: `make test` builds it";
        }
        setenv("WINEPREFIX", QUORLANE_WINEPREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
    }

    // Wine's standard error is left out: the wineserver that a call starts inherits it and
    // holds it open for seconds after the program has ended.
    resultat_execution sous_wine(const std::vector<std::string>& arguments) {
        std::vector<std::string> ligne{"-c", "exec \"$0\" \"$@\" 2>/dev/null", wine};
        ligne.insert(ligne.end(), arguments.begin(), arguments.end());
        return executer("/bin/sh", ligne);
    }

    resultat_execution quorlane_exe(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), QUORLANE_WINDOWS_EXE);
        return sous_wine(arguments);
    }

    // A run refused before it starts: the banner, the message on its own line, status 1.
    void attendre_refus(const std::vector<std::string>& arguments, const std::string& message) {
        const resultat_execution r = quorlane_exe(arguments);
        EXPECT_EQ(r.sortie, banniere + message + "\r\n") << ::testing::PrintToString(arguments);
        EXPECT_EQ(r.statut, 1) << ::testing::PrintToString(arguments);
    }

    // A complete run of 2 threads x 2 files of 1 MiB: the four results in order, at most one
    // purge message between the third and the fourth, every file seen and then removed.
    void verifier_run_complet(const char* cache) {
        repertoire_temporaire dossier;
        ASSERT_FALSE(dossier.chemin.empty());
        observateur vues(dossier.chemin);
        const resultat_execution r = quorlane_exe({"-path", chemin_windows(dossier.chemin), "-thread", "2",
                                                   "-file_number", "2", "-file", "1", "-cache", cache});
        const auto fichiers = vues.arreter();

        EXPECT_EQ(r.statut, 0) << r.sortie;
        EXPECT_TRUE(fins_de_ligne_windows(r.sortie)) << r.sortie;
        std::vector<std::string> ecran;
        for (const std::string& ligne : lignes(sans_retours_windows(r.sortie))) ecran.push_back(visible(ligne));
        ASSERT_GE(ecran.size(), 6u) << r.sortie;
        EXPECT_EQ(ecran[0], "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark");
        EXPECT_EQ(ecran[1], "");

        std::vector<std::string> resultats(ecran.begin() + 2, ecran.end());
        if (resultats.size() == 5) {
            const std::string purge = resultats[3];
            EXPECT_NE(std::find(std::begin(messages_purge), std::end(messages_purge), purge), std::end(messages_purge))
                << "unexpected line between the third and fourth results: [" << purge << "]";
            std::cout << "purge under Wine: " << purge << "\n";
            resultats.erase(resultats.begin() + 3);
        } else {
            std::cout << "purge under Wine: no message\n";
        }
        ASSERT_EQ(resultats.size(), 4u) << r.sortie;
        for (std::size_t k = 0; k < 4; ++k) {
            // KiB per ms, truncated: a few MiB forced to a busy disk can give 0.
            EXPECT_TRUE(std::regex_match(resultats[k], std::regex(std::string(libelles[k]) + "[0-9]+ Mo/s {10}")))
                << "result " << k << ": [" << resultats[k] << "]";
        }

        std::size_t fichiers_de_test = 0;
        std::size_t fichiers_eviction = 0;
        for (const auto& [nom, taille] : fichiers) {
            if (std::regex_match(nom, std::regex("vellumcrate_[a-z]{8}[01]"))) {
                ++fichiers_de_test;
                EXPECT_EQ(taille, 10u * 102400u) << nom;
            } else if (std::regex_match(nom, std::regex("vellumcrate_cache[a-z]{3}"))) {
                ++fichiers_eviction;
                EXPECT_EQ(taille, 1073741824u) << nom;
            } else {
                ADD_FAILURE() << "unexpected file " << nom;
            }
        }
        EXPECT_EQ(fichiers_de_test, 4u);
        const bool eviction = std::string(cache) != "0";
        EXPECT_EQ(fichiers_eviction, eviction ? 1u : 0u);
        // Before the write and before each of the two reads.
        EXPECT_EQ(occurrences(r.sortie, "Emptying the controller's cache ..."), eviction ? 3 : 0);
        EXPECT_TRUE(dossier.contenu().empty());
    }

    std::string wine;
};

}  // namespace

TEST_F(SousWine, HelpIsTheLinuxTextWithBackslashCrLfAndWineTemp) {
    const resultat_execution echo = sous_wine({"cmd", "/c", "echo %TEMP%"});
    ASSERT_EQ(echo.statut, 0);
    const std::string temp = echo.sortie.substr(0, echo.sortie.find_first_of("\r\n"));
    ASSERT_FALSE(temp.empty());

    for (const char* drapeau : {"-?", "/?"}) {
        const resultat_execution r = quorlane_exe({drapeau});
        EXPECT_EQ(r.sortie, banniere +
                                "GENERAL OPTIONS\r\n"
                                "-?            This help\r\n"
                                "-path         Path that will be tested           Defaut: \r\n"
                                "-block        Size of one block (in Ko)          Defaut: 100\r\n"
                                "-file         Size total per file (in Mo)        Defaut: 1024\r\n"
                                "-file_number  Number of files to write           Defaut: 1\r\n"
                                "-thread       Number of thread                   Defaut: 1\r\n"
                                "-cache        Size of controller's cache (in Go) Defaut: 1\r\n"
                                "              0 to disable the cache flush process\r\n"
                                "\r\n"
                                "Sample : Quorlane.exe -path " +
                                temp + "\\ -block 100 -file 1024 -thread 1 -cache 1\r\n")
            << drapeau;
        EXPECT_EQ(r.statut, 0) << drapeau;
    }
}

TEST_F(SousWine, RefusedOptionsPrintTheirMessageCreateNothingAndEndWithOne) {
    repertoire_temporaire dossier;
    ASSERT_FALSE(dossier.chemin.empty());
    const std::string repertoire = chemin_windows(dossier.chemin);
    attendre_refus({"-path", repertoire, "-THREAD", "0"}, "Sorry, the argument -thread must be between 1 and 100");
    attendre_refus({"-path", repertoire + "\\absent"}, "Sorry, the argument -path must be an existing pointeur_repertoire");

    const std::string fichier = dossier.chemin + "/fichier";
    std::FILE* flux = std::fopen(fichier.c_str(), "w");
    ASSERT_NE(flux, nullptr);
    std::fclose(flux);
    attendre_refus({"-path", chemin_windows(fichier)}, "Sorry, the argument -path must be an existing pointeur_repertoire");
    std::filesystem::remove(fichier);

    // The C runtime allows 512 streams until the program raises its cap.
    const resultat_execution r = quorlane_exe({"-path", repertoire, "-thread", "100", "-file_number", "100"});
    std::smatch m;
    EXPECT_TRUE(std::regex_match(r.sortie, m, std::regex(banniere + "Sorry, the run needs 10000 open files "
                                                                    "\\(-thread x -file_number\\) but this system "
                                                                    "leaves only ([0-9]+) for them\r\n")))
        << r.sortie;
    if (!m.empty()) {
        EXPECT_GE(std::stoull(m[1]), 2040u);
    }
    EXPECT_EQ(r.statut, 1);
    EXPECT_TRUE(dossier.contenu().empty());
}

TEST_F(SousWine, CompleteRunWithoutEvictionReachesTheFourthResultAndLeavesNothing) {
    verifier_run_complet("0");
}

TEST_F(SousWine, CompleteRunWithEvictionReachesTheFourthResultAndLeavesNothing) {
    verifier_run_complet("1");
}

TEST_F(SousWine, CtrlCRemovesTheRunsFilesSaysSoAndEndsWith130) {
    repertoire_temporaire dossier;
    ASSERT_FALSE(dossier.chemin.empty());
    // The eviction file takes seconds to write and force: time enough for the event to land
    // in the middle of the run. Wine runs the program in the very process it was started as.
    processus_pilote processus;
    ASSERT_TRUE(lancer(processus, "/bin/sh",
                       {"-c", "exec \"$0\" \"$@\" 2>/dev/null", wine, QUORLANE_WINDOWS_EXE, "-path",
                        chemin_windows(dossier.chemin), "-thread", "2", "-file_number", "2", "-file", "1", "-cache", "1"},
                       {}));
    bool cree = false;
    for (int attente = 0; attente < 6000 && !cree; ++attente) {
        cree = !dossier.contenu().empty();
        if (!cree) usleep(10000);
    }
    // Wine turns SIGINT into the console's Ctrl+C event.
    kill(processus.pid, SIGINT);
    terminer(processus);
    const std::string& texte = processus.texte;

    EXPECT_TRUE(cree) << "no file appeared";
    EXPECT_EQ(processus.statut, 130) << texte;
    EXPECT_TRUE(texte.size() >= 49 &&
                texte.compare(texte.size() - 49, 49, "Interrupted: the run's files have been removed.\r\n") == 0)
        << texte;
    EXPECT_EQ(texte.find("Reading time without cache ram  : "), std::string::npos) << texte;
    EXPECT_TRUE(dossier.contenu().empty());
}
