/*
 * The program's resources: the .res image that the resource compiler wrote,
 * linked into the executable between platform_resources and
 * platform_resources_end.
 *
 * A .res image is a run of entries, each a header and its data, both
 * starting on a 4-byte boundary.  The header is
 *     DWORD DataSize, DWORD HeaderSize,
 *     TYPE, NAME   each 0xFFFF then a WORD ordinal, or a NUL-terminated
 *                  UTF-16 string, one straight after the other
 *     (padding to a 4-byte boundary)
 *     DWORD DataVersion, WORD MemoryFlags, WORD LanguageId,
 *     DWORD Version, DWORD Characteristics
 * and HeaderSize counts all of it.  The image opens with an empty entry of
 * 32 bytes (type and name 0), which is skipped like any entry without data.
 * The image is read once, every offset checked against its end; an image
 * that does not hold together is reported on stderr and treated as having
 * no resources, so no lookup ever reads beyond it.
 *
 * Lookups compare integer identifiers by value and string names ignoring
 * case; "#123" names the integer 123, as the platform documents.  A
 * program without resources links too: the symbols are weak.
 *
 * String tables are RT_STRING blocks of 16 counted UTF-16 strings; string
 * id lives in block id / 16 + 1 at index id % 16.  LoadStringA turns them
 * into Windows-1252.
 */
#include "kernel/resources.h"
#include "kernel/kernel.h"

#include <mutex>
#include <stdio.h>
#include <string.h>

extern "C" {
extern const unsigned char platform_resources[] __attribute__((weak));
extern const unsigned char platform_resources_end[] __attribute__((weak));
}

static const DWORD kErrorModNotFound = 126;

static char moduleAnchor;

namespace {

struct Reader {
    const unsigned char *base;
    size_t size;
    bool Get16(size_t at, WORD &v) const
    {
        if (at > size || size - at < 2)
            return false;
        v = (WORD)(base[at] | base[at + 1] << 8);
        return true;
    }
    bool Get32(size_t at, DWORD &v) const
    {
        if (at > size || size - at < 4)
            return false;
        v = (DWORD)base[at] | (DWORD)base[at + 1] << 8 | (DWORD)base[at + 2] << 16 | (DWORD)base[at + 3] << 24;
        return true;
    }
};

size_t Align4(size_t v) { return (v + 3) & ~(size_t)3; }

/* Reads a type or name field at pos, within [.., limit); pos moves past it. */
bool ReadId(const Reader &r, size_t &pos, size_t limit, layer::ResourceId &id)
{
    WORD w;
    if (pos + 2 > limit || !r.Get16(pos, w))
        return false;
    if (w == 0xFFFF) {
        if (pos + 4 > limit || !r.Get16(pos + 2, w))
            return false;
        id.isInt = true;
        id.number = w;
        pos += 4;
        return true;
    }
    id.isInt = false;
    id.text.clear();
    for (;;) {
        if (pos + 2 > limit || !r.Get16(pos, w))
            return false;
        pos += 2;
        if (w == 0)
            return true;
        id.text += (char16_t)layer::FoldCodePoint(w);
    }
}

bool SameId(const layer::ResourceId &a, const layer::ResourceId &b)
{
    return a.isInt == b.isInt && (a.isInt ? a.number == b.number : a.text == b.text);
}

std::once_flag loadOnce;
std::vector<layer::ResourceEntry> table;

void LoadTable()
{
    const unsigned char *begin = platform_resources, *end = platform_resources_end;
    if (!begin || !end || end <= begin)
        return;
    size_t size = (size_t)(end - begin);
    if (!layer::ParseResources(platform_resources, size, table))
        fprintf(stderr, "the program's resources are damaged; running without them\n");
}

const std::vector<layer::ResourceEntry> &Table()
{
    std::call_once(loadOnce, LoadTable);
    return table;
}

/* Finds an entry; on failure returns the last-error code that says why. */
DWORD Lookup(LPCSTR type, LPCSTR name, const layer::ResourceEntry *&found)
{
    layer::ResourceId t, n;
    if (!layer::ResourceIdFromArg(type, t))
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    if (!layer::ResourceIdFromArg(name, n))
        return ERROR_RESOURCE_NAME_NOT_FOUND;
    const std::vector<layer::ResourceEntry> &all = Table();
    if (all.empty())
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    bool typeSeen = false;
    for (const layer::ResourceEntry &e : all) {
        if (!SameId(e.type, t))
            continue;
        typeSeen = true;
        if (SameId(e.name, n)) {
            found = &e;
            return NO_ERROR;
        }
    }
    return typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
}

const layer::ResourceEntry *EntryOf(HRSRC resource)
{
    const std::vector<layer::ResourceEntry> &all = Table();
    const layer::ResourceEntry *e = (const layer::ResourceEntry *)resource;
    if (all.empty() || e < all.data() || e >= all.data() + all.size())
        return nullptr;
    return e;
}

bool OurModule(HMODULE module)
{
    return !module || module == layer::ModuleInstance();
}

} // namespace

namespace layer {

bool ParseResources(const void *image, size_t size, std::vector<ResourceEntry> &entries)
{
    entries.clear();
    if (!image)
        return size == 0;
    Reader r{(const unsigned char *)image, size};
    std::vector<ResourceEntry> out;
    size_t pos = 0;
    while (pos < size) {
        DWORD dataSize, headerSize;
        if (!r.Get32(pos, dataSize) || !r.Get32(pos + 4, headerSize))
            return false;
        /* The smallest header: two sizes, two ordinals, the fixed tail. */
        if (headerSize < 32 || headerSize > size - pos)
            return false;
        size_t headerEnd = pos + headerSize;
        size_t fieldPos = pos + 8;
        ResourceEntry e;
        if (!ReadId(r, fieldPos, headerEnd - 16, e.type))
            return false;
        if (!ReadId(r, fieldPos, headerEnd - 16, e.name))
            return false;
        fieldPos = Align4(fieldPos);
        if (fieldPos + 16 > headerEnd)
            return false;
        WORD language;
        if (!r.Get16(fieldPos + 6, language))
            return false;
        e.language = language;
        if (dataSize > size - headerEnd)
            return false;
        e.data = r.base + headerEnd;
        e.size = dataSize;
        if (dataSize || !(e.type.isInt && e.type.number == 0))
            out.push_back(e);
        size_t next = headerEnd + dataSize;
        if (next == size)
            break;
        next = Align4(next);
        if (next > size)
            return false;
        pos = next;
    }
    entries.swap(out);
    return true;
}

bool StringInBlock(const void *block, size_t size, unsigned index, std::u16string &text)
{
    Reader r{(const unsigned char *)block, block ? size : 0};
    size_t pos = 0;
    WORD length = 0;
    text.clear();
    if (index > 15)
        return false;
    for (unsigned i = 0;; i++) {
        if (!r.Get16(pos, length))
            return false;
        pos += 2;
        if ((size_t)length * 2 > size - pos)
            return false;
        if (i == index)
            break;
        pos += (size_t)length * 2;
    }
    for (WORD k = 0; k < length; k++) {
        WORD unit = 0;
        r.Get16(pos + 2 * k, unit);
        text += (char16_t)unit;
    }
    return true;
}

bool ResourceIdFromArg(LPCSTR arg, ResourceId &id)
{
    if (!arg)
        return false;
    if (IS_INTRESOURCE(arg)) {
        id.isInt = true;
        id.number = (WORD)(ULONG_PTR)arg;
        return true;
    }
    if (!*arg)
        return false;
    if (arg[0] == '#' && arg[1]) {
        unsigned long v = 0;
        const char *p = arg + 1;
        while (*p >= '0' && *p <= '9' && v <= 0xFFFF)
            v = v * 10 + (unsigned long)(*p++ - '0');
        if (!*p && v <= 0xFFFF) {
            id.isInt = true;
            id.number = (WORD)v;
            return true;
        }
    }
    id.isInt = false;
    id.text.clear();
    for (const char *p = arg; *p; p++)
        id.text += (char16_t)FoldCodePoint(Cp1252ToUnicode((unsigned char)*p));
    return true;
}

bool FindResourceData(LPCSTR type, LPCSTR name, ResourceData &out)
{
    const ResourceEntry *e = nullptr;
    if (Lookup(type, name, e) != NO_ERROR)
        return false;
    out.data = e->data;
    out.size = e->size;
    return true;
}

HINSTANCE ModuleInstance()
{
    return (HINSTANCE)&moduleAnchor;
}

} // namespace layer

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (!name)
        return layer::ModuleInstance();
    SetLastError(kErrorModNotFound);
    return nullptr;
}

extern "C" HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (!OurModule(module)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const layer::ResourceEntry *e = nullptr;
    DWORD err = Lookup(type, name, e);
    if (err != NO_ERROR) {
        SetLastError(err);
        return nullptr;
    }
    return (HRSRC)e;
}

/* The data stays where the image put it: a resource is never copied and
 * never freed, so the handle is the address. */
extern "C" HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource)
{
    const layer::ResourceEntry *e = EntryOf(resource);
    if (!OurModule(module) || !e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return (HGLOBAL)e->data;
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL data)
{
    return data;
}

extern "C" DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource)
{
    const layer::ResourceEntry *e = EntryOf(resource);
    if (!OurModule(module) || !e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return e->size;
}

extern "C" BOOL WINAPI FreeResource(HGLOBAL data)
{
    (void)data;
    return FALSE;
}

/* Copies at most size - 1 characters of string id and terminates; returns
 * the number copied, 0 when the string is absent or the buffer has no room
 * at all. */
extern "C" int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    if (!buffer || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    if (!OurModule(instance)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    const layer::ResourceEntry *e = nullptr;
    DWORD err = Lookup(RT_STRING, MAKEINTRESOURCEA((id >> 4) + 1), e);
    if (err != NO_ERROR || id > 0xFFFF) {
        SetLastError(err != NO_ERROR ? err : ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::u16string text;
    if (!layer::StringInBlock(e->data, e->size, id & 15, text) || text.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    int n = 0;
    for (size_t k = 0; k < text.size() && n < size - 1; k++) {
        char16_t unit = text[k];
        if (unit >= 0xDC00 && unit < 0xE000)
            continue; /* the second half of a pair: one '?' stands for both */
        unsigned char c = layer::UnicodeToCp1252(unit);
        buffer[n++] = (char)(c || !unit ? c : '?');
    }
    buffer[n] = 0;
    return n;
}
