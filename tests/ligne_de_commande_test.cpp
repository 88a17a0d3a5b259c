// The command-line contract, through the real binary: help, every error and its status,
// and how option names and values are read.
#include <gtest/gtest.h>

#include <cstdint>

#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/executer.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

const std::string banniere = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\n\n";

std::string aide(const std::string& temp) {
    return banniere +
           "GENERAL OPTIONS\n"
           "-?            This help\n"
           "-path         Path that will be tested           Defaut: \n"
           "-block        Size of one block (in Ko)          Defaut: 100\n"
           "-file         Size total per file (in Mo)        Defaut: 1024\n"
           "-file_number  Number of files to write           Defaut: 1\n"
           "-thread       Number of thread                   Defaut: 1\n"
           "-cache        Size of controller's cache (in Go) Defaut: 1\n"
           "              0 to disable the cache flush process\n"
           "\n"
           "Sample : Quorlane.exe -path " + temp + "/ -block 100 -file 1024 -thread 1 -cache 1\n";
}

// A run that ends on a settings error prints the banner and the message on its own line.
void attendre_erreur(const std::vector<std::string>& arguments, const std::string& message) {
    const resultat_execution r = quorlane(arguments);
    EXPECT_EQ(r.sortie, banniere + message + "\n") << "arguments: " << ::testing::PrintToString(arguments);
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "");
}

}  // namespace

TEST(LigneDeCommande, EveryHelpFlagAsFirstArgumentPrintsTheHelpAndEndsWithZero) {
    for (const char* drapeau : {"-?", "--?", "/?", "-help", "--help"}) {
        const resultat_execution r = quorlane({drapeau, "-thread", "0"}, "/var/tmp");
        EXPECT_EQ(r.sortie, aide("/var/tmp")) << drapeau;
        EXPECT_EQ(r.statut, 0) << drapeau;
    }
}

TEST(LigneDeCommande, HelpWithoutTempShowsNullAsText) {
    const resultat_execution r = quorlane({"-?"});
    EXPECT_EQ(r.sortie, aide("(null)"));
    EXPECT_EQ(r.statut, 0);
}

TEST(LigneDeCommande, HelpFlagsAreCaseSensitiveAndOnlyCountAsFirstArgument) {
    const std::string sans_chemin =
        "Sorry, you must choose the directory to test with the argument -path. For help, type Quorlane --help\n";
    attendre_erreur({}, sans_chemin);
    attendre_erreur({"-HELP"}, sans_chemin);
    attendre_erreur({"-Help", "-?"}, sans_chemin);
    repertoire_temporaire dossier;
    attendre_erreur({"-path", dossier.chemin, "-?", "-thread", "0"},
                    "Sorry, the argument -thread must be between 1 and 100");
}

// Out-of-range values and values of every shape are in the hostile-input suite; these are
// the rules of the scan itself, with the exact screen of each refusal.
TEST(LigneDeCommande, TheScanNamesTheFirstBadOptionInItsOwnSpelling) {
    repertoire_temporaire dossier;
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cas[] = {
        {{"-thread", "0"}, "Sorry, the argument -thread must be between 1 and 100"},
        {{"-block", "0"}, "Sorry, the argument -block must be between 1 and 1024"},
        {{"-file", "0"}, "Sorry, the argument -file must be between 1 and 102400"},
        {{"-file_number", "0"}, "Sorry, the argument -file_number must be between 1 and 1000000"},
        // Names are compared whole: "-file_number" is not "-file", and the reverse.
        {{"-file", "1", "-file_number", "0"}, "Sorry, the argument -file_number must be between 1 and 1000000"},
        {{"-file_number", "1", "-file", "0"}, "Sorry, the argument -file must be between 1 and 102400"},
        // Names ignore case; a range message names the option in its own spelling, a missing
        // value the option as typed.
        {{"-THREAD", "0"}, "Sorry, the argument -thread must be between 1 and 100"},
        {{"-CACHE"}, "Sorry, the argument -CACHE must be followed by a value"},
        // The first bad option in the scan is the one reported.
        {{"-cache", "500", "-thread", "0"}, "Sorry, the argument -cache must be between 0 and 100"},
    };
    for (const auto& c : cas) {
        std::vector<std::string> arguments{"-path", dossier.chemin};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        attendre_erreur(arguments, c.message);
    }
    EXPECT_TRUE(dossier.contenu().empty());
}

TEST(Nombre, ReadsTheTextAsTheOptionsDo) {
    EXPECT_EQ(number("2.9"), 2u);
    EXPECT_EQ(number("0x10"), 16u);
    EXPECT_EQ(number("1e2"), 100u);
    EXPECT_EQ(number("-1"), UINT32_MAX);
    EXPECT_EQ(number("-0.9"), 0u);
    EXPECT_EQ(number("4294967297"), 1u);  // only the low 32 bits are kept
    EXPECT_EQ(number("4294967296"), 0u);
    EXPECT_EQ(number("9223372036854775000"), 4294966272u);
    EXPECT_EQ(number("-9223372036854775808"), 0u);
    EXPECT_EQ(number("9223372036854775808"), 0u);  // beyond signed 64 bits
    EXPECT_EQ(number("1e400"), 0u);
    EXPECT_EQ(number("nan"), 0u);
}

// gestion_des_arguments in this process, on valid command lines.
TEST(Arguments, DeriveTheSettingsOfAValidCommandLine) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin});
    EXPECT_EQ(path, dossier.chemin + "/");
    EXPECT_EQ(block_nombre, 10485u);  // 1024 MiB in 100 KiB blocks, truncated
    EXPECT_EQ(cache_chemin_fichier.substr(0, path.size() + 17), path + "vellumcrate_cache");
    ASSERT_EQ(cache_chemin_fichier.size(), path.size() + 20);
    for (std::size_t k = path.size() + 17; k < cache_chemin_fichier.size(); ++k)
        EXPECT_TRUE(cache_chemin_fichier[k] >= 'a' && cache_chemin_fichier[k] <= 'z') << cache_chemin_fichier;

    lire_arguments({"-path", dossier.chemin + "/", "-file", "1", "-block", "1000", "-cache", "0"});
    EXPECT_EQ(path, dossier.chemin + "/");
    EXPECT_EQ(block_nombre, 1u);
    EXPECT_EQ(cache_chemin_fichier, "");

    lire_arguments({"-Path", dossier.chemin, "-file", "1", "-BLOCK", "1024", "-thread", "4294967297", "-cache",
          "4294967296", "-thread", "7"});
    EXPECT_EQ(block_nombre, 1u);
    EXPECT_EQ(nombre_thread, 7u);  // a repeated option keeps its last value
    EXPECT_EQ(cache, 0u);

    lire_arguments({"-path", dossier.chemin, "-thread", "4294967297", "-file", "1", "-block", "600"});
    EXPECT_EQ(nombre_thread, 1u);
    EXPECT_EQ(block_nombre, 1u);
}
