// File handles over the installed filesystem record, and the lexer's file input.
#include <stddef.h>
#include <string.h>

#include "brondel/brfile.h"
#include "fwstate.h"

namespace {

struct br_file {
    void *raw;
    br_boolean writing;
    int mode;          // reading: the open mode chosen; writing: the text flag
    br_boolean failed; // a write came short
    char name[1];
};

// Closes the raw handle of a file open for writing through the installed filesystem. A file of the
// standard filesystem (also under a filesystem that copies its record) goes in place only when every
// write went in, and says whether it did; of another filesystem's files only a short write is known.
br_boolean close_written(void *raw, br_boolean keep)
{
    if (!BrFwStdFileWriting(raw, keep)) {
        br_fw.fsys->close(raw);
        return keep;
    }
    br_fw.std_write_ok = 0;
    br_fw.fsys->close(raw);
    return br_fw.std_write_ok;
}

br_file *wrap(void *raw, br_boolean writing, int mode, const char *name)
{
    br_size_t len = strlen(name);
    br_file *f = (br_file *)BrResAllocate(br_fw.res, offsetof(br_file, name) + len + 1, BR_MEMORY_FILE);
    if (f == nullptr) {
        if (writing)
            close_written(raw, 0);
        else
            br_fw.fsys->close(raw);
        return nullptr;
    }
    f->raw = raw;
    f->writing = writing;
    f->mode = mode;
    memcpy(f->name, name, len + 1);
    return f;
}

void *raw_of(void *f)
{
    return ((br_file *)f)->raw;
}

} // namespace

void BrFwFileFree(void *res, br_uint_8 res_class, br_size_t size)
{
    br_file *f = (br_file *)res;
    if (f->raw != nullptr && br_fw.fsys != nullptr) {
        if (f->writing)
            close_written(f->raw, !f->failed);
        else
            br_fw.fsys->close(f->raw);
    }
    f->raw = nullptr;
}

br_boolean BrFwFileCloseWritten(void *vf, br_boolean keep)
{
    br_file *f = (br_file *)vf;
    br_boolean ok = keep && !f->failed;
    if (f->writing && f->raw != nullptr && br_fw.fsys != nullptr)
        ok = close_written(f->raw, ok);
    f->raw = nullptr;
    BrResFree(f);
    return ok;
}

void *BrFileOpenRead(const char *name, br_size_t n_magics, br_mode_test_cbfn *identify, int *mode_result)
{
    if (name == nullptr || br_fw.fsys == nullptr || br_fw.res == nullptr)
        return nullptr;
    int mode = 0;
    int *mp = mode_result ? mode_result : &mode;
    void *raw = br_fw.fsys->open_read(name, n_magics, identify, mp);
    if (raw == nullptr)
        return nullptr;
    return wrap(raw, 0, *mp, name);
}

void *BrFileOpenWrite(const char *name, int text)
{
    if (name == nullptr || br_fw.fsys == nullptr || br_fw.res == nullptr)
        return nullptr;
    void *raw = br_fw.fsys->open_write(name, text);
    if (raw == nullptr)
        return nullptr;
    return wrap(raw, 1, text, name);
}

void BrFileClose(void *f)
{
    BrResFree(f);
}

br_uint_32 BrFileAttributes(void)
{
    return br_fw.fsys->attributes();
}

int BrFileEof(void *f)
{
    return br_fw.fsys->eof(raw_of(f));
}

int BrFileGetChar(void *f)
{
    return br_fw.fsys->getchr(raw_of(f));
}

void BrFilePutChar(int c, void *f)
{
    br_fw.fsys->putchr(c, raw_of(f));
}

br_size_t BrFileRead(void *buf, br_size_t size, br_size_t n, void *f)
{
    return br_fw.fsys->read(buf, size, n, raw_of(f));
}

br_size_t BrFileWrite(const void *buf, br_size_t size, br_size_t n, void *f)
{
    br_size_t done = br_fw.fsys->write(buf, size, n, raw_of(f));
    if (size != 0 && done < n)
        ((br_file *)f)->failed = 1;
    return done;
}

br_size_t BrFileGetLine(char *buf, br_size_t buf_len, void *f)
{
    return br_fw.fsys->getline(buf, buf_len, raw_of(f));
}

void BrFilePutLine(const char *buf, void *f)
{
    br_fw.fsys->putline(buf, raw_of(f));
}

void BrFileAdvance(br_size_t count, void *f)
{
    br_fw.fsys->advance(count, raw_of(f));
}

int BrFilePrintf(void *f, const char *fmt, ...)
{
    char *text = BrScratchString();
    va_list args;
    va_start(args, fmt);
    br_int_32 n = BrVSprintfN(text, BrScratchStringSize(), fmt, args);
    va_end(args);
    return (int)BrFileWrite(text, 1, n, f);
}

void *BrFwFileOpenText(const char *name)
{
    int mode = BR_FS_MODE_TEXT;
    return BrFileOpenRead(name, 0, nullptr, &mode);
}

int BrFwFileGetChar(void *file)
{
    return BrFileGetChar(file);
}
