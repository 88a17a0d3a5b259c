#include "support/observateur.hpp"

#include <chrono>
#include <filesystem>

observateur::observateur(const std::string& chemin)
    : fil([this, chemin] {
          while (!fin.load()) {
              std::error_code erreur;
              for (const auto& entree : std::filesystem::directory_iterator(chemin, erreur)) {
                  const auto taille = std::filesystem::file_size(entree.path(), erreur);
                  auto& maximum = vus[entree.path().filename().string()];
                  if (!erreur && taille > maximum) maximum = taille;
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
      }) {}

std::map<std::string, std::uintmax_t> observateur::arreter() {
    fin.store(true);
    fil.join();
    return vus;
}
