#include "common/tampon.hpp"

#include <new>

std::unique_ptr<unsigned char[]> nouveau_tampon(std::size_t octets) {
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[octets]);
}
