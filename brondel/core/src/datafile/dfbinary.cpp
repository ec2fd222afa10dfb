// The binary form: chunks, counts, records, blocks and names, every value most significant byte first.
#include <string>
#include <vector>

#include "dfmember.h"

namespace {

// Bytes gathered for one write.
struct Out {
    std::string b;
    void u8(br_uint_32 v) { b.push_back((char)(v & 0xff)); }
    void be(uint64_t v, int n)
    {
        for (int i = n - 1; i >= 0; i--)
            b.push_back((char)((v >> (8 * i)) & 0xff));
    }
    void f32(double v)
    {
        float f = df_to_float(v);
        be(df_load<br_uint_32>(&f), 4);
    }
};

// Reads n bytes big-endian; false (and 0) at end of file.
bool get_be(br_datafile *df, int n, uint64_t *v)
{
    br_uint_8 b[8];
    *v = 0;
    if (df_io_read(b, (br_size_t)n, df->h) != (br_size_t)n)
        return false;
    for (int i = 0; i < n; i++)
        *v = (*v << 8) | b[i];
    return true;
}

bool get_f32(br_datafile *df, float *f)
{
    uint64_t v;
    bool ok = get_be(df, 4, &v);
    br_uint_32 w = (br_uint_32)v;
    memcpy(f, &w, 4);
    return ok;
}

// A string up to its 0 byte, keeping at most max characters; false when the file ended first.
bool get_string(br_datafile *df, char *buf, size_t max)
{
    size_t n = 0;
    for (;;) {
        int c = df_io_getc(df->h);
        if (c == -1 || c == 0) {
            buf[n] = '\0';
            return c == 0;
        }
        if (n < max)
            buf[n++] = (char)c;
    }
}

void write_members(br_datafile *df, const DfStructTemplate *str, const br_uint_8 *base, Out &o)
{
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        const DfStructMember *m = &str->members[i];
        br_uint_32 t = df_member_type(df, m->type);
        const br_uint_8 *p = base + m->offset;
        bool s;
        if (t == DF_TYPE_STRUCT) {
            write_members(df, (const DfStructTemplate *)m->extra, p, o);
        } else if (t == DF_TYPE_ASCIZ) {
            const char *str_value = df_load<const char *>(p);
            if (str_value != nullptr)
                o.b.append(str_value);
            o.u8(0);
        } else if (t == DF_TYPE_COLOUR) {
            o.be(df_load<br_uint_32>(p) & 0xffffff, 3);
        } else if (int w = df_int_width(t, &s)) {
            o.be((uint64_t)df_int_get(p, t), w);
        } else if (t == DF_TYPE_DOUBLE) {
            o.be(df_load<uint64_t>(p), 8);
        } else if (t == DF_TYPE_FLOAT || t == DF_TYPE_FLOAT_FRACTION || t == DF_TYPE_FLOAT_UFRACTION) {
            o.be(df_load<br_uint_32>(p), 4);
        } else if (df_is_real(t)) {
            o.f32(df_real_get(p, t));
        } else if (int n = df_vector_elements(t)) {
            for (int e = 0; e < n; e++) {
                if (df_is_fixed_vector(t))
                    o.f32(df_load<br_int_32>(p + 4 * e) / 65536.0);
                else
                    o.be(df_load<br_uint_32>(p + 4 * e), 4);
            }
        }
    }
}

// False when the file ended inside the record.
bool read_members(br_datafile *df, const DfStructTemplate *str, br_uint_8 *base)
{
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        const DfStructMember *m = &str->members[i];
        br_uint_32 t = df_member_type(df, m->type);
        br_uint_8 *p = base + m->offset;
        uint64_t v;
        bool s;
        if (t == DF_TYPE_STRUCT) {
            if (!read_members(df, (const DfStructTemplate *)m->extra, p))
                return false;
        } else if (t == DF_TYPE_ASCIZ) {
            char buf[256];
            bool ended = get_string(df, buf, 255);
            df_store<char *>(p, buf[0] != '\0' ? BrResStrDup(df_res_parent(df), buf) : nullptr);
            if (!ended)
                return false;
        } else if (t == DF_TYPE_COLOUR) {
            if (!get_be(df, 3, &v))
                return false;
            df_store<br_uint_32>(p, (br_uint_32)v);
        } else if (int w = df_int_width(t, &s)) {
            if (!get_be(df, w, &v))
                return false;
            df_int_set(p, t, (int64_t)v);
        } else if (t == DF_TYPE_DOUBLE) {
            if (!get_be(df, 8, &v))
                return false;
            df_store<uint64_t>(p, v);
        } else if (t == DF_TYPE_FLOAT || t == DF_TYPE_FLOAT_FRACTION || t == DF_TYPE_FLOAT_UFRACTION) {
            if (!get_be(df, 4, &v))
                return false;
            df_store<br_uint_32>(p, (br_uint_32)v);
        } else if (df_is_real(t)) {
            float f;
            if (!get_f32(df, &f))
                return false;
            df_real_set(p, t, f);
        } else if (int n = df_vector_elements(t)) {
            for (int e = 0; e < n; e++) {
                float f;
                if (!get_f32(df, &f))
                    return false;
                if (df_is_fixed_vector(t))
                    df_real_set(p + 4 * e, DF_TYPE_FIXED, f);
                else
                    df_store<float>(p + 4 * e, f);
            }
        }
    }
    return true;
}

br_uint_32 members_size(br_datafile *df, const DfStructTemplate *str, const br_uint_8 *base)
{
    br_uint_32 total = 0;
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        const DfStructMember *m = &str->members[i];
        br_uint_32 t = df_member_type(df, m->type);
        const br_uint_8 *p = base + m->offset;
        bool s;
        if (t == DF_TYPE_STRUCT) {
            total += members_size(df, (const DfStructTemplate *)m->extra, p);
        } else if (t == DF_TYPE_ASCIZ) {
            const char *str_value = df_load<const char *>(p);
            total += (str_value != nullptr ? (br_uint_32)strlen(str_value) : 0) + 1;
        } else if (t == DF_TYPE_COLOUR) {
            total += 3;
        } else if (int w = df_int_width(t, &s)) {
            total += w;
        } else if (t == DF_TYPE_DOUBLE) {
            total += 8;
        } else if (df_is_real(t)) {
            total += 4;
        } else if (int n = df_vector_elements(t)) {
            total += 4 * n;
        }
    }
    return total;
}

int bin_skip(br_datafile *df, br_uint_32 length)
{
    df_io_advance(length, df->h);
    return 0;
}

int bin_chunk_write(br_datafile *df, br_uint_32 id, br_uint_32 length)
{
    Out o;
    o.be(id, 4);
    o.be(length, 4);
    df_io_write(o.b.data(), o.b.size(), df->h);
    return 0;
}

br_int_32 bin_chunk_read(br_datafile *df, br_uint_32 *plength)
{
    uint64_t id, length;
    if (!get_be(df, 4, &id) || !get_be(df, 4, &length)) {
        if (plength != nullptr)
            *plength = 0;
        return -1;
    }
    df->chunk_length = (br_uint_32)length;
    if (plength != nullptr)
        *plength = (br_uint_32)length;
    return (br_int_32)id;
}

int bin_count_write(br_datafile *df, br_uint_32 count)
{
    Out o;
    o.be(count, 4);
    df_io_write(o.b.data(), o.b.size(), df->h);
    return 0;
}

br_uint_32 bin_count_read(br_datafile *df)
{
    uint64_t v;
    get_be(df, 4, &v);
    return (br_uint_32)v;
}

br_uint_32 bin_count_size(br_datafile *)
{
    return 4;
}

int bin_struct_write(br_datafile *df, const DfStructTemplate *str, void *base)
{
    Out o;
    write_members(df, str, (const br_uint_8 *)base, o);
    df_io_write(o.b.data(), o.b.size(), df->h);
    return 1;
}

int bin_struct_read(br_datafile *df, const DfStructTemplate *str, void *base)
{
    return read_members(df, str, (br_uint_8 *)base) ? 1 : 0;
}

br_uint_32 bin_struct_size(br_datafile *df, const DfStructTemplate *str, void *base)
{
    return members_size(df, str, (const br_uint_8 *)base);
}

int bin_block_write(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                    br_uint_32 block_count, br_uint_32 size)
{
    if ((int64_t)block_size * size == block_stride) {
        block_size *= block_count;
        block_count = 1;
    }
    Out o;
    o.be((br_uint_32)(block_size * block_count), 4);
    o.be(size, 4);
    df_io_write(o.b.data(), o.b.size(), df->h);
    if (size == 1 && block_count == 1) {
        df_io_write(base, block_size, df->h);
        return 0;
    }
    df_block_walk(base, block_size, block_stride, block_count, size,
                  [df](const br_uint_8 *piece, br_size_t n) { df_io_write(piece, n, df->h); });
    return 0;
}

void *bin_block_read(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype)
{
    return DfBlockReadBinary(df, base, count, size, mtype);
}

br_uint_32 bin_block_size(br_datafile *, const void *, br_uint_32 block_size, br_int_32, br_uint_32 block_count,
                          br_uint_32 size)
{
    return block_size * block_count * size + 8;
}

int bin_name_write(br_datafile *df, const char *name)
{
    if (name != nullptr)
        df_io_write(name, strlen(name), df->h);
    df_io_write("", 1, df->h);
    return 0;
}

char *bin_name_read(br_datafile *df, char *name)
{
    get_string(df, name, 255);
    return name;
}

br_uint_32 bin_name_size(br_datafile *, const char *name)
{
    return (name != nullptr ? (br_uint_32)strlen(name) : 0) + 1;
}

} // namespace

// The block's bytes are read in steps, so a count that the file cannot back never allocates much.
void *DfBlockReadBinary(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype)
{
    uint64_t file_count, file_size, bytes;
    if (!get_be(df, 4, &file_count) || !get_be(df, 4, &file_size)) {
        *count = 0;
        return nullptr;
    }
    br_uint_32 limit = df->chunk_length >= 8 ? df->chunk_length - 8 : 0;
    if (!df_block_check("DfBlockReadBinary", (br_uint_32)file_count, (br_uint_32)file_size, size, &bytes, limit)) {
        *count = 0;
        return nullptr;
    }
    std::vector<br_uint_8> data;
    for (uint64_t done = 0; done < bytes;) {
        size_t step = bytes - done < 65536 ? (size_t)(bytes - done) : 65536;
        data.resize(done + step);
        if (df_io_read(data.data() + done, step, df->h) != step) {
            BrFailure("DfBlockReadBinary: block cut short");
            *count = 0;
            return nullptr;
        }
        done += step;
    }
    br_uint_32 stored = (br_uint_32)file_count;
    if (base == nullptr) {
        base = BrResAllocate(df_res_parent(df), (br_size_t)bytes, mtype);
        if (base == nullptr) {
            *count = 0;
            return nullptr;
        }
    } else if (stored > *count) {
        BrFailure("DfBlockReadBinary: block too long: %u", stored);
        stored = *count;
    }
    if (stored > 0)
        memcpy(base, data.data(), (size_t)stored * size);
    df_block_swap(base, stored, size);
    *count = stored;
    return base;
}

const br_file_primitives DfBinaryReadPrimitives = {
    "Read Binary",
    bin_skip,
    df_null_chunk_write,
    bin_chunk_read,
    df_null_count_write,
    bin_count_read,
    bin_count_size,
    df_null_struct_write,
    bin_struct_read,
    bin_struct_size,
    df_null_block_write,
    bin_block_read,
    bin_block_size,
    df_null_name_write,
    bin_name_read,
    bin_name_size,
};

const br_file_primitives DfBinaryWritePrimitives = {
    "Write Binary",
    bin_skip,
    bin_chunk_write,
    df_null_chunk_read,
    bin_count_write,
    df_null_count_read,
    bin_count_size,
    bin_struct_write,
    df_null_struct_read,
    bin_struct_size,
    bin_block_write,
    df_null_block_read,
    bin_block_size,
    bin_name_write,
    df_null_name_read,
    bin_name_size,
};
