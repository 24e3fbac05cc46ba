/*
 * The installer's one state record and its shared constants.
 *
 * g_setup lives in static storage, so the whole record is zero-filled
 * before WinMain runs: every text empty, every handle null, every number 0.
 * No code allocates or frees it or its buffers; every window and page reads
 * and writes its fields directly.
 */
#include "setup.h"

SetupState g_setup;

const char ProductName[] = "Nobra";
const char SetupTitle[] = "Nobra - Setup";

BOOL CreateDirectoryInherit(const char *path)
{
    SECURITY_ATTRIBUTES security;

    security.nLength = 12;
    security.lpSecurityDescriptor = NULL;
    security.bInheritHandle = TRUE;
    return CreateDirectoryA(path, &security);
}
