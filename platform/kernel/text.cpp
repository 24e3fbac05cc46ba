/*
 * ANSI text: the Windows-1252 code page and the string calls on it.
 *
 * The program's text is Windows-1252 throughout.  Bytes below 0x80 and from
 * 0xA0 on are the Unicode code points of the same value; 0x80 to 0x9F hold
 * the typographic extras (euro sign, quotes, dashes, a few letters).  The
 * five bytes Windows leaves undefined there map to the C1 control of the
 * same value, which is what the platform's own conversion does, so every
 * byte survives a round trip.
 *
 * Case: the letters of the code page are ASCII, the Latin-1 range (except
 * the multiplication and division signs, and the sharp s and y-diaeresis
 * pairs that have no partner in the page) and the four extras S, Z and OE
 * with caron or ligature plus Y with diaeresis.  CharUpperA, CharLowerA,
 * lstrcmpiA and the case-insensitive file names all use this one folding.
 */
#include "kernel/kernel.h"

#include <string.h>
#include <vector>

static const uint16_t highHalf[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

namespace layer {

uint32_t Cp1252ToUnicode(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return highHalf[c - 0x80];
    return c;
}

unsigned char UnicodeToCp1252(uint32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return (unsigned char)cp;
    for (int i = 0; i < 32; i++)
        if (highHalf[i] == cp)
            return (unsigned char)(0x80 + i);
    return 0;
}

uint32_t FoldCodePoint(uint32_t cp)
{
    if (cp >= 'A' && cp <= 'Z')
        return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 32;
    switch (cp) {
    case 0x0160: return 0x0161;
    case 0x0152: return 0x0153;
    case 0x017D: return 0x017E;
    case 0x0178: return 0x00FF;
    }
    return cp;
}

unsigned char LowerCp1252(unsigned char c)
{
    return UnicodeToCp1252(FoldCodePoint(Cp1252ToUnicode(c)));
}

unsigned char UpperCp1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    }
    return c;
}

static void PutUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | (cp >> 6));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xE0 | (cp >> 12));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

std::string Cp1252ToUtf8(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        PutUtf8(out, Cp1252ToUnicode(c));
    return out;
}

/* Decodes one UTF-8 sequence at s[i]; malformed bytes decode as U+FFFD one
 * byte at a time, so that no input stops the walk. */
static uint32_t NextUtf8(const std::string &s, size_t &i)
{
    unsigned char c = (unsigned char)s[i++];
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (extra < 0 || (c >= 0xF8))
        return 0xFFFD;
    uint32_t cp = c & (0x3F >> extra);
    size_t start = i;
    for (int k = 0; k < extra; k++) {
        if (i >= s.size() || ((unsigned char)s[i] & 0xC0) != 0x80) {
            i = start;
            return 0xFFFD;
        }
        cp = (cp << 6) | ((unsigned char)s[i++] & 0x3F);
    }
    return cp;
}

bool Utf8ToCp1252(const std::string &text, std::string &out)
{
    bool exact = true;
    out.clear();
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = NextUtf8(text, i);
        unsigned char c = UnicodeToCp1252(cp);
        if (c == 0 && cp != 0) {
            c = '?';
            exact = false;
        }
        out += (char)c;
    }
    return exact;
}

bool HostNameEquals(const std::string &hostUtf8, const std::string &winCp1252)
{
    size_t i = 0;
    for (unsigned char c : winCp1252) {
        if (i >= hostUtf8.size())
            return false;
        if (FoldCodePoint(NextUtf8(hostUtf8, i)) != FoldCodePoint(Cp1252ToUnicode(c)))
            return false;
    }
    return i == hostUtf8.size();
}

} // namespace layer

/* CharUpperA and CharLowerA take either a string, converted in place, or a
 * single character in the low word of the pointer, returned the same way. */
static LPSTR ConvertCase(LPSTR text, unsigned char (*convert)(unsigned char))
{
    if (!text)
        return nullptr;
    if (IS_INTRESOURCE(text))
        return (LPSTR)(ULONG_PTR)convert((unsigned char)(ULONG_PTR)text);
    for (char *p = text; *p; p++)
        *p = (char)convert((unsigned char)*p);
    return text;
}

extern "C" LPSTR WINAPI CharUpperA(LPSTR text) { return ConvertCase(text, layer::UpperCp1252); }
extern "C" LPSTR WINAPI CharLowerA(LPSTR text) { return ConvertCase(text, layer::LowerCp1252); }

extern "C" int WINAPI lstrlenA(LPCSTR s)
{
    return s ? (int)strlen(s) : 0;
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src)
{
    if (!dst || !src)
        return nullptr;
    memmove(dst, src, strlen(src) + 1);
    return dst;
}

/* Copies at most max - 1 characters and always terminates when max > 0. */
extern "C" LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max)
{
    if (!dst || !src)
        return nullptr;
    if (max <= 0)
        return dst;
    int n = 0;
    while (n < max - 1 && src[n])
        n++;
    memmove(dst, src, n);
    dst[n] = 0;
    return dst;
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src)
{
    if (!dst || !src)
        return nullptr;
    memmove(dst + strlen(dst), src, strlen(src) + 1);
    return dst;
}

/* Compares character by character after folding case; a null string sorts
 * before every other string, as the platform documents for lstrcmpi. */
/*
 * lstrcmpiA compares the way the platform documents it: a word sort, not a
 * comparison of codes.  Case does not count; symbols sort before digits and
 * digits before letters; an accented letter sorts with its base letter and
 * after it only when everything else is equal; hyphens and apostrophes are
 * passed over, so that "co-op" stays beside "coop".  Strings compare equal
 * only when they are the same but for case.
 */
namespace {

struct CollationKey {
    std::vector<uint16_t> primary;
    std::vector<uint8_t> accents;
};

/* Base letters of the accented Windows-1252 letters, lower case, from 0xC0 on. */
static const char accentBase[64 + 1] =
    "aaaaaaaceeeeiiiidnooooo*ouuuuy*s" /* 0xC0-0xDF: ae, thorn, sharp s handled apart */
    "aaaaaaaceeeeiiiidnooooo/ouuuuy*y";

void AddLetter(CollationKey &k, char base, uint8_t accent)
{
    k.primary.push_back((uint16_t)(0x300 | (base - 'a' + 1)));
    k.accents.push_back(accent);
}

CollationKey Collate(const unsigned char *s)
{
    CollationKey k;
    for (; *s; s++) {
        unsigned char c = layer::LowerCp1252(*s);
        if (c == '-' || c == '\'' || c == 0xAD)
            continue;
        if (c >= 'a' && c <= 'z') {
            AddLetter(k, (char)c, 0);
        } else if (c >= '0' && c <= '9') {
            k.primary.push_back((uint16_t)(0x200 | (c - '0')));
            k.accents.push_back(0);
        } else if (c == 0xB9 || c == 0xB2 || c == 0xB3) {
            k.primary.push_back((uint16_t)(0x200 | (c == 0xB9 ? 1 : c == 0xB2 ? 2 : 3)));
            k.accents.push_back(c);
        } else if (c == 0xE6) {
            AddLetter(k, 'a', c);
            AddLetter(k, 'e', c);
        } else if (c == 0x9C) {
            AddLetter(k, 'o', c);
            AddLetter(k, 'e', c);
        } else if (c == 0xDF) {
            AddLetter(k, 's', c);
            AddLetter(k, 's', c);
        } else if (c == 0xFE) {
            k.primary.push_back(0x300 | 27); /* thorn follows z */
            k.accents.push_back(0);
        } else if (c == 0x9A || c == 0x9E || c == 0x83) {
            AddLetter(k, c == 0x9A ? 's' : c == 0x9E ? 'z' : 'f', c);
        } else if (c >= 0xC0 && accentBase[c - 0xC0] >= 'a' && accentBase[c - 0xC0] <= 'z') {
            AddLetter(k, accentBase[c - 0xC0], c);
        } else {
            k.primary.push_back((uint16_t)(0x100 | c)); /* space, punctuation, symbols */
            k.accents.push_back(0);
        }
    }
    return k;
}

template <class T> int CompareSequences(const std::vector<T> &a, const std::vector<T> &b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return 0;
}

} // namespace

extern "C" int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const unsigned char *ua = (const unsigned char *)a, *ub = (const unsigned char *)b;
    CollationKey ka = Collate(ua), kb = Collate(ub);
    if (int c = CompareSequences(ka.primary, kb.primary))
        return c;
    if (int c = CompareSequences(ka.accents, kb.accents))
        return c;
    /* Alike but for hyphens and apostrophes: the folded texts decide. */
    for (;; ua++, ub++) {
        unsigned char ca = layer::LowerCp1252(*ua), cb = layer::LowerCp1252(*ub);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}
