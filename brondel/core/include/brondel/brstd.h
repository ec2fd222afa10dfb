/* Formatted print and scan, byte swapping, and the thin layer over the runtime library. */
#ifndef BRONDEL_BRSTD_H
#define BRONDEL_BRSTD_H

#include <stdarg.h>

#include "brondel/brtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Formatted texts are limited to this many characters (plus the terminator). */
#define BR_PRINTF_MAX 511

br_int_32 BrSprintf(char *buf, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
br_int_32 BrSprintfN(char *buf, br_size_t buf_size, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
br_int_32 BrVSprintf(char *buf, const char *fmt, va_list args);
br_int_32 BrVSprintfN(char *buf, br_size_t buf_size, const char *fmt, va_list args);
br_int_32 BrSScanf(const char *str, const char *fmt, ...);
br_int_32 BrVSScanf(const char *str, const char *fmt, va_list args);
int BrLogPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

br_uint_32 BrSwap32(br_uint_32 l);
br_uint_16 BrSwap16(br_uint_16 s);
float BrSwapFloat(float f);
void *BrSwapBlock(void *block, int count, int size);

int BrMemCmp(const void *s1, const void *s2, br_size_t n);
void *BrMemCpy(void *s1, const void *s2, br_size_t n);
void *BrMemSet(void *s, int c, br_size_t n);
char *BrStrCat(char *s1, const char *s2);
int BrStrCmp(const char *s1, const char *s2);
int BrStrICmp(const char *s1, const char *s2);
char *BrStrCpy(char *s1, const char *s2);
br_size_t BrStrLen(const char *s);
int BrStrNCmp(const char *s1, const char *s2, br_size_t n);
int BrStrNICmp(const char *s1, const char *s2, br_size_t n);
char *BrStrNCpy(char *s1, const char *s2, br_size_t n);
char *BrStrRChr(char *s1, char c);
char *BrGetEnv(const char *name);
float BrStrToF(const char *nptr, char **endptr);
double BrStrToD(const char *nptr, char **endptr);
long BrStrToL(const char *nptr, char **endptr, int base);
unsigned long BrStrToUL(const char *nptr, char **endptr, int base);
br_boolean BrIsAlpha(int c);
br_boolean BrIsDigit(int c);
br_boolean BrIsSpace(int c);
br_boolean BrIsPrint(int c);
float BrFloatSqrt(float f);

#ifdef __cplusplus
}
#endif

#endif
