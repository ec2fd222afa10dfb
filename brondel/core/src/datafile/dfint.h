/* Internal pieces of the datafile reader and writer shared by its files. */
#ifndef BRONDEL_DFINT_H
#define BRONDEL_DFINT_H

#include <stdint.h>

#include "brondel/brcore.h"
#include "brondel/brdatafile.h"

/* The byte stream under a datafile: the framework's files. */
enum df_io_mode { DF_IO_BINARY = 0, DF_IO_TEXT = 1, DF_IO_UNKNOWN = 2 };

/* Opens for reading and tells the form from the first bytes; null for a missing or empty file. */
void *df_io_open_read(const char *name, df_io_mode *mode);
void *df_io_open_write(const char *name, int text);
void df_io_close(void *h);
/* Closes a file opened for writing: whether all that was written is in place (keep clear abandons it). */
br_boolean df_io_close_written(void *h, br_boolean keep);
br_size_t df_io_read(void *buf, br_size_t n, void *h);
void df_io_write(const void *buf, br_size_t n, void *h);
int df_io_getc(void *h);
void df_io_advance(br_size_t n, void *h);
/* One line without its end, at most size - 1 characters kept, the rest of a longer line dropped;
 * -1 at end of file. */
long df_io_getline(char *buf, br_size_t size, void *h);

/* Text output helpers: the formatted text is written whole, however long. */
void df_io_puts(const char *s, void *h);
int df_io_printf(void *h, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

/* The invalid-call operations: each reports a fatal error and, when the handler returns, answers as
 * an empty file would. */
int df_null_skip(br_datafile *df, br_uint_32 length);
int df_null_chunk_write(br_datafile *df, br_uint_32 id, br_uint_32 length);
br_int_32 df_null_chunk_read(br_datafile *df, br_uint_32 *plength);
int df_null_count_write(br_datafile *df, br_uint_32 count);
br_uint_32 df_null_count_read(br_datafile *df);
br_uint_32 df_null_count_size(br_datafile *df);
int df_null_struct_write(br_datafile *df, const DfStructTemplate *str, void *base);
int df_null_struct_read(br_datafile *df, const DfStructTemplate *str, void *base);
br_uint_32 df_null_struct_size(br_datafile *df, const DfStructTemplate *str, void *base);
int df_null_block_write(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                        br_uint_32 block_count, br_uint_32 size);
void *df_null_block_read(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype);
br_uint_32 df_null_block_size(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                              br_uint_32 block_count, br_uint_32 size);
int df_null_name_write(br_datafile *df, const char *name);
char *df_null_name_read(br_datafile *df, char *name);
br_uint_32 df_null_name_size(br_datafile *df, const char *name);

extern const br_file_primitives DfNullPrimitives;
extern const br_file_primitives DfBinaryReadPrimitives;
extern const br_file_primitives DfBinaryWritePrimitives;
extern const br_file_primitives DfTextReadPrimitives;
extern const br_file_primitives DfTextWritePrimitives;

/* The type a member is handled under: scalar forms mapped by the datafile's scalar type. Reports
 * "Incorrect scalar type" and answers the type unchanged for another scalar type. */
br_uint_32 df_member_type(const br_datafile *df, br_uint_32 type);

/* Names of the chunk ids and of the member types (null past the tables). */
const char *df_chunk_name(br_uint_32 id);
const char *df_member_type_name(br_uint_32 type);
/* The chunk id of a name; -1 when none. */
br_int_32 df_chunk_lookup(const char *name);

/* The parent of what a read allocates. */
void *df_res_parent(const br_datafile *df);

/* Walks a block (rows of elements with a byte stride) in file order, each element's bytes reversed
 * (big-endian), handing it to emit(bytes, n) in pieces of a small buffer of its own: writing a block
 * needs neither the scratch block nor any allocation. */
template <class Emit>
void df_block_walk(const void *base, br_uint_32 block_size, br_int_32 block_stride, br_uint_32 block_count,
                   br_uint_32 size, Emit emit)
{
    br_uint_8 piece[4096];
    br_size_t n = 0;
    const br_uint_8 *src = (const br_uint_8 *)base;
    for (br_uint_32 r = 0; r < block_count; r++) {
        const br_uint_8 *s = src + (intptr_t)r * block_stride;
        for (br_uint_32 e = 0; e < block_size; e++, s += size)
            for (br_uint_32 b = size; b-- > 0;) {
                piece[n++] = s[b];
                if (n == sizeof(piece)) {
                    emit(piece, n);
                    n = 0;
                }
            }
    }
    if (n > 0)
        emit(piece, n);
}
/* Checks a block header read from a file: the element size and that count x size fits what the
 * chunk can hold. Reports and answers false when it does not. */
bool df_block_check(const char *who, br_uint_32 file_count, br_uint_32 file_size, br_uint_32 size,
                    uint64_t *bytes, br_uint_32 limit);
/* Reverses the bytes of each element of a block in place (big-endian file order to memory). */
void df_block_swap(void *block, br_size_t count, br_uint_32 size);

/* Clamped conversions between file floats and fixed-point memory forms. */
br_int_32 df_float_to_fixed(double f, double one, int64_t lo, int64_t hi);

#endif
