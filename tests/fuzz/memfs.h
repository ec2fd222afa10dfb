// The fuzz targets' world: the core begun once with a handler that only counts, and a filesystem
// that serves one buffer in memory under any name, so each input is read as a file would be.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <sanitizer/lsan_interface.h>

#include "brondel/brcore.h"

namespace fuzz {

inline const uint8_t *mem_data;
inline size_t mem_size;

inline FILE *mem_open()
{
    // fmemopen refuses an empty buffer: a file with no bytes is a stream opened empty for update.
    static char empty[1];
    return mem_size > 0 ? fmemopen((void *)mem_data, mem_size, "rb") : fmemopen(empty, 1, "w+");
}

inline void *mem_open_read(const char *name, br_size_t n_magics, br_mode_test_cbfn *identify, int *mode_result)
{
    if (n_magics > 16 || (n_magics > 0 && mem_size < n_magics))
        return nullptr;
    int mode = mode_result ? *mode_result : 0;
    if (n_magics > 0) {
        br_uint_8 magics[16];
        memcpy(magics, mem_data, n_magics);
        if (identify != nullptr)
            mode = identify(magics, n_magics);
        if (mode_result != nullptr)
            *mode_result = mode;
    }
    if (mode != 0 && mode != 1)
        return nullptr;
    return mem_open();
}

inline void *mem_open_write(const char *, int) { return nullptr; }
inline br_uint_32 mem_attributes(void) { return 0x1f; }
inline void mem_close(void *f) { fclose((FILE *)f); }
inline int mem_eof(void *f) { return feof((FILE *)f); }
inline int mem_getchar(void *f) { return fgetc((FILE *)f); }
inline void mem_putchar(int, void *) {}
inline br_size_t mem_read(void *buf, br_size_t size, br_size_t n, void *f) { return fread(buf, size, n, (FILE *)f); }
inline br_size_t mem_write(const void *, br_size_t, br_size_t, void *) { return 0; }
inline br_size_t mem_getline(char *buf, br_size_t len, void *f)
{
    if (len == 0 || fgets(buf, (int)len, (FILE *)f) == nullptr) {
        if (len > 0)
            buf[0] = '\0';
        return 0;
    }
    size_t n = strlen(buf);
    if (n > 0 && buf[n - 1] == '\n')
        buf[--n] = '\0';
    return n;
}
inline void mem_putline(const char *, void *) {}
inline void mem_advance(br_size_t count, void *f) { fseek((FILE *)f, (long)count, SEEK_CUR); }

inline br_filesystem memfs = {"Memory", mem_attributes, mem_open_read, mem_open_write, mem_close,
                              mem_eof,  mem_getchar,    mem_putchar,   mem_read,       mem_write,
                              mem_getline, mem_putline, mem_advance};

inline void quiet(const char *) {}
inline br_diaghandler quiet_handler = {"quiet", quiet, quiet};

// Serves this input as the only file there is.
inline void serve(const uint8_t *data, size_t size)
{
    mem_data = data;
    mem_size = size;
}

} // namespace fuzz

// The core begins once, before the first input, so what it keeps for good is never taken for a
// leak of one input.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    BrDiagHandlerSet(&fuzz::quiet_handler);
    // A resource of no size is known by the address just past its header, which the leak checker
    // does not count as a reference: what begin keeps is left out of its count.
    __lsan_disable();
    BrCoreBegin();
    __lsan_enable();
    BrFilesystemSet(&fuzz::memfs);
    return 0;
}
