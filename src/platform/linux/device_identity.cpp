#include "platform/device_identity.hpp"

#include <sys/stat.h>
#include <sys/sysmacros.h>

bool device_number_of(const std::string& path, device_number& number) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return false;
    number.major = major(status.st_dev);
    number.minor = minor(status.st_dev);
    return true;
}

bool query_volume(const std::string&, volume_answers&) { return false; }
