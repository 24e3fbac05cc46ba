/*
 * The C runtime and zlib calls that take a path, for the installer's code:
 * hostio.h renames its fopen and gzopen to these, which translate the
 * Windows path first.  The layer's own code calls the real functions, so
 * the renaming macros are undone here before they can turn these
 * functions into calls of themselves.
 */
#include "kernel/kernel.h"

#include <hostio.h>
#undef fopen
#undef gzopen

#include <errno.h>

extern "C" FILE *layer_fopen(const char *path, const char *mode)
{
    std::string host;
    if (!path || !mode || !layer::TranslatePath(path, host)) {
        errno = ENOENT;
        return nullptr;
    }
    return fopen(host.c_str(), mode);
}

extern "C" gzFile layer_gzopen(const char *path, const char *mode)
{
    std::string host;
    if (!path || !mode || !layer::TranslatePath(path, host)) {
        errno = ENOENT;
        return nullptr;
    }
    return gzopen(host.c_str(), mode);
}
