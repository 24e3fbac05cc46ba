/*
 * wsprintfA and wvsprintfA, and MulDiv.
 *
 * A conversion is %[-][#][0][width][.precision][h|l]type, read
 * left to right as the platform documents it.  There is no floating point
 * and no '*' width.  The integer conversions take a 32-bit argument whatever
 * the size prefix says, because the platform's long is 32 bits: on a 64-bit
 * host a DWORD travels through the variable arguments as an unsigned int,
 * and reading an unsigned long there would take garbage from the upper
 * half.  'h' narrows the value to 16 bits.  Strings are ANSI; %s prints at
 * most "precision" characters, and "(null)" for a null pointer, so that a
 * missing argument does not crash the program.
 *
 * The output stops at 1,024 characters plus the terminator, the documented
 * size of the largest buffer; the result is the number of characters
 * stored.  A '%' followed by a character that is not a type copies that
 * character, which makes %% a single percent sign.
 */
#include "kernel/kernel.h"

#include <stdarg.h>
#include <string.h>

static const int kMaxOutput = 1024;

namespace {

struct Out {
    char *buffer;
    int count = 0;
    void Put(char c)
    {
        if (count < kMaxOutput)
            buffer[count++] = c;
    }
    void Repeat(char c, int n)
    {
        while (n-- > 0)
            Put(c);
    }
    bool Full() const { return count >= kMaxOutput; }
};

struct Conversion {
    bool left = false, prefix = false, zero = false;
    int width = 0;
    int precision = -1;
    char size = 0; /* 'h', 'l' or 0 */
};

} // namespace

/* Writes text of length n into the field: padding by width, on the left or
 * the right; zeros go between sign or prefix and the digits. */
static void PutField(Out &out, const Conversion &conv, const char *lead, const char *body, int n)
{
    int leadLen = (int)strlen(lead);
    int pad = conv.width - leadLen - n;
    if (conv.left) {
        for (const char *p = lead; *p; p++)
            out.Put(*p);
        for (int i = 0; i < n; i++)
            out.Put(body[i]);
        out.Repeat(' ', pad);
        return;
    }
    if (conv.zero) {
        for (const char *p = lead; *p; p++)
            out.Put(*p);
        out.Repeat('0', pad);
    } else {
        out.Repeat(' ', pad);
        for (const char *p = lead; *p; p++)
            out.Put(*p);
    }
    for (int i = 0; i < n; i++)
        out.Put(body[i]);
}

static void PutNumber(Out &out, const Conversion &conv, uint64_t value, bool negative, int base, bool upper,
                      const char *prefix)
{
    const char *digitsOf = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[72];
    int n = 0;
    do {
        digits[n++] = digitsOf[value % base];
        value /= base;
    } while (value);
    /* The precision is the least number of digits; 0 or none means 1. */
    int precision = conv.precision > 0 ? conv.precision : 1;
    if (precision > 64)
        precision = 64;
    while (n < precision)
        digits[n++] = '0';
    char body[72];
    for (int i = 0; i < n; i++)
        body[i] = digits[n - 1 - i];
    char lead[4] = "";
    if (negative)
        strcpy(lead, "-");
    else if (prefix)
        strcpy(lead, prefix);
    PutField(out, conv, lead, body, n);
}

extern "C" int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list args)
{
    if (!buffer)
        return 0;
    Out out{buffer};
    if (!format) {
        buffer[0] = 0;
        return 0;
    }
    va_list ap;
    va_copy(ap, args);
    for (const char *f = format; *f && !out.Full(); f++) {
        if (*f != '%') {
            out.Put(*f);
            continue;
        }
        const char *start = f;
        Conversion conv;
        f++;
        for (;; f++) {
            if (*f == '-')
                conv.left = true;
            else if (*f == '#')
                conv.prefix = true;
            else if (*f == '0')
                conv.zero = true;
            else
                break;
        }
        while (*f >= '0' && *f <= '9') {
            if (conv.width < 100000)
                conv.width = conv.width * 10 + (*f - '0');
            f++;
        }
        if (*f == '.') {
            f++;
            conv.precision = 0;
            while (*f >= '0' && *f <= '9') {
                if (conv.precision < 100000)
                    conv.precision = conv.precision * 10 + (*f - '0');
                f++;
            }
        }
        if (*f == 'h' || *f == 'l') {
            conv.size = *f;
            f++;
        }
        switch (*f) {
        case 0:
            /* A lone '%' at the end: print what was there. */
            for (const char *p = start; *p; p++)
                out.Put(*p);
            f--;
            break;
        case 'c':
        case 'C': {
            char c = (char)va_arg(ap, int);
            PutField(out, conv, "", &c, 1);
            break;
        }
        case 's': {
            const char *s = va_arg(ap, const char *);
            if (!s)
                s = "(null)";
            int n = 0;
            while (s[n] && (conv.precision < 0 || n < conv.precision) && n < kMaxOutput)
                n++;
            Conversion text = conv;
            text.zero = false;
            PutField(out, text, "", s, n);
            break;
        }
        case 'd':
        case 'i': {
            int32_t v = (int32_t)va_arg(ap, int);
            if (conv.size == 'h')
                v = (int16_t)v;
            bool negative = v < 0;
            uint64_t magnitude = negative ? (uint64_t)(-(int64_t)v) : (uint64_t)v;
            PutNumber(out, conv, magnitude, negative, 10, false, nullptr);
            break;
        }
        case 'u': {
            uint32_t v = (uint32_t)va_arg(ap, unsigned int);
            if (conv.size == 'h')
                v = (uint16_t)v;
            PutNumber(out, conv, v, false, 10, false, nullptr);
            break;
        }
        case 'x':
        case 'X': {
            uint32_t v = (uint32_t)va_arg(ap, unsigned int);
            if (conv.size == 'h')
                v = (uint16_t)v;
            PutNumber(out, conv, v, false, 16, *f == 'X',
                      conv.prefix ? (*f == 'X' ? "0X" : "0x") : nullptr);
            break;
        }
        case 'p': {
            /* A pointer: all its hexadecimal digits, upper case. */
            uintptr_t v = (uintptr_t)va_arg(ap, void *);
            Conversion p = conv;
            p.precision = (int)sizeof(void *) * 2;
            PutNumber(out, p, v, false, 16, true, nullptr);
            break;
        }
        default:
            out.Put(*f);
            break;
        }
    }
    va_end(ap);
    buffer[out.count] = 0;
    return out.count;
}

extern "C" int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = wvsprintfA(buffer, format, ap);
    va_end(ap);
    return n;
}

/* number * numerator / denominator with a 64-bit intermediate, rounded to
 * the nearest integer, halves away from zero; -1 when the denominator is 0
 * or the result does not fit in an int. */
extern "C" int WINAPI MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    int64_t product = (int64_t)number * numerator;
    bool negative = (product < 0) != (denominator < 0);
    uint64_t p = product < 0 ? (uint64_t)(-product) : (uint64_t)product;
    uint64_t d = denominator < 0 ? (uint64_t)(-(int64_t)denominator) : (uint64_t)denominator;
    uint64_t q = (p + d / 2) / d;
    if (negative ? q > (uint64_t)INT32_MAX + 1 : q > (uint64_t)INT32_MAX)
        return -1;
    return negative ? (int)(-(int64_t)q) : (int)q;
}
