// Byte swapping and the thin layer over the runtime library.
#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "fwstate.h"

br_uint_32 BrSwap32(br_uint_32 l)
{
    return __builtin_bswap32(l);
}

br_uint_16 BrSwap16(br_uint_16 s)
{
    return __builtin_bswap16(s);
}

float BrSwapFloat(float f)
{
    br_uint_32 u;
    memcpy(&u, &f, 4);
    u = __builtin_bswap32(u);
    memcpy(&f, &u, 4);
    return f;
}

void *BrSwapBlock(void *block, int count, int size)
{
    br_uint_8 *p = (br_uint_8 *)block;
    for (int i = 0; i < count && size > 1; i++, p += size)
        for (int a = 0, b = size - 1; a < b; a++, b--) {
            br_uint_8 t = p[a];
            p[a] = p[b];
            p[b] = t;
        }
    return block;
}

static int sign_of(int r)
{
    return (r > 0) - (r < 0);
}

int BrMemCmp(const void *s1, const void *s2, br_size_t n)
{
    return sign_of(memcmp(s1, s2, n));
}

void *BrMemCpy(void *s1, const void *s2, br_size_t n)
{
    return memmove(s1, s2, n);
}

void *BrMemSet(void *s, int c, br_size_t n)
{
    return memset(s, c, n);
}

char *BrStrCat(char *s1, const char *s2)
{
    return strcat(s1, s2);
}

int BrStrCmp(const char *s1, const char *s2)
{
    return sign_of(strcmp(s1, s2));
}

int BrStrICmp(const char *s1, const char *s2)
{
    return strcasecmp(s1, s2);
}

char *BrStrCpy(char *s1, const char *s2)
{
    return strcpy(s1, s2);
}

br_size_t BrStrLen(const char *s)
{
    return strlen(s);
}

int BrStrNCmp(const char *s1, const char *s2, br_size_t n)
{
    return strncmp(s1, s2, n);
}

int BrStrNICmp(const char *s1, const char *s2, br_size_t n)
{
    return strncasecmp(s1, s2, n);
}

char *BrStrNCpy(char *s1, const char *s2, br_size_t n)
{
    return strncpy(s1, s2, n);
}

char *BrStrRChr(char *s1, char c)
{
    return strrchr(s1, c);
}

char *BrGetEnv(const char *name)
{
    return getenv(name);
}

float BrStrToF(const char *nptr, char **endptr)
{
    return (float)strtod(nptr, endptr);
}

double BrStrToD(const char *nptr, char **endptr)
{
    return strtod(nptr, endptr);
}

long BrStrToL(const char *nptr, char **endptr, int base)
{
    return strtol(nptr, endptr, base);
}

unsigned long BrStrToUL(const char *nptr, char **endptr, int base)
{
    return strtoul(nptr, endptr, base);
}

// Character classes of the C locale, for any byte value.
br_boolean BrIsAlpha(int c)
{
    return c >= 0 && c <= 255 && isalpha(c) != 0;
}

br_boolean BrIsDigit(int c)
{
    return c >= 0 && c <= 255 && isdigit(c) != 0;
}

br_boolean BrIsSpace(int c)
{
    return c >= 0 && c <= 255 && isspace(c) != 0;
}

br_boolean BrIsPrint(int c)
{
    return c >= 0 && c <= 255 && isprint(c) != 0;
}

float BrFloatSqrt(float f)
{
    return sqrtf(f);
}
