// Command lines nobody should type, through the real binary: each one either runs to its
// end or stops with its message and status 1. Never a crash, never a file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/executer.hpp"
#include "support/repertoire_temporaire.hpp"

namespace fs = std::filesystem;

namespace {

struct cas_hostile {
    std::vector<std::string> arguments;
    std::optional<std::string> message;  // the refusal expected; none when the run completes
};

const std::string plage_thread = "Sorry, the argument -thread must be between 1 and 100\n";
const std::string plage_block = "Sorry, the argument -block must be between 1 and 1024\n";
const std::string chemin_invalide = "Sorry, the argument -path must be an existing pointeur_repertoire\n";

int fichiers_du_run_restants(const std::string& dossier) {
    int restants = 0;
    for (const auto& entree : fs::recursive_directory_iterator(dossier))
        if (entree.path().filename().string().rfind("vellumcrate_", 0) == 0) ++restants;
    return restants;
}

// `arguments` go to the binary as they are: each case sets -path itself.
void verifier(const cas_hostile& cas, const repertoire_temporaire& dossier) {
    std::string trace;
    for (const std::string& argument : cas.arguments) trace.append("[").append(argument, 0, 60).append("] ");
    SCOPED_TRACE(trace);
    const resultat_execution r = quorlane(cas.arguments);
    ASSERT_LT(r.statut, 128) << "crashed: " << r.sortie << r.erreurs;
    if (cas.message) {
        EXPECT_EQ(r.statut, 1) << r.sortie;
        EXPECT_NE(r.sortie.find(*cas.message), std::string::npos) << r.sortie;
        EXPECT_EQ(r.sortie.find("Mo/s"), std::string::npos) << r.sortie;
    } else {
        EXPECT_EQ(r.statut, 0) << r.sortie;
        EXPECT_EQ(r.sortie.find("Sorry"), std::string::npos) << r.sortie;
        EXPECT_EQ(r.sortie.find("GENERAL OPTIONS"), std::string::npos) << r.sortie;
        const std::vector<std::string> ecran = lignes(r.sortie);
        ASSERT_GE(ecran.size(), 4u) << r.sortie;
        for (std::size_t k = ecran.size() - 4; k < ecran.size(); ++k)
            EXPECT_NE(visible(ecran[k]).find(" Mo/s          "), std::string::npos) << r.sortie;
    }
    EXPECT_EQ(r.erreurs, "");
    EXPECT_EQ(fichiers_du_run_restants(dossier.chemin), 0);
}

// The run's own small settings first, then what is under test: every case that runs is quick.
cas_hostile apres_reglages(const repertoire_temporaire& dossier, std::vector<std::string> suite,
                           std::optional<std::string> message) {
    std::vector<std::string> arguments{"-path", dossier.chemin, "-file", "1", "-cache", "0"};
    arguments.insert(arguments.end(), suite.begin(), suite.end());
    return {arguments, message};
}

}  // namespace

TEST(EntreesHostiles, NumbersOfEveryShape) {
    repertoire_temporaire dossier;
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> table = {
        {{"-thread", ""}, plage_thread},
        {{"-cache", ""}, std::nullopt},  // no number is 0, and -cache accepts 0
        {{"-thread", "-1"}, plage_thread},
        {{"-file_number", "-0"}, "Sorry, the argument -file_number must be between 1 and 1000000\n"},
        {{"-block", "-1024"}, plage_block},
        {{"-block", "99999999999999999999999"}, plage_block},
        {{"-block", "9223372036854775807"}, plage_block},
        {{"-block", "-9223372036854775808"}, plage_block},
        {{"-block", "4294968320"}, std::nullopt},  // 2^32 + 1024 keeps 1024
        {{"-thread", "4294967297"}, std::nullopt},
        {{"-cache", "4294967296"}, std::nullopt},
        {{"-thread", "0x10"}, std::nullopt},
        {{"-thread", "0x"}, plage_thread},
        {{"-block", "0x1p10"}, std::nullopt},
        {{"-block", "1e3"}, std::nullopt},
        {{"-block", "1e-3"}, plage_block},
        {{"-thread", "1.5e1"}, std::nullopt},
        {{"-thread", "1e999"}, plage_thread},
        {{"-thread", "nan"}, plage_thread},
        {{"-thread", "NAN(123)"}, plage_thread},
        {{"-thread", "inf"}, plage_thread},
        {{"-thread", "-infinity"}, plage_thread},
        {{"-thread", "  +3"}, std::nullopt},
        {{"-thread", "3abc"}, std::nullopt},
        {{"-thread", "abc"}, plage_thread},
        {{"-thread", "\xff\xfe\x80"}, plage_thread},
        {{"-thread", std::string(10000, '9')}, plage_thread},
        {{"-thread", std::string(10000, '0') + "2"}, std::nullopt},
        {{"-block", "1024.9"}, std::nullopt},
        {{"-block", "1025"}, plage_block},
        {{"-file", "102401"}, "Sorry, the argument -file must be between 1 and 102400\n"},
        {{"-file_number", "1000001"}, "Sorry, the argument -file_number must be between 1 and 1000000\n"},
        {{"-cache", "101"}, "Sorry, the argument -cache must be between 0 and 100\n"},
        {{"-thread", "100", "-file_number", "1000000"},
         "Sorry, the run needs 100000000 open files (-thread x -file_number) but this system leaves only "},
        {{"-thread", "100", "-file", "102400"}, "Sorry, the run needs 10240000 MiB of free space but the disk has only "},
    };
    for (const auto& [suite, message] : table) verifier(apres_reglages(dossier, suite, message), dossier);
}

TEST(EntreesHostiles, OptionsOutOfPlaceMissingOrRepeated) {
    repertoire_temporaire dossier;
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> table = {
        {{"-thread"}, "Sorry, the argument -thread must be followed by a value\n"},
        {{"-cache"}, "Sorry, the argument -cache must be followed by a value\n"},
        {{"-path"}, "Sorry, the argument -path must be followed by a value\n"},
        {{"-thread", "-block", "2"}, plage_thread},  // the next option is taken as the value
        {{"-thread", "2", "-thread", "3", "-thread", "2"}, std::nullopt},
        {{"-THREAD", "2", "-Block", "512"}, std::nullopt},
        {{"-?"}, std::nullopt},
        {{"--help"}, std::nullopt},
        {{"-help", "-thread", "2"}, std::nullopt},
        {{"", "", ""}, std::nullopt},
        {{"-threads", "1000"}, std::nullopt},  // not an option: ignored
        {{"\xff\xfe", "\xc3\xa9", "-thread", "2"}, std::nullopt},
        {{std::string(10000, 'x')}, std::nullopt},
        {{"-path", std::string(10000, 'x')}, chemin_invalide},
    };
    for (const auto& [suite, message] : table) verifier(apres_reglages(dossier, suite, message), dossier);

    // No -path at all: the settings are read but there is nowhere to write.
    verifier({{"-file", "1", "-cache", "0", "-thread", "2"},
              "Sorry, you must choose the directory to test with the argument -path. For help, type Quorlane --help\n"},
             dossier);
}

TEST(EntreesHostiles, PathsThatAreNotUsableDirectories) {
    repertoire_temporaire dossier;
    const std::string fichier = dossier.chemin + "/un_fichier";
    std::ofstream(fichier) << "not a directory";
    const std::string bizarre = dossier.chemin + "/per%n%s%d cent \xc3\xa9t\xc3\xa9\xff";
    fs::create_directory(bizarre);
    // Short enough for the directory to open, too long for a file name inside it.
    constexpr std::size_t longueur_profonde = 4080;
    std::string profond = dossier.chemin;
    while (profond.size() + 201 < longueur_profonde) profond.append("/").append(200, 'p');
    profond.append("/").append(longueur_profonde - profond.size() - 1, 'q');
    fs::create_directories(profond);

    const std::vector<std::string> petit = {"-file", "1", "-cache", "0"};
    const std::vector<cas_hostile> table = {
        {{"-path", ""}, chemin_invalide},
        {{"-path", fichier}, chemin_invalide},
        {{"-path", fichier + "/"}, chemin_invalide},
        {{"-path", dossier.chemin + "/absent"}, chemin_invalide},
        {{"-path", dossier.chemin + "/" + std::string(10000, 'a')}, chemin_invalide},
        {{"-path", dossier.chemin + std::string(10000, '/')}, chemin_invalide},
        {{"-path", dossier.chemin + "////"}, std::nullopt},
        {{"-path", bizarre}, std::nullopt},
        {{"-path", dossier.chemin, "-path", fichier}, chemin_invalide},
        {{"-path", fichier, "-path", dossier.chemin}, chemin_invalide},
        {{"-path", profond}, " : File name too long\n"},
    };
    for (cas_hostile cas : table) {
        cas.arguments.insert(cas.arguments.end(), petit.begin(), petit.end());
        verifier(cas, dossier);
    }
}
