/*
 * The drive table and the free-space probe.
 *
 * Before the destination page opens, BuildDriveTable asks the system for
 * its drive roots and copies them, upper-cased and in the system's order,
 * into the 20 slots of g_setup.drives.  The drive the setup was started
 * from is selected first; drive C, when there is one, wins over it, and the
 * proposed base directory becomes "Program files" on the drive that holds
 * Windows, or the root of C when that folder cannot be entered.  The probe
 * then measures the selected drive in units of 1000 bytes.
 *
 * The system's answer is treated as untrusted: the buffer is cleared before
 * the call, an answer too long for it is asked for again in a larger one,
 * and the walk never passes the buffer, the 20 slots or a slot's 5
 * characters.  A failed answer leaves no drives.  A drive whose free space
 * cannot be read counts as having none, and a free space beyond what 32 bits
 * can count stops at the largest count rather than wrapping to a small one.
 */
#include "setup.h"

#include <string.h>

const char NoSpaceText[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";

enum {
    DriveListSize = 100,  /* what the first request offers */
    DriveListRoom = 128   /* enough for every root of 26 drive letters */
};

static void UpperAscii(char *text)
{
    for (; *text; text++) {
        if (*text >= 'a' && *text <= 'z')
            *text = (char)(*text - 'a' + 'A');
    }
}

/* Fills list with the system's drive strings; all zeros when there are none to be had. */
static DWORD ReadDriveStrings(char *list)
{
    DWORD length;

    memset(list, 0, DriveListRoom);
    length = GetLogicalDriveStringsA(DriveListSize, list);
    if (length <= DriveListSize)
        return length ? DriveListSize : 0;
    /* Too small: the answer is the size needed. */
    memset(list, 0, DriveListRoom);
    if (length < DriveListRoom) {
        length = GetLogicalDriveStringsA(DriveListRoom - 1, list);
        if (length > 0 && length < DriveListRoom)
            return DriveListRoom - 1;
    }
    memset(list, 0, DriveListRoom);
    return 0;
}

void BuildDriveTable(void)
{
    char list[DriveListRoom];
    char entry[DriveSlotSize];
    DWORD limit;
    int length = 0;

    g_setup.driveCount = 0;
    memset(g_setup.drives, 0, sizeof(g_setup.drives));
    limit = ReadDriveStrings(list);
    UpperAscii(g_setup.sourceDir);

    for (DWORD at = 0; at < limit && g_setup.driveCount < DriveSlots; at++) {
        char c = list[at];

        if (c != '\0') {
            /* A string too long for a slot is no drive root; it is skipped whole. */
            if (length >= 0 && length < DriveSlotSize - 1)
                entry[length++] = c;
            else
                length = -1;
            continue;
        }
        /* An empty string is the terminator of the list. */
        if (length == 0)
            break;
        if (length > 0) {
            char *slot = g_setup.drives[g_setup.driveCount];

            entry[length] = '\0';
            UpperAscii(entry);
            lstrcpyA(slot, entry);
            if (slot[0] == g_setup.sourceDir[0])
                g_setup.currentDrive = g_setup.driveCount;
            g_setup.driveCount++;
        }
        length = 0;
        if (at + 1 < limit && list[at + 1] == '\0')
            break;
    }

    for (int i = 0; i < g_setup.driveCount; i++) {
        if (g_setup.drives[i][0] != 'C')
            continue;
        g_setup.currentDrive = i;
        UINT windows = GetWindowsDirectoryA(g_setup.baseDir, PathSize);
        if (windows > 0 && windows < PathSize) {
            /* The letter of the Windows drive, then the folder in exactly this case. */
            lstrcpyA(g_setup.baseDir + 1, ":\\Program files");
            if (!SetCurrentDirectoryA(g_setup.baseDir))
                lstrcpyA(g_setup.baseDir, g_setup.drives[i]);
        } else {
            lstrcpyA(g_setup.baseDir, g_setup.drives[i]);
        }
        break;
    }

    ProbeFreeSpace(g_setup.currentDrive);
}

void ProbeFreeSpace(int slot)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    ULONGLONG sectors, bytes;
    const ULONGLONG most = 0xFFFFFFFFull;

    g_setup.freeKB = 0;
    if (slot < 0 || slot >= g_setup.driveCount)
        return;
    if (!GetDiskFreeSpaceA(g_setup.drives[slot], &sectorsPerCluster, &bytesPerSector,
                           &freeClusters, &totalClusters))
        return;

    sectors = (ULONGLONG)sectorsPerCluster * freeClusters;
    if (bytesPerSector != 0 && sectors > ~0ull / bytesPerSector) {
        g_setup.freeKB = (DWORD)most;
        return;
    }
    bytes = sectors * bytesPerSector / 1000;
    g_setup.freeKB = bytes > most ? (DWORD)most : (DWORD)bytes;
}
