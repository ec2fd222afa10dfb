// The byte stream under datafiles: the framework's files, so the installed filesystem (and its
// search path) serves every datafile.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "dfint.h"
#include "fwstate.h"

namespace {

const br_uint_8 binary_magics[8] = {0, 0, 0, 0x12, 0, 0, 0, 8};
const br_uint_8 text_magics[8] = {'*', 'F', 'I', 'L', 'E', '_', 'I', 'N'};

// The form the last identify call saw. A file of no known form still opens (in binary), so the
// datafile gets the null table and its first call says what is wrong.
df_io_mode identified;

int identify(br_uint_8 *magics, br_size_t n)
{
    if (n == 8 && memcmp(magics, binary_magics, 8) == 0)
        identified = DF_IO_BINARY;
    else if (n == 8 && memcmp(magics, text_magics, 8) == 0)
        identified = DF_IO_TEXT;
    else
        identified = DF_IO_UNKNOWN;
    return identified == DF_IO_TEXT ? BR_FS_MODE_TEXT : BR_FS_MODE_BINARY;
}

} // namespace

void *df_io_open_read(const char *name, df_io_mode *mode)
{
    int fs_mode = BR_FS_MODE_BINARY;
    identified = DF_IO_UNKNOWN;
    void *h = BrFileOpenRead(name, 8, identify, &fs_mode);
    if (h != nullptr) {
        *mode = identified;
        return h;
    }
    // Shorter than the magic bytes: an empty file opens as nothing, anything else as unknown.
    fs_mode = BR_FS_MODE_BINARY;
    h = BrFileOpenRead(name, 0, nullptr, &fs_mode);
    if (h == nullptr)
        return nullptr;
    if (BrFileGetChar(h) < 0) {
        BrFileClose(h);
        return nullptr;
    }
    *mode = DF_IO_UNKNOWN;
    return h;
}

void *df_io_open_write(const char *name, int text)
{
    return BrFileOpenWrite(name, text);
}

void df_io_close(void *h)
{
    BrFileClose(h);
}

br_boolean df_io_close_written(void *h, br_boolean keep)
{
    return BrFwFileCloseWritten(h, keep);
}

br_size_t df_io_read(void *buf, br_size_t n, void *h)
{
    return BrFileRead(buf, 1, n, h);
}

void df_io_write(const void *buf, br_size_t n, void *h)
{
    if (n > 0)
        BrFileWrite(buf, 1, n, h);
}

int df_io_getc(void *h)
{
    return BrFileGetChar(h);
}

void df_io_advance(br_size_t n, void *h)
{
    BrFileAdvance(n, h);
}

// Byte by byte, so a line longer than the buffer is consumed whole whatever the filesystem's own
// line reader does, and an empty line is told apart from the end of the file.
long df_io_getline(char *buf, br_size_t size, void *h)
{
    size_t len = 0;
    int c = BrFileGetChar(h);
    if (c < 0) {
        buf[0] = '\0';
        return -1;
    }
    for (; c >= 0 && c != '\n'; c = BrFileGetChar(h))
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
