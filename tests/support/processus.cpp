#include "support/processus.hpp"

#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <chrono>
#include <cstring>
#include <fstream>

namespace {

// Appends what one readable descriptor holds; closes it at end of file.
void lire_un(int& descripteur, std::string& cible) {
    char morceau[65536];
    const ssize_t lus = read(descripteur, morceau, sizeof morceau);
    if (lus > 0) {
        cible.append(morceau, static_cast<std::size_t>(lus));
    } else {
        close(descripteur);
        descripteur = -1;
    }
}

// Waits up to `delai_ms` for output and reads it; false once both streams are closed.
bool lire_disponible(processus_pilote& processus, int delai_ms) {
    pollfd attente[2] = {{processus.sortie, POLLIN, 0}, {processus.erreurs, POLLIN, 0}};
    if (processus.sortie < 0 && processus.erreurs < 0) return false;
    if (poll(attente, 2, delai_ms) <= 0) return true;
    if (attente[0].revents != 0) lire_un(processus.sortie, processus.texte);
    if (attente[1].revents != 0) lire_un(processus.erreurs, processus.texte_erreurs);
    return true;
}

std::vector<char*> pointeurs(std::vector<std::string>& textes) {
    std::vector<char*> resultat;
    for (std::string& texte : textes) resultat.push_back(texte.data());
    resultat.push_back(nullptr);
    return resultat;
}

}  // namespace

bool lancer(processus_pilote& processus, const std::string& programme, const std::vector<std::string>& arguments,
            const options_lancement& options) {
    std::vector<std::string> textes{programme};
    textes.insert(textes.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (std::strncmp(*variable, "TEMP=", 5) != 0) variables.emplace_back(*variable);
    if (options.temp != nullptr) variables.push_back(std::string("TEMP=") + options.temp);
    const std::vector<char*> argv = pointeurs(textes);
    const std::vector<char*> envp = pointeurs(variables);

    int sortie[2];
    int erreurs[2];
    if (pipe(sortie) != 0) return false;
    if (pipe(erreurs) != 0) {
        close(sortie[0]);
        close(sortie[1]);
        return false;
    }
    processus.pid = fork();
    if (processus.pid == 0) {
        dup2(sortie[1], 1);
        dup2(erreurs[1], 2);
        close(sortie[0]);
        close(sortie[1]);
        close(erreurs[0]);
        close(erreurs[1]);
        const rlimit limite{static_cast<rlim_t>(options.limite_souple), static_cast<rlim_t>(options.limite_dure)};
        if (options.limite_souple >= 0 && setrlimit(RLIMIT_NOFILE, &limite) != 0) _exit(125);
        const int utilisateur = options.utilisateur;
        if (utilisateur >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(utilisateur)) != 0 ||
                                 setuid(static_cast<uid_t>(utilisateur)) != 0))
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(sortie[1]);
    close(erreurs[1]);
    processus.sortie = sortie[0];
    processus.erreurs = erreurs[0];
    return processus.pid > 0;
}

bool lancer(processus_pilote& processus, const std::vector<std::string>& arguments, int utilisateur,
            long limite_souple, long limite_dure) {
    return lancer(processus, QUORLANE_BINARY, arguments, {nullptr, utilisateur, limite_souple, limite_dure});
}

bool attendre(processus_pilote& processus, const std::function<bool(const std::string&)>& condition,
              int delai_ms) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::milliseconds(delai_ms);
    while (!condition(processus.texte)) {
        if (std::chrono::steady_clock::now() >= limite) return false;
        if (processus.sortie < 0 || !lire_disponible(processus, 10)) return condition(processus.texte);
    }
    return true;
}

bool attendre_texte(processus_pilote& processus, const std::string& texte, int delai_ms) {
    return attendre(processus, [&texte](const std::string& lu) { return lu.find(texte) != std::string::npos; },
                    delai_ms);
}

bool attendre_resultats(processus_pilote& processus, int nombre, int delai_ms) {
    return attendre(processus, [nombre](const std::string& lu) { return occurrences(lu, "Mo/s          \n") >= nombre; },
                    delai_ms);
}

void terminer(processus_pilote& processus) {
    while (lire_disponible(processus, 1000)) {
    }
    // The child's I/O counters stay readable until it is reaped.
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(processus.pid), &info, WEXITED | WNOWAIT) == 0) {
        std::ifstream compteurs("/proc/" + std::to_string(processus.pid) + "/io");
        std::string nom;
        long long valeur = 0;
        while (compteurs >> nom >> valeur) {
            if (nom == "rchar:") processus.octets_lus = valeur;
            if (nom == "wchar:") processus.octets_ecrits = valeur;
        }
    }
    int etat = 0;
    rusage usage{};
    if (wait4(processus.pid, &etat, 0, &usage) != processus.pid) return;
    processus.statut = WIFEXITED(etat) ? WEXITSTATUS(etat) : 128 + WTERMSIG(etat);
    processus.rss_max_kio = usage.ru_maxrss;
}

int occurrences(const std::string& texte, const std::string& motif) {
    int nombre = 0;
    for (std::size_t position = texte.find(motif); position != std::string::npos;
         position = texte.find(motif, position + motif.size()))
        ++nombre;
    return nombre;
}
