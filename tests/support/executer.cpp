#include "support/executer.hpp"

#include "support/processus.hpp"

resultat_execution executer(const std::string& programme, const std::vector<std::string>& arguments,
                            const char* temp) {
    processus_pilote processus;
    if (!lancer(processus, programme, arguments, {temp})) return {};
    terminer(processus);
    return {processus.texte, processus.texte_erreurs, processus.statut};
}

resultat_execution quorlane(const std::vector<std::string>& arguments, const char* temp) {
    return executer(QUORLANE_BINARY, arguments, temp);
}

std::vector<std::string> lignes(const std::string& texte) {
    std::vector<std::string> resultat;
    std::size_t debut = 0;
    while (debut < texte.size()) {
        const std::size_t fin = texte.find('\n', debut);
        if (fin == std::string::npos) {
            resultat.push_back(texte.substr(debut));
            break;
        }
        resultat.push_back(texte.substr(debut, fin - debut));
        debut = fin + 1;
    }
    return resultat;
}

std::string visible(const std::string& ligne) {
    const std::size_t retour = ligne.rfind('\r');
    return retour == std::string::npos ? ligne : ligne.substr(retour + 1);
}
