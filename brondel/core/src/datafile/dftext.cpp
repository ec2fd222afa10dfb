// The text form: one line per chunk header, count, name and record member, blocks as hex lines.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "dfmember.h"

namespace {

// Lines hold at most this many characters; the rest of a longer line is dropped.
constexpr br_size_t line_max = 256;

struct Line {
    char buf[line_max + 1];
    char *first;
    char *second;
};

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Splits a line into its first two words. A second word starting with a double quote runs to the
// next double quote (dropped) and keeps the opening one.
void split(Line &l)
{
    char *p = l.buf;
    while (is_blank(*p))
        p++;
    l.first = p;
    while (*p != '\0' && !is_blank(*p))
        p++;
    if (*p != '\0')
        *p++ = '\0';
    while (is_blank(*p))
        p++;
    l.second = p;
    if (*p == '"') {
        char *q = strchr(p + 1, '"');
        if (q != nullptr)
            *q = '\0';
    } else {
        while (*p != '\0' && !is_blank(*p))
            p++;
        *p = '\0';
    }
}

// The next line that holds a word; false at end of file.
bool read_line(br_datafile *df, Line &l)
{
    for (;;) {
        if (df_io_getline(l.buf, sizeof(l.buf), df->h) < 0)
            return false;
        split(l);
        if (l.first[0] != '\0')
            return true;
    }
}

int64_t to_int(const char *s)
{
    return (int64_t)strtoll(s, nullptr, 0);
}

std::string fmt_g(double v)
{
    char b[64];
    snprintf(b, sizeof(b), "%g", v);
    return b;
}

const DfEnumList *enum_list(const DfStructMember *m)
{
    return (const DfEnumList *)m->extra;
}

// Value text of a member; nested records are written by the caller.
std::string value_text(br_datafile *df, const DfStructMember *m, br_uint_32 t, const br_uint_8 *p)
{
    char b[96];
    if (t == DF_TYPE_ASCIZ) {
        const char *s = df_load<const char *>(p);
        if (s == nullptr)
            return "NULL";
        std::string quoted(1, '"');
        quoted.append(s);
        quoted.push_back('"');
        return quoted;
    }
    if (t == DF_TYPE_COLOUR) {
        br_uint_32 c = df_load<br_uint_32>(p);
        snprintf(b, sizeof(b), "%d,%d,%d", (int)((c >> 16) & 0xff), (int)((c >> 8) & 0xff), (int)(c & 0xff));
        return b;
    }
    if (t == DF_TYPE_ANGLE)
        return fmt_g(df_load<br_uint_16>(p) * 360.0 / 65536.0);
    if (df_is_enum(t)) {
        br_int_32 v = (br_int_32)df_int_get(p, t);
        const DfEnumList *e = enum_list(m);
        for (br_uint_32 i = 0; e != nullptr && i < e->count; i++)
            if (e->pairs[i].value == v)
                return e->pairs[i].name;
        BrFailure("Unknown enum %d", v);
        snprintf(b, sizeof(b), "%d", v);
        return b;
    }
    bool s;
    if (df_int_width(t, &s) != 0) {
        snprintf(b, sizeof(b), "%lld", (long long)df_int_get(p, t));
        return b;
    }
    if (df_is_real(t))
        return fmt_g(df_real_get(p, t));
    if (int n = df_vector_elements(t)) {
        std::string out;
        for (int e = 0; e < n; e++) {
            if (e > 0)
                out += ",";
            out += fmt_g(df_is_fixed_vector(t) ? df_load<br_int_32>(p + 4 * e) / 65536.0
                                               : (double)df_load<float>(p + 4 * e));
        }
        return out;
    }
    return "";
}

// A member is handled under its mapped type; an unmapped scalar form writes and reads nothing.
bool handled(br_uint_32 t)
{
    return t < DF_TYPE_MAX && t != DF_TYPE_SCALAR && t != DF_TYPE_FRACTION && t != DF_TYPE_UFRACTION &&
           !(t >= DF_TYPE_VECTOR2 && t <= DF_TYPE_VECTOR4);
}

void write_members(br_datafile *df, const DfStructTemplate *str, const br_uint_8 *base, int indent)
{
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        const DfStructMember *m = &str->members[i];
        br_uint_32 t = df_member_type(df, m->type);
        if (!handled(t))
            continue;
        const br_uint_8 *p = base + m->offset;
        const char *type_name = df_member_type_name(t);
        std::string line(indent, ' ');
        char b[32];
        snprintf(b, sizeof(b), "%-10s", type_name);
        line += b;
        // A type name that fills its column still needs a space before the value.
        if (strlen(type_name) >= 10)
            line += ' ';
        std::string value = t == DF_TYPE_STRUCT ? ((const DfStructTemplate *)m->extra)->name
                                                : value_text(df, m, t, p);
        line += value;
        if (m->name != nullptr) {
            if (value.size() < 40)
                line.append(40 - value.size(), ' ');
            line += " # ";
            line += m->name;
        }
        line += '\n';
        df_io_write(line.data(), line.size(), df->h);
        if (t == DF_TYPE_STRUCT)
            write_members(df, (const DfStructTemplate *)m->extra, p, indent + 2);
    }
}

// Values separated by commas; false when fewer than n are there.
bool split_values(const char *s, double *out, int n)
{
    for (int i = 0; i < n; i++) {
        if (*s == '\0')
            return false;
        char *end;
        out[i] = strtod(s, &end);
        if (end == s)
            return false;
        s = end;
        if (i + 1 < n) {
            if (*s != ',')
                return false;
            s++;
        }
    }
    return true;
}

void read_value(br_datafile *df, const DfStructMember *m, br_uint_32 t, br_uint_8 *p, const char *w)
{
    bool s;
    if (t == DF_TYPE_ASCIZ) {
        df_store<char *>(p, w[0] == '"' ? BrResStrDup(df_res_parent(df), w + 1) : nullptr);
    } else if (t == DF_TYPE_COLOUR) {
        const char *c1 = strchr(w, ',');
        const char *c2 = c1 != nullptr ? strchr(c1 + 1, ',') : nullptr;
        if (c2 == nullptr) {
            BrFailure("Incorrect colour");
            df_store<br_uint_32>(p, 0);
            return;
        }
        br_uint_32 r = (br_uint_32)to_int(w), g = (br_uint_32)to_int(c1 + 1), b = (br_uint_32)to_int(c2 + 1);
        df_store<br_uint_32>(p, ((r & 0xff) << 16) | ((g & 0xff) << 8) | (b & 0xff));
    } else if (t == DF_TYPE_ANGLE) {
        double deg = strtod(w, nullptr);
        if (!(deg > -1e9 && deg < 1e9))
            deg = 0;
        df_store<br_uint_16>(p, (br_uint_16)(llround(deg * 65536.0 / 360.0) & 0xffff));
    } else if (df_is_enum(t)) {
        const DfEnumList *e = enum_list(m);
        for (br_uint_32 i = 0; e != nullptr && i < e->count; i++)
            if (strcmp(e->pairs[i].name, w) == 0) {
                df_int_set(p, t, e->pairs[i].value);
                return;
            }
        BrFailure("Unknown enum string: %s", w);
        df_int_set(p, t, 0);
    } else if (df_int_width(t, &s) != 0) {
        df_int_set(p, t, to_int(w));
    } else if (df_is_real(t)) {
        df_real_set(p, t, strtod(w, nullptr));
    } else if (int n = df_vector_elements(t)) {
        double v[4] = {0, 0, 0, 0};
        if (!split_values(w, v, n))
            BrFailure("Incorrect vector");
        for (int e = 0; e < n; e++) {
            if (df_is_fixed_vector(t))
                df_real_set(p + 4 * e, DF_TYPE_FIXED, v[e]);
            else
                df_store<float>(p + 4 * e, df_to_float(v[e]));
        }
    }
}

bool read_members(br_datafile *df, const DfStructTemplate *str, br_uint_8 *base)
{
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        const DfStructMember *m = &str->members[i];
        br_uint_32 t = df_member_type(df, m->type);
        if (!handled(t))
            continue;
        br_uint_8 *p = base + m->offset;
        Line l;
        if (!read_line(df, l)) {
            BrFailure("Unexpected EOF in strructure");
            return false;
        }
        if (strcmp(l.first, df_member_type_name(t)) != 0)
            BrFailure("Unknown member identifer \"%s\"", l.first);
        if (t == DF_TYPE_STRUCT) {
            const DfStructTemplate *nested = (const DfStructTemplate *)m->extra;
            if (strcmp(l.second, nested->name) != 0)
                BrFailure("Incorrect structure name \"%s\"", l.second);
            if (!read_members(df, nested, p))
                return false;
        } else {
            read_value(df, m, t, p, l.second);
        }
    }
    return true;
}

br_uint_32 member_lines(br_datafile *df, const DfStructTemplate *str)
{
    br_uint_32 lines = 0;
    for (br_uint_32 i = 0; i < str->nmembers; i++) {
        br_uint_32 t = df_member_type(df, str->members[i].type);
        if (!handled(t))
            continue;
        lines++;
        if (t == DF_TYPE_STRUCT)
            lines += member_lines(df, (const DfStructTemplate *)str->members[i].extra);
    }
    return lines;
}

int text_skip(br_datafile *df, br_uint_32 length)
{
    char buf[line_max + 1];
    for (br_uint_32 i = 0; i < length; i++)
        if (df_io_getline(buf, sizeof(buf), df->h) < 0)
            break;
    return 0;
}

int text_chunk_write(br_datafile *df, br_uint_32 id, br_uint_32 length)
{
    if (id < FID_MAX)
        df_io_printf(df->h, "*%-16s %d\n", df_chunk_name(id), (int)length);
    else
        df_io_printf(df->h, "*0x%08x %d\n", id, (int)length);
    return 0;
}

br_int_32 text_chunk_read(br_datafile *df, br_uint_32 *plength)
{
    Line l;
    if (plength != nullptr)
        *plength = 0;
    if (!read_line(df, l))
        return -1;
    if (l.first[0] != '*') {
        BrFailure("Chunk ID not found");
        return -1;
    }
    br_int_32 id;
    if (l.first[1] == '0') {
        id = (br_int_32)strtoul(l.first + 1, nullptr, 0);
    } else {
        id = df_chunk_lookup(l.first + 1);
        if (id < 0) {
            BrFailure("Chunk ID not known: %s", l.first + 1);
            id = 0x7fffffff; // no table holds it: the chunk is skipped
        }
    }
    br_uint_32 length = (br_uint_32)strtoul(l.second, nullptr, 0);
    df->chunk_length = length;
    if (plength != nullptr)
        *plength = length;
    return id;
}

int text_count_write(br_datafile *df, br_uint_32 count)
{
    df_io_printf(df->h, " count %d\n", (int)count);
    return 0;
}

br_uint_32 text_count_read(br_datafile *df)
{
    Line l;
    if (!read_line(df, l) || strcmp(l.first, "count") != 0) {
        BrFailure("no element count for chunk");
        return 0;
    }
    return (br_uint_32)to_int(l.second);
}

br_uint_32 text_count_size(br_datafile *)
{
    return 1;
}

int text_struct_write(br_datafile *df, const DfStructTemplate *str, void *base)
{
    df_io_printf(df->h, "  struct    %s\n", str->name);
    write_members(df, str, (const br_uint_8 *)base, 4);
    return 1;
}

int text_struct_read(br_datafile *df, const DfStructTemplate *str, void *base)
{
    Line l;
    if (!read_line(df, l)) {
        BrFailure("Unexpected EOF in strructure");
        return 0;
    }
    if (strcmp(l.first, "struct") != 0) {
        BrFailure("Unknown text identifer \"%s\"", l.first);
        return 0;
    }
    if (strcmp(l.second, str->name) != 0)
        BrFailure("Incorrect structure name \"%s\"", l.second);
    return read_members(df, str, (br_uint_8 *)base) ? 1 : 0;
}

br_uint_32 text_struct_size(br_datafile *df, const DfStructTemplate *str, void *)
{
    return 1 + member_lines(df, str);
}

int text_block_write(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                     br_uint_32 block_count, br_uint_32 size)
{
    df_io_printf(df->h, "  block %d\n", (int)(block_size * block_count));
    df_io_printf(df->h, "  size %d\n", (int)size);
    br_size_t at = 0;
    std::string line;
    df_block_walk(base, block_size, block_stride, block_count, size, [&](const br_uint_8 *piece, br_size_t n) {
        for (br_size_t i = 0; i < n; i++, at++) {
            char b[16];
            if (at % 32 == 0) {
                snprintf(b, sizeof(b), "    %08x: ", (unsigned)at);
                line += b;
            }
            snprintf(b, sizeof(b), "%02x", piece[i]);
            line += b;
            if (at % 32 == 31) {
                line += '\n';
                df_io_write(line.data(), line.size(), df->h);
                line.clear();
            }
        }
    });
    // A last partial line.
    if (!line.empty()) {
        line += '\n';
        df_io_write(line.data(), line.size(), df->h);
    }
    return 0;
}

void *text_block_read(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype)
{
    return DfBlockReadText(df, base, count, size, mtype);
}

br_uint_32 text_block_size(br_datafile *, const void *, br_uint_32 block_size, br_int_32, br_uint_32 block_count,
                           br_uint_32 size)
{
    return (block_size * block_count * size + 31) / 32 + 2;
}

int text_name_write(br_datafile *df, const char *name)
{
    df_io_puts("  name \"", df->h);
    df_io_puts(name != nullptr ? name : "NULL", df->h);
    df_io_puts("\"\n", df->h);
    return 0;
}

char *text_name_read(br_datafile *df, char *name)
{
    Line l;
    name[0] = '\0';
    if (!read_line(df, l) || strcmp(l.first, "name") != 0) {
        BrFailure("no name");
        return name;
    }
    if (l.second[0] != '"') {
        BrFailure("no name string");
        return name;
    }
    strncpy(name, l.second + 1, 255);
    name[255] = '\0';
    return name;
}

br_uint_32 text_name_size(br_datafile *, const char *)
{
    return 1;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void *DfBlockReadText(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype)
{
    Line l;
    br_uint_32 room = *count;
    *count = 0;
    if (!read_line(df, l) || strcmp(l.first, "block") != 0) {
        BrFailure("no block");
        return nullptr;
    }
    br_uint_32 file_count = (br_uint_32)to_int(l.second);
    if (!read_line(df, l) || strcmp(l.first, "size") != 0) {
        BrFailure("no size");
        return nullptr;
    }
    br_uint_32 file_size = (br_uint_32)to_int(l.second);
    // The chunk length counts lines: each holds 32 bytes, and two hold the block's header.
    uint64_t bytes;
    uint64_t limit = df->chunk_length >= 2 ? ((uint64_t)df->chunk_length - 2) * 32 : 0;
    if (!df_block_check("DfBlockReadText", file_count, file_size, size, &bytes,
                        limit > 0xffffffffu ? 0xffffffffu : (br_uint_32)limit))
        return nullptr;
    std::vector<br_uint_8> data;
    data.reserve(bytes < 65536 ? (size_t)bytes : 65536);
    while (data.size() < bytes) {
        if (!read_line(df, l)) {
            BrFailure("DfBlockReadText: block cut short");
            return nullptr;
        }
        if (strtoul(l.first, nullptr, 16) != data.size()) {
            BrFailure("block address mismatch");
            return nullptr;
        }
        const char *p = l.second;
        size_t before = data.size();
        while (data.size() < bytes && hex_digit(p[0]) >= 0 && hex_digit(p[1]) >= 0) {
            data.push_back((br_uint_8)(hex_digit(p[0]) * 16 + hex_digit(p[1])));
            p += 2;
        }
        if (data.size() == before) {
            BrFailure("DfBlockReadText: block cut short");
            return nullptr;
        }
    }
    br_uint_32 stored = file_count;
    if (base == nullptr) {
        base = BrResAllocate(df_res_parent(df), (br_size_t)bytes, mtype);
        if (base == nullptr)
            return nullptr;
    } else if (stored > room) {
        BrFailure("DfBlockReadText: block too long: %u", stored);
        stored = room;
    }
    if (stored > 0)
        memcpy(base, data.data(), (size_t)stored * size);
    df_block_swap(base, stored, size);
    *count = stored;
    return base;
}

const br_file_primitives DfTextReadPrimitives = {
    "Read Text",
    text_skip,
    df_null_chunk_write,
    text_chunk_read,
    df_null_count_write,
    text_count_read,
    text_count_size,
    df_null_struct_write,
    text_struct_read,
    text_struct_size,
    df_null_block_write,
    text_block_read,
    text_block_size,
    df_null_name_write,
    text_name_read,
    text_name_size,
};

const br_file_primitives DfTextWritePrimitives = {
    "Write Text",
    text_skip,
    text_chunk_write,
    df_null_chunk_read,
    text_count_write,
    df_null_count_read,
    text_count_size,
    text_struct_write,
    df_null_struct_read,
    text_struct_size,
    text_block_write,
    df_null_block_read,
    text_block_size,
    text_name_write,
    df_null_name_read,
    text_name_size,
};
