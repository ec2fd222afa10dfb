/* Datafiles: chunks of counts, names, records and blocks in a binary (big-endian) or a text form,
 * the struct templates that describe records, and the stack through which chunk handlers pass the
 * objects they make. */
#ifndef BRONDEL_BRDATAFILE_H
#define BRONDEL_BRDATAFILE_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Member types of struct templates; the names are those written in text files. */
enum {
    DF_TYPE_INT_8 = 0,
    DF_TYPE_UINT_8 = 1,
    DF_TYPE_INT_16 = 2,
    DF_TYPE_UINT_16 = 3,
    DF_TYPE_INT_32 = 4,
    DF_TYPE_UINT_32 = 5,
    DF_TYPE_FIXED = 6,
    DF_TYPE_ANGLE = 7,
    DF_TYPE_FLOAT = 8,
    DF_TYPE_DOUBLE = 9,
    DF_TYPE_SCALAR = 10,
    DF_TYPE_FRACTION = 11,
    DF_TYPE_UFRACTION = 12,
    DF_TYPE_ENUM_8 = 13,
    DF_TYPE_ENUM_16 = 14,
    DF_TYPE_ENUM_32 = 15,
    DF_TYPE_STRUCT = 16,
    DF_TYPE_ASCIZ = 17,
    DF_TYPE_COLOUR = 18,
    DF_TYPE_VECTOR2 = 19,
    DF_TYPE_VECTOR3 = 20,
    DF_TYPE_VECTOR4 = 21,
    DF_TYPE_FIXED_FRACTION = 22,
    DF_TYPE_FIXED_UFRACTION = 23,
    DF_TYPE_FLOAT_FRACTION = 24,
    DF_TYPE_FLOAT_UFRACTION = 25,
    DF_TYPE_FIXED_VECTOR2 = 26,
    DF_TYPE_FIXED_VECTOR3 = 27,
    DF_TYPE_FIXED_VECTOR4 = 28,
    DF_TYPE_FLOAT_VECTOR2 = 29,
    DF_TYPE_FLOAT_VECTOR3 = 30,
    DF_TYPE_FLOAT_VECTOR4 = 31,
    DF_TYPE_MAX = 32
};

typedef struct DfEnumPair {
    br_int_32 value;
    const char *name;
} DfEnumPair;

typedef struct DfEnumList {
    br_uint_32 count;
    const DfEnumPair *pairs;
} DfEnumList;

/* extra: the enum list of an enum member, the nested template of a struct member. */
typedef struct DfStructMember {
    br_uint_16 type;
    br_size_t offset;
    const char *name;
    const void *extra;
} DfStructMember;

typedef struct DfStructTemplate {
    const char *name;
    br_uint_32 nmembers;
    const DfStructMember *members;
    br_size_t mem_size;
} DfStructTemplate;

struct br_file_primitives;

/* An open datafile: a resource of class DATAFILE. */
typedef struct br_datafile {
    void *h;                                 /* file handle */
    const struct br_file_primitives *prims;
    br_uint_32 scalar_type;                  /* token FIXED or FLOAT */
    void *res;                               /* parent of what reads allocate; null: the default */
    br_uint_32 chunk_length;                 /* length of the last chunk read: bounds its blocks */
} br_datafile;

typedef struct br_file_primitives {
    const char *identifier;
    int (*skip)(br_datafile *df, br_uint_32 length);
    int (*chunk_write)(br_datafile *df, br_uint_32 id, br_uint_32 length);
    br_int_32 (*chunk_read)(br_datafile *df, br_uint_32 *plength); /* -1 at end of file */
    int (*count_write)(br_datafile *df, br_uint_32 count);
    br_uint_32 (*count_read)(br_datafile *df);
    br_uint_32 (*count_size)(br_datafile *df);
    int (*struct_write)(br_datafile *df, const DfStructTemplate *str, void *base);
    int (*struct_read)(br_datafile *df, const DfStructTemplate *str, void *base); /* 1 when read whole */
    br_uint_32 (*struct_size)(br_datafile *df, const DfStructTemplate *str, void *base);
    int (*block_write)(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                       br_uint_32 block_count, br_uint_32 size);
    void *(*block_read)(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype);
    br_uint_32 (*block_size)(br_datafile *df, const void *base, br_uint_32 block_size, br_int_32 block_stride,
                             br_uint_32 block_count, br_uint_32 size);
    int (*name_write)(br_datafile *df, const char *name);
    char *(*name_read)(br_datafile *df, char *name); /* name: 256 bytes */
    br_uint_32 (*name_size)(br_datafile *df, const char *name);
} br_file_primitives;

/* Chunk ids (indices into the table of chunk names). */
enum {
    FID_END = 0,
    FID_IMAGE_PLANE = 1,
    FID_RLE_IMAGE_PLANE = 2,
    FID_PIXELMAP = 3,
    FID_MATERIAL_OLD = 4,
    FID_ADD_MATERIAL = 5,
    FID_OLD_ACTOR = 6,
    FID_OLD_ADD_SIBLING = 7,
    FID_OLD_ADD_CHILD = 8,
    FID_OLD_MATERIAL_INDEX = 9,
    FID_OLD_VERTICES = 10,
    FID_OLD_VERTICES_UV = 11,
    FID_OLD_FACES = 12,
    FID_OLD_MODEL = 13,
    FID_ADD_MODEL = 14,
    FID_ANIM = 15,
    FID_ANIM_TRANSFORM = 16,
    FID_ANIM_RATE = 17,
    FID_FILE_INFO = 18,
    FID_OLD_LIGHT = 19,
    FID_OLD_CAMERA = 20,
    FID_PIVOT = 21,
    FID_MATERIAL_INDEX = 22,
    FID_VERTICES = 23,
    FID_VERTEX_UV = 24,
    FID_OLD_FACES_1 = 25,
    FID_FACE_MATERIAL = 26,
    FID_OLD_MODEL_1 = 27,
    FID_COLOUR_MAP_REF = 28,
    FID_OPACITY_MAP_REF = 29,
    FID_INDEX_BLEND_REF = 30,
    FID_INDEX_SHADE_REF = 31,
    FID_SCREENDOOR_REF = 32,
    FID_PIXELS = 33,
    FID_ADD_MAP = 34,
    FID_ACTOR = 35,
    FID_ACTOR_MODEL = 36,
    FID_ACTOR_TRANSFORM = 37,
    FID_ACTOR_MATERIAL = 38,
    FID_ACTOR_LIGHT = 39,
    FID_ACTOR_CAMERA = 40,
    FID_ACTOR_BOUNDS = 41,
    FID_ACTOR_ADD_CHILD = 42,
    FID_TRANSFORM_MATRIX34 = 43,
    FID_TRANSFORM_MATRIX34_LP = 44,
    FID_TRANSFORM_QUAT = 45,
    FID_TRANSFORM_EULER = 46,
    FID_TRANSFORM_LOOK_UP = 47,
    FID_TRANSFORM_TRANSLATION = 48,
    FID_TRANSFORM_IDENTITY = 49,
    FID_BOUNDS = 50,
    FID_LIGHT = 51,
    FID_CAMERA = 52,
    FID_FACES = 53,
    FID_MODEL = 54,
    FID_ACTOR_CLIP_PLANE = 55,
    FID_PLANE = 56,
    FID_SATURN_FACES = 57,
    FID_SATURN_MODEL = 58,
    FID_INDEX_FOG_REF = 59,
    FID_MATERIAL_OLD_2 = 60,
    FID_MAX = 61
};

/* File types of the FILE_INFO chunk. */
#define FILE_TYPE_NONE 0
#define FILE_TYPE_ACTORS 1
#define FILE_TYPE_PIXELMAP 2
#define FILE_TYPE_LIGHT 3
#define FILE_TYPE_CAMERA 4
#define FILE_TYPE_MATERIAL_OLD 5
#define FILE_TYPE_MATERIAL 6
#define FILE_TYPE_MODEL 0xFACE
#define FILE_TYPE_ANIMATION 0xA11
#define FILE_TYPE_TREE 0x5EED

/* Datafile stack entry types. */
#define DF_STACK_PIXELMAP 2
#define DF_STACK_FILE 21
#define DF_STACK_SIZE 1024

#define DF_MODE_BINARY 0
#define DF_MODE_TEXT 1

#define DF_DIRECTION_READ 0
#define DF_DIRECTION_WRITE 1

typedef int br_df_chunk_cbfn(br_datafile *df, br_uint_32 id, br_uint_32 length, br_uint_32 count);

typedef struct DfChunkEntry {
    br_uint_32 id;
    br_uint_32 has_count;
    br_df_chunk_cbfn *handler;
} DfChunkEntry;

typedef struct DfChunkTable {
    br_uint_32 nentries;
    const DfChunkEntry *entries;
} DfChunkTable;

br_datafile *DfOpen(const char *name, int direction, br_uint_32 scalar_type);
void DfClose(br_datafile *df);
/* Closes a datafile opened for writing and answers 1 when everything written reached the file under
 * its name, 0 when a write failed. With keep 0 the file is abandoned: with the standard filesystem the
 * file that was there before stays as it was. Savers use it to report a failed save. */
br_boolean DfCloseWritten(br_datafile *df, br_boolean keep);
int DfWriteModeSet(int mode);
int DfFileInfoWrite(br_datafile *df, br_uint_32 type);
int DfChunkEndWrite(br_datafile *df);
int DfChunksInterpret(br_datafile *df, const DfChunkTable *table);

void DfPush(int type, void *value, int count);
void *DfPop(int type, int *countp);
void *DfTop(int type, int *countp);
int DfTopType(void);

int DfStructWriteArray(br_datafile *df, const DfStructTemplate *str, void *base, int n);
int DfStructReadArray(br_datafile *df, const DfStructTemplate *str, void *base, int n);

void *DfBlockReadBinary(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype);
void *DfBlockReadText(br_datafile *df, void *base, br_uint_32 *count, br_uint_32 size, br_uint_8 mtype);

#ifdef __cplusplus
}
#endif

#endif
