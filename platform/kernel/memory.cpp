/*
 * Global memory and virtual memory.
 *
 * Global blocks live on the C heap.  A fixed block's handle is its address;
 * a moveable block's handle is a separate small record, so that a program
 * which uses a moveable handle as a pointer without locking it fails here
 * as it would on the platform.  Every live handle is kept in a table, so
 * that a stale or foreign handle is answered with ERROR_INVALID_HANDLE
 * instead of being followed.  Moveable blocks count their locks:
 * GlobalUnlock returns FALSE with NO_ERROR when the count reaches zero, and
 * ERROR_NOT_LOCKED for a block that was not locked.  A moveable block of
 * zero bytes is "discarded": it has a handle but locking it gives null.
 *
 * VirtualAlloc maps anonymous pages (zeroed, page-aligned).  A reserved
 * range is mapped without access and gains it when committed, so that a
 * stray touch of reserved memory faults as it does on the platform.
 *
 * Both consult the failure injection ("GlobalAlloc", "VirtualAlloc") and
 * then fail the way running out of memory does: null, ERROR_NOT_ENOUGH_MEMORY.
 */
#include "kernel/kernel.h"

#include <map>
#include <mutex>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static const DWORD kErrorNotLocked = 158;

namespace {

struct Block {
    void *data = nullptr;
    SIZE_T size = 0;
    bool moveable = false;
    int locks = 0;
};

struct Region {
    SIZE_T size = 0;
};

std::mutex memoryLock;
std::map<void *, Block> blocks;   /* by handle */
std::map<char *, Region> regions; /* by base address */

Block *LookupBlock(HGLOBAL handle)
{
    auto it = blocks.find(handle);
    return it == blocks.end() ? nullptr : &it->second;
}

int Protection(DWORD protect)
{
    switch (protect) {
    case PAGE_NOACCESS: return PROT_NONE;
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE: return PROT_READ | PROT_WRITE;
    }
    return -1;
}

size_t PageSize()
{
    long n = sysconf(_SC_PAGESIZE);
    return n > 0 ? (size_t)n : 4096;
}

/* The region that holds [address, address + size), or regions.end(). */
std::map<char *, Region>::iterator RegionOf(char *address, SIZE_T size)
{
    auto it = regions.upper_bound(address);
    if (it == regions.begin())
        return regions.end();
    --it;
    if (address < it->first || (SIZE_T)(address - it->first) + size > it->second.size)
        return regions.end();
    return it;
}

} // namespace

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (layer::FailPoint("GlobalAlloc")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Block b;
    b.moveable = (flags & GMEM_MOVEABLE) != 0;
    b.size = bytes;
    if (bytes || !b.moveable) {
        b.data = (flags & GMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
        if (!b.data) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    void *handle = b.data;
    if (b.moveable) {
        handle = malloc(1);
        if (!handle) {
            free(b.data);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    std::lock_guard<std::mutex> hold(memoryLock);
    blocks[handle] = b;
    return handle;
}

extern "C" LPVOID WINAPI GlobalLock(HGLOBAL mem)
{
    std::lock_guard<std::mutex> hold(memoryLock);
    Block *b = LookupBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (b->moveable && b->data)
        b->locks++;
    return b->data;
}

extern "C" BOOL WINAPI GlobalUnlock(HGLOBAL mem)
{
    std::lock_guard<std::mutex> hold(memoryLock);
    Block *b = LookupBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!b->moveable) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    if (b->locks == 0) {
        SetLastError(kErrorNotLocked);
        return FALSE;
    }
    if (--b->locks == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL mem)
{
    if (!mem)
        return nullptr;
    std::lock_guard<std::mutex> hold(memoryLock);
    auto it = blocks.find(mem);
    if (it == blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    free(it->second.data);
    if (it->second.moveable)
        free(mem);
    blocks.erase(it);
    return nullptr;
}

extern "C" SIZE_T WINAPI GlobalSize(HGLOBAL mem)
{
    std::lock_guard<std::mutex> hold(memoryLock);
    Block *b = LookupBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->data ? b->size : 0;
}

namespace layer {

void *MapAligned(size_t bytes, int protection)
{
    const size_t huge = (size_t)1 << 21;
    if (bytes < huge) {
        void *p = mmap(nullptr, bytes, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    if (bytes > SIZE_MAX - 2 * huge)
        return nullptr;
    /* Whole huge pages only, so that the last part is not left to small ones:
     * map one more than needed, then give back the unaligned head and the rest. */
    size_t length = MappedLength(bytes);
    char *raw = (char *)mmap(nullptr, length + huge, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    char *start = (char *)(((uintptr_t)raw + huge - 1) & ~(uintptr_t)(huge - 1));
    if (start > raw)
        munmap(raw, start - raw);
    char *end = start + length, *rawEnd = raw + length + huge;
    if (rawEnd > end)
        munmap(end, rawEnd - end);
    madvise(start, length, MADV_HUGEPAGE);
    return start;
}

size_t MappedLength(size_t bytes)
{
    const size_t huge = (size_t)1 << 21;
    if (bytes < huge)
        return bytes;
    return (bytes + huge - 1) & ~(huge - 1);
}

} // namespace layer

extern "C" LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    int prot = Protection(protect);
    if (size == 0 || prot < 0 || !(type & (MEM_COMMIT | MEM_RESERVE)) ||
        (type & ~(DWORD)(MEM_COMMIT | MEM_RESERVE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (layer::FailPoint("VirtualAlloc")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t page = PageSize();
    std::lock_guard<std::mutex> hold(memoryLock);
    if (address) {
        /* Committing pages of a range reserved before. */
        char *start = (char *)((uintptr_t)address & ~(uintptr_t)(page - 1));
        SIZE_T length = ((char *)address - start) + size;
        length = (length + page - 1) & ~(SIZE_T)(page - 1);
        if (!(type & MEM_COMMIT) || RegionOf(start, length) == regions.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return nullptr;
        }
        if (mprotect(start, length, prot) != 0) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        return start;
    }
    if (size > SIZE_MAX - page) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SIZE_T length = (size + page - 1) & ~(SIZE_T)(page - 1);
    void *p = layer::MapAligned(length, (type & MEM_COMMIT) ? prot : PROT_NONE);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    regions[(char *)p] = Region{layer::MappedLength(length)};
    return p;
}

/* MEM_RELEASE frees a whole range: the base address it was given, size 0.
 * MEM_DECOMMIT drops pages (size 0: all of the range) and makes them
 * inaccessible; committing them again gives zeroed pages. */
extern "C" BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    std::lock_guard<std::mutex> hold(memoryLock);
    if (type == MEM_RELEASE) {
        auto it = regions.find((char *)address);
        if (it == regions.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        if (size != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        munmap(it->first, it->second.size);
        regions.erase(it);
        return TRUE;
    }
    if (type == MEM_DECOMMIT) {
        size_t page = PageSize();
        char *start = (char *)((uintptr_t)address & ~(uintptr_t)(page - 1));
        auto it = RegionOf(start, 1);
        if (!address || it == regions.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        SIZE_T length = size ? (((char *)address - start) + size + page - 1) & ~(SIZE_T)(page - 1)
                             : it->second.size - (start - it->first);
        if (RegionOf(start, length) == regions.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        madvise(start, length, MADV_DONTNEED);
        mprotect(start, length, PROT_NONE);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
