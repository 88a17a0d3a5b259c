// The write phase on real files in a directory of the test's own: names, sizes, one prefix
// per worker, the flush pass, and removal of every file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "common/arret.hpp"
#include "common/debit.hpp"
#include "common/table_ecriture.hpp"
#include "driver/driver.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/repertoire_temporaire.hpp"

namespace {

std::string contenu_de(const std::string& nom) {
    std::ifstream flux(nom, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(flux), {});
}

}  // namespace

TEST(Ecriture, EachWorkerCreatesItsFilesUnderItsOwnPrefixAndTheRunRemovesThemAll) {
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-thread", "3", "-file_number", "2", "-file", "1", "-block", "64",
                    "-cache", "0"});
    preparer_table_ecriture();
    std::vector<thread_param> records(nombre_thread);

    phase_ecriture(records);
    ASSERT_FALSE(arret_demande.load());
    EXPECT_EQ(octets_deplaces.load(), 6u * 1048576u);
    for (std::FILE* flux : pointeur_du_fichier_ecriture) EXPECT_NE(flux, nullptr);

    passe_de_vidage(records);
    ASSERT_FALSE(arret_demande.load());
    for (std::FILE* flux : pointeur_du_fichier_ecriture) EXPECT_EQ(flux, nullptr);

    // Six files: three 20-character prefixes, indexes 0 and 1, no separator before the index.
    std::map<std::string, std::set<std::string>> index_par_prefixe;
    for (const std::string& nom : dossier.contenu()) {
        ASSERT_EQ(nom.size(), 21u) << nom;
        EXPECT_EQ(nom.substr(0, 12), "vellumcrate_");
        for (std::size_t k = 12; k < 20; ++k) EXPECT_TRUE(nom[k] >= 'a' && nom[k] <= 'z') << nom;
        index_par_prefixe[nom.substr(0, 20)].insert(nom.substr(20));
        EXPECT_EQ(taille_fichier(dossier.chemin + "/" + nom), 1048576);
    }
    ASSERT_EQ(index_par_prefixe.size(), 3u);
    for (const auto& [prefixe, index] : index_par_prefixe) EXPECT_EQ(index, (std::set<std::string>{"0", "1"}));
    for (std::uint32_t t = 0; t < 3; ++t)
        EXPECT_EQ(index_par_prefixe.count(records[t].file_prefix), 1u) << records[t].file_prefix;

    // Each worker writes bytes of its own: no two workers' files are alike.
    EXPECT_NE(contenu_de(path + records[0].file_prefix + "0"), contenu_de(path + records[1].file_prefix + "0"));

    supprimer_fichiers_du_run(records);
    EXPECT_TRUE(dossier.contenu().empty());
}

TEST(Ecriture, AFileHoldsWholeBlocksOnly) {
    // 1 MiB in 600 KiB blocks is one block: the file holds 600 KiB, not 1 MiB.
    repertoire_temporaire dossier;
    lire_arguments({"-path", dossier.chemin, "-file", "1", "-block", "600", "-cache", "0", "-file_number", "2"});
    preparer_table_ecriture();
    std::vector<thread_param> records(1);
    phase_ecriture(records);
    passe_de_vidage(records);
    ASSERT_FALSE(arret_demande.load());
    EXPECT_EQ(octets_deplaces.load(), 2u * 600u * 1024u);
    for (const std::string& nom : dossier.contenu()) EXPECT_EQ(taille_fichier(dossier.chemin + "/" + nom), 614400);
    EXPECT_EQ(dossier.contenu().size(), 2u);
    supprimer_fichiers_du_run(records);
    EXPECT_TRUE(dossier.contenu().empty());
}
