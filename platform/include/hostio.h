/*
 * Forced into every installer source of the Linux build (-include): the C
 * runtime and zlib calls that take a path get the layer's path translation,
 * so that "C:\\WINDOWS\\TEMP\\x" reaches the machine folder without any change
 * to the installer's code.  The real headers are included first; the macros
 * only rename the calls made after them.
 */
#ifndef NOBRA_HOSTIO_H
#define NOBRA_HOSTIO_H

#include <stdio.h>
#include <zlib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* fopen on a Windows path; fails with errno ENOENT where the path leaves the
 * machine's drives. */
FILE *layer_fopen(const char *path, const char *mode);
/* gzopen on a Windows path, with the same translation. */
gzFile layer_gzopen(const char *path, const char *mode);

#ifdef __cplusplus
}
#endif

#define fopen layer_fopen
#define gzopen layer_gzopen

#endif
