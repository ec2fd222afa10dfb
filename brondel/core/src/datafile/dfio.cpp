// The byte stream under datafiles. Stand-in over C streams until the framework's files exist.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "dfint.h"

namespace {

const br_uint_8 binary_magics[8] = {0, 0, 0, 0x12, 0, 0, 0, 8};
const char text_magics[8] = {'*', 'F', 'I', 'L', 'E', '_', 'I', 'N'};

} // namespace

void *df_io_open_read(const char *name, df_io_mode *mode)
{
    FILE *fp = fopen(name, "rb");
    if (fp == nullptr)
        return nullptr;
    br_uint_8 magics[8];
    size_t n = fread(magics, 1, 8, fp);
    if (n == 0) {
        fclose(fp);
        return nullptr;
    }
    if (n == 8 && memcmp(magics, binary_magics, 8) == 0)
        *mode = DF_IO_BINARY;
    else if (n == 8 && memcmp(magics, text_magics, 8) == 0)
        *mode = DF_IO_TEXT;
    else
        *mode = DF_IO_UNKNOWN;
    rewind(fp);
    return fp;
}

void *df_io_open_write(const char *name, int text)
{
    return fopen(name, text ? "w" : "wb");
}

void df_io_close(void *h)
{
    fclose((FILE *)h);
}

br_size_t df_io_read(void *buf, br_size_t n, void *h)
{
    return fread(buf, 1, n, (FILE *)h);
}

void df_io_write(const void *buf, br_size_t n, void *h)
{
    fwrite(buf, 1, n, (FILE *)h);
}

int df_io_getc(void *h)
{
    return fgetc((FILE *)h);
}

void df_io_advance(br_size_t n, void *h)
{
    fseek((FILE *)h, (long)n, SEEK_CUR);
}

long df_io_getline(char *buf, br_size_t size, void *h)
{
    FILE *fp = (FILE *)h;
    size_t len = 0;
    int c = fgetc(fp);
    if (c == EOF) {
        buf[0] = '\0';
        return -1;
    }
    for (; c != EOF && c != '\n'; c = fgetc(fp))
        if (len + 1 < size)
            buf[len++] = (char)c;
    if (len > 0 && buf[len - 1] == '\r')
        len--;
    buf[len] = '\0';
    return (long)len;
}

void df_io_puts(const char *s, void *h)
{
    df_io_write(s, strlen(s), h);
}

int df_io_printf(void *h, const char *fmt, ...)
{
    char small[256];
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(small, sizeof(small), fmt, args);
    va_end(args);
    if (n < 0)
        return 0;
    if ((size_t)n < sizeof(small)) {
        df_io_write(small, (size_t)n, h);
        return n;
    }
    std::string big((size_t)n + 1, '\0');
    va_start(args, fmt);
    vsnprintf(big.data(), big.size(), fmt, args);
    va_end(args);
    df_io_write(big.data(), (size_t)n, h);
    return n;
}
