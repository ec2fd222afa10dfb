// Formatted print and scan. Every formatted text is cut at BR_PRINTF_MAX characters.
#include <stdio.h>
#include <string.h>

#include "fwstate.h"

static br_int_32 clamp_count(int n, br_size_t room)
{
    if (n < 0)
        return 0;
    return (br_size_t)n < room ? n : (br_int_32)(room - 1);
}

br_int_32 BrVSprintf(char *buf, const char *fmt, va_list args)
{
    return clamp_count(vsnprintf(buf, BR_PRINTF_MAX + 1, fmt, args), BR_PRINTF_MAX + 1);
}

br_int_32 BrSprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    br_int_32 n = BrVSprintf(buf, fmt, args);
    va_end(args);
    return n;
}

br_int_32 BrVSprintfN(char *buf, br_size_t buf_size, const char *fmt, va_list args)
{
    if (buf_size == 0)
        return 0;
    char work[BR_PRINTF_MAX + 1];
    br_int_32 n = BrVSprintf(work, fmt, args);
    if ((br_size_t)n > buf_size - 1)
        n = (br_int_32)(buf_size - 1);
    memcpy(buf, work, n);
    buf[n] = '\0';
    return n;
}

br_int_32 BrSprintfN(char *buf, br_size_t buf_size, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    br_int_32 n = BrVSprintfN(buf, buf_size, fmt, args);
    va_end(args);
    return n;
}

br_int_32 BrVSScanf(const char *str, const char *fmt, va_list args)
{
    return vsscanf(str, fmt, args);
}

br_int_32 BrSScanf(const char *str, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    br_int_32 n = BrVSScanf(str, fmt, args);
    va_end(args);
    return n;
}

int BrLogPrintf(const char *fmt, ...)
{
    char *buf = BrScratchString();
    va_list args;
    va_start(args, fmt);
    int n = clamp_count(vsnprintf(buf, BrScratchStringSize(), fmt, args), BrScratchStringSize());
    va_end(args);
    fputs(buf, stderr);
    return n;
}
