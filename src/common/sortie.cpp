#include "common/sortie.hpp"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>

#include "common/arret.hpp"
#include "common/messages.hpp"

namespace {
std::atomic<bool> ligne_ouverte{false};

std::string formater_liste(const char* format, va_list arguments) {
    va_list copie;
    va_copy(copie, arguments);
    const int longueur = std::vsnprintf(nullptr, 0, format, copie);
    va_end(copie);
    if (longueur <= 0) return std::string();
    std::string texte(static_cast<std::size_t>(longueur), '\0');
    std::vsnprintf(texte.data(), texte.size() + 1, format, arguments);
    return texte;
}

void emettre(const std::string& texte) {
    if (texte.empty()) return;
    if (std::fwrite(texte.data(), 1, texte.size(), stdout) != texte.size() || std::fflush(stdout) != 0)
        signaler_erreur_fatale(formater(messages::sortie_impossible, raison_errno(errno).c_str()));
    ligne_ouverte.store(texte.back() != '\n');
}
}

void ecrire(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string texte = formater_liste(format, arguments);
    va_end(arguments);
    emettre(texte);
}

void ecrire_sur_sa_ligne(const std::string& message) {
    emettre((ligne_ouverte.load() ? "\n" : "") + message + "\n");
}

std::string formater(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string texte = formater_liste(format, arguments);
    va_end(arguments);
    return texte;
}

std::string raison_errno(int numero) { return std::generic_category().message(numero); }
