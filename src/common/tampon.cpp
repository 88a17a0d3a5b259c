#include "common/tampon.hpp"

#include <new>

#include "common/arret.hpp"
#include "common/messages.hpp"
#include "common/sortie.hpp"

std::unique_ptr<unsigned char[]> nouveau_tampon(std::size_t octets) {
    std::unique_ptr<unsigned char[]> tampon(new (std::nothrow) unsigned char[octets]);
    if (!tampon) signaler_erreur_fatale(formater(messages::memoire_insuffisante, static_cast<unsigned>(octets / 1024)));
    return tampon;
}
