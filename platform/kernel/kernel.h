/*
 * What the kernel's files share among themselves: the Windows-1252 text of
 * the API against the UTF-8 names of the host, and the way a failed host
 * call becomes a last-error code.  Nothing outside platform/kernel and
 * platform/com includes this header.
 */
#ifndef NOBRA_KERNEL_H
#define NOBRA_KERNEL_H

#include "layer.h"

#include <string>

namespace layer {

/* A Windows-1252 string as UTF-8, for host names. */
std::string Cp1252ToUtf8(const std::string &text);
/* A UTF-8 host name as Windows-1252; characters that have no Windows-1252
 * form become '?'.  Returns false when that happened. */
bool Utf8ToCp1252(const std::string &text, std::string &out);
/* The lower-case form of a code point, for the letters Windows-1252 has. */
uint32_t FoldCodePoint(uint32_t cp);
/* Compares a host name with a Windows name, ignoring case. */
bool HostNameEquals(const std::string &hostUtf8, const std::string &winCp1252);
/* The lower-case form of a Windows-1252 character. */
unsigned char LowerCp1252(unsigned char c);
unsigned char UpperCp1252(unsigned char c);

/* The last-error code for a failed host call on host path p: a missing
 * final component is ERROR_FILE_NOT_FOUND, a missing folder on the way
 * ERROR_PATH_NOT_FOUND, as the API reports them. */
DWORD ErrorFromErrno(int err, const std::string &hostPath);

/* Creates a host folder and its missing parents; false when it cannot. */
bool MakeHostDirs(const std::string &path);

/* The drive of the machine with that letter (either case), or null. */
Drive *FindDrive(char letter);

} // namespace layer

#endif
