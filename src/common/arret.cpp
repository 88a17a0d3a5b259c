#include "common/arret.hpp"

#include <mutex>

std::atomic<bool> arret_demande{false};

namespace {
std::mutex verrou_erreur;
std::string premiere_erreur;
std::atomic<int> statut_demande{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the interruption handler needs lock-free atomics");
}

void signaler_erreur_fatale(const std::string& message) {
    {
        std::lock_guard<std::mutex> garde(verrou_erreur);
        if (premiere_erreur.empty()) premiere_erreur = message;
    }
    arret_demande.store(true);
}

std::string erreur_fatale_enregistree() {
    std::lock_guard<std::mutex> garde(verrou_erreur);
    return premiere_erreur;
}

void demander_interruption(int statut_de_sortie) {
    int attendu = 0;
    statut_demande.compare_exchange_strong(attendu, statut_de_sortie);
    arret_demande.store(true);
}

int statut_interruption() { return statut_demande.load(); }
