// Loaded into quorlane with LD_PRELOAD: statx answers as a kernel before 6.1 does, without
// direct I/O's alignment, so that a file system that would say it can't bypass its cache
// is tried all the same, as it is on those kernels.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

extern "C" int statx(int directory, const char* name, int flags, unsigned int mask, struct statx* answer) {
    using statx_call = int (*)(int, const char*, int, unsigned int, struct statx*);
    static const statx_call real = reinterpret_cast<statx_call>(dlsym(RTLD_NEXT, "statx"));
    const int status = real(directory, name, flags, mask & ~STATX_DIOALIGN, answer);
    if (status == 0) answer->stx_mask &= ~STATX_DIOALIGN;
    return status;
}
