#include "support/executer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace {

std::vector<std::string> environnement(const char* temp) {
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v)
        if (std::strncmp(*v, "TEMP=", 5) != 0) variables.emplace_back(*v);
    if (temp != nullptr) variables.push_back(std::string("TEMP=") + temp);
    return variables;
}

std::vector<char*> pointeurs(std::vector<std::string>& textes) {
    std::vector<char*> resultat;
    for (std::string& texte : textes) resultat.push_back(texte.data());
    resultat.push_back(nullptr);
    return resultat;
}

}  // namespace

resultat_execution executer(const std::string& programme, const std::vector<std::string>& arguments,
                            const char* temp) {
    std::vector<std::string> argv_textes{programme};
    argv_textes.insert(argv_textes.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env_textes = environnement(temp);
    std::vector<char*> argv_ptr = pointeurs(argv_textes);
    std::vector<char*> env_ptr = pointeurs(env_textes);

    int sortie[2];
    int erreurs[2];
    if (pipe(sortie) != 0 || pipe(erreurs) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(sortie[1], 1);
        dup2(erreurs[1], 2);
        close(sortie[0]);
        close(erreurs[0]);
        execve(programme.c_str(), argv_ptr.data(), env_ptr.data());
        _exit(127);
    }
    close(sortie[1]);
    close(erreurs[1]);

    resultat_execution resultat;
    pollfd attente[2] = {{sortie[0], POLLIN, 0}, {erreurs[0], POLLIN, 0}};
    std::string* cibles[2] = {&resultat.sortie, &resultat.erreurs};
    int ouverts = 2;
    char morceau[65536];
    while (ouverts > 0) {
        if (poll(attente, 2, -1) < 0) break;
        for (int k = 0; k < 2; ++k) {
            if (attente[k].fd < 0 || attente[k].revents == 0) continue;
            const ssize_t lus = read(attente[k].fd, morceau, sizeof morceau);
            if (lus > 0) {
                cibles[k]->append(morceau, static_cast<std::size_t>(lus));
            } else {
                close(attente[k].fd);
                attente[k].fd = -1;
                --ouverts;
            }
        }
    }
    int etat = 0;
    waitpid(pid, &etat, 0);
    resultat.statut = WIFEXITED(etat) ? WEXITSTATUS(etat) : 128 + WTERMSIG(etat);
    return resultat;
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
