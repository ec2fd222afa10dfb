/* Pixel maps: the picture record, its pixel types, the class operation table, the memory class,
 * the generic and null methods, fonts and clipping. */
#ifndef BRONDEL_BRPIXMAP_H
#define BRONDEL_BRPIXMAP_H

#include "brondel/brobject.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Pixel types. */
enum {
    BR_PMT_INDEX_1 = 0,
    BR_PMT_INDEX_2 = 1,
    BR_PMT_INDEX_4 = 2,
    BR_PMT_INDEX_8 = 3,
    BR_PMT_RGB_555 = 4,
    BR_PMT_RGB_565 = 5,
    BR_PMT_RGB_888 = 6,
    BR_PMT_RGBX_888 = 7,
    BR_PMT_RGBA_8888 = 8,
    BR_PMT_YUYV_8888 = 9,
    BR_PMT_YUV_888 = 10,
    BR_PMT_DEPTH_16 = 11,
    BR_PMT_DEPTH_32 = 12,
    BR_PMT_ALPHA_8 = 13,
    BR_PMT_INDEXA_88 = 14,
    BR_PMT_MAX = 15
};

/* Record flags. */
#define PIXELMAP_NO_ACCESS 0x01
#define PIXELMAP_CONTIGUOUS 0x02
#define PIXELMAP_WHOLE_PIXEL_ROWS 0x04

/* Allocation flags of BrPixelmapAllocate. */
#define PIXELMAP_ALLOCATE_INVERTED 1
#define PIXELMAP_ALLOCATE_NO_PIXELS 2

/* Channel mask bits of the type table. */
#define BR_PM_CHANNEL_INDEX 1
#define BR_PM_CHANNEL_COLOUR 2
#define BR_PM_CHANNEL_DEPTH 4
#define BR_PM_CHANNEL_ALPHA 8
#define BR_PM_CHANNEL_YUV 16

/* The match family's uses. */
#define BR_PM_USE_OFFSCREEN 0
#define BR_PM_USE_DEPTH_16 1
#define BR_PM_USE_DEPTH 2
#define BR_PM_USE_HIDDEN 3
#define BR_PM_USE_HIDDEN_BUFFER 4
#define BR_PM_USE_NO_RENDER 5

/* Resource classes of the pixel-map library. */
#define BR_MEMORY_PIXELMAP 2
#define BR_MEMORY_PIXELS 3

typedef struct br_point {
    br_int_32 x, y;
} br_point;

typedef struct br_rectangle {
    br_int_32 x, y, w, h;
} br_rectangle;

struct br_pixelmap_dispatch;

typedef struct br_pixelmap {
    const struct br_pixelmap_dispatch *dispatch;
    char *identifier;
    void *pixels;
    br_uint_32 pixels_qualifier;
    struct br_pixelmap *map;
    br_uint_32 key[5]; /* colour keys: kept and copied, never read here */
    br_int_16 row_bytes;
    br_uint_16 _reserved0;
    br_uint_8 type;
    br_uint_8 flags;
    br_uint_16 _reserved1;
    br_uint_16 base_x, base_y;
    br_uint_16 width, height;
    br_int_16 origin_x, origin_y;
    void *user;
    void *stored;
} br_pixelmap;

typedef br_pixelmap br_device_pixelmap;

/* A bitmap font: glyphs are glyph_y rows of (width + 7) / 8 bytes, leftmost pixel in the top bit. */
typedef struct PixelmapFont {
    br_uint_32 flags;
    br_uint_16 glyph_x, glyph_y;
    br_int_16 spacing_x, spacing_y;
    const br_int_8 *width;       /* 256 entries */
    const br_uint_16 *encoding;  /* 256 offsets into glyph_data */
    const br_uint_8 *glyph_data;
} PixelmapFont;
typedef PixelmapFont br_font;

#define BR_FONTF_PROPORTIONAL 1

/* The built-in font: proportional, 7 wide at most, 9 high. */
extern const br_font BrPixelmapFontBuiltin;

/* The class operation table: four reserved words and the 13 operations every object has (they take
 * the pixel map as a plain object), then the pixel-map operations in this fixed order. */
typedef struct br_pixelmap_dispatch {
    BR_OBJECT_METHODS

    br_error (*validSource)(br_pixelmap *self, void *source);
    br_error (*resize)(br_pixelmap *self, br_int_32 width, br_int_32 height);
    br_error (*match)(br_pixelmap *self, br_pixelmap **newpm, br_token_value *tv);
    br_error (*allocateSub)(br_pixelmap *self, br_pixelmap **newpm, br_rectangle *rect);

    br_error (*copy)(br_pixelmap *self, br_pixelmap *src);
    br_error (*copyTo)(br_pixelmap *self, br_pixelmap *src);
    br_error (*copyFrom)(br_pixelmap *self, br_pixelmap *dest);
    br_error (*fill)(br_pixelmap *self, br_uint_32 colour);
    br_error (*doubleBuffer)(br_pixelmap *self, br_pixelmap *src);

    br_error (*copyDirty)(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty, br_int_32 num_rects);
    br_error (*copyToDirty)(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty, br_int_32 num_rects);
    br_error (*copyFromDirty)(br_pixelmap *self, br_pixelmap *dest, br_rectangle *dirty, br_int_32 num_rects);
    br_error (*fillDirty)(br_pixelmap *self, br_uint_32 colour, br_rectangle *dirty, br_int_32 num_rects);
    br_error (*doubleBufferDirty)(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty, br_int_32 num_rects);

    br_error (*rectangle)(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour);
    br_error (*rectangle2)(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour_tl, br_uint_32 colour_br);
    br_error (*rectangleCopy)(br_pixelmap *self, br_point *p, br_pixelmap *src, br_rectangle *r);
    br_error (*rectangleCopyTo)(br_pixelmap *self, br_point *p, br_pixelmap *src, br_rectangle *r);
    br_error (*rectangleCopyFrom)(br_pixelmap *self, br_point *p, br_pixelmap *dest, br_rectangle *r);
    br_error (*rectangleStretchCopy)(br_pixelmap *self, br_rectangle *d, br_pixelmap *src, br_rectangle *s);
    br_error (*rectangleStretchCopyTo)(br_pixelmap *self, br_rectangle *d, br_pixelmap *src, br_rectangle *s);
    br_error (*rectangleStretchCopyFrom)(br_pixelmap *self, br_rectangle *d, br_pixelmap *dest, br_rectangle *s);
    br_error (*rectangleFill)(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour);
    br_error (*pixelSet)(br_pixelmap *self, br_point *p, br_uint_32 colour);
    br_error (*line)(br_pixelmap *self, br_point *s, br_point *e, br_uint_32 colour);
    br_error (*copyBits)(br_pixelmap *self, br_point *point, const br_uint_8 *src, br_uint_16 s_stride,
                         br_rectangle *bit_rect, br_uint_32 colour);

    br_error (*text)(br_pixelmap *self, br_point *point, const br_font *font, const char *text, br_uint_32 colour);
    br_error (*textBounds)(br_pixelmap *self, br_rectangle *rect, const br_font *font, const char *text);

    br_error (*rowSize)(br_pixelmap *self, br_size_t *sizep);
    br_error (*rowQuery)(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row);
    br_error (*rowSet)(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row);

    br_error (*pixelQuery)(br_pixelmap *self, br_uint_32 *pcolour, br_point *p);
    br_error (*pixelAddressQuery)(br_pixelmap *self, void **pptr, br_uint_32 *pqual, br_point *p);
    br_error (*pixelAddressSet)(br_pixelmap *self, void *ptr, br_uint_32 *qual);
    br_error (*originSet)(br_pixelmap *self, br_point *p);

    br_error (*flush)(br_pixelmap *self);
    br_error (*synchronise)(br_pixelmap *self, br_token sync_type, br_boolean block);
    br_error (*directLock)(br_pixelmap *self, br_boolean block);
    br_error (*directUnlock)(br_pixelmap *self);
} br_pixelmap_dispatch;

typedef br_pixelmap_dispatch br_device_pixelmap_dispatch;

/* A device's colour table, found through a pixel map's CLUT_O query. Its first operations are the
 * 13 object operations; the entry operations follow. */
typedef struct br_device_clut br_device_clut;
typedef struct br_device_clut_dispatch {
    void *_reserved[4];
    void *object_operations[13];
    br_error (*entrySet)(br_device_clut *self, br_int_32 index, br_uint_32 entry);
    br_error (*entryQuery)(br_device_clut *self, br_uint_32 *entry, br_int_32 index);
    br_error (*entrySetMany)(br_device_clut *self, br_int_32 index, br_int_32 count, br_uint_32 *entries);
    br_error (*entryQueryMany)(br_device_clut *self, br_uint_32 *entries, br_int_32 index, br_int_32 count);
} br_device_clut_dispatch;
struct br_device_clut {
    const br_device_clut_dispatch *dispatch;
};

/* Library start and end (the core begin calls them). */
br_error BrPixelmapBegin(void);
void BrPixelmapEnd(void);

/* Public operations. */
br_pixelmap *BrPixelmapAllocate(br_uint_8 type, br_int_32 w, br_int_32 h, void *pixels, int flags);
br_pixelmap *BrPixelmapAllocateSub(br_pixelmap *pm, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h);
void BrPixelmapFree(br_pixelmap *pm);
/* Called by BrPixelmapFree before the map goes, so whoever lists the map (the database's map and
 * table registries) lets go of it; answers the previous hook. */
typedef void br_pixelmap_free_cbfn(br_pixelmap *pm);
br_pixelmap_free_cbfn *BrPixelmapFreeHook(br_pixelmap_free_cbfn *hook);
br_pixelmap *BrPixelmapResize(br_pixelmap *pm, br_int_32 width, br_int_32 height);
br_pixelmap *BrPixelmapMatch(br_pixelmap *pm, br_uint_8 match_type);
br_pixelmap *BrPixelmapMatchSized(br_pixelmap *pm, br_uint_8 match_type, br_int_32 width, br_int_32 height);
br_pixelmap *BrPixelmapMatchTyped(br_pixelmap *pm, br_uint_8 match_type, br_uint_8 pixel_type);
br_pixelmap *BrPixelmapMatchTypedSized(br_pixelmap *pm, br_uint_8 match_type, br_uint_8 pixel_type, br_int_32 width,
                                       br_int_32 height);
br_pixelmap *BrPixelmapClone(br_pixelmap *src);
br_error BrPixelmapFill(br_pixelmap *dst, br_uint_32 colour);
br_error BrPixelmapRectangle(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h, br_uint_32 colour);
br_error BrPixelmapRectangle2(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                              br_uint_32 colour_tl, br_uint_32 colour_br);
br_error BrPixelmapRectangleCopy(br_pixelmap *dst, br_int_32 dx, br_int_32 dy, br_pixelmap *src, br_int_32 sx,
                                 br_int_32 sy, br_int_32 w, br_int_32 h);
br_error BrPixelmapRectangleStretchCopy(br_pixelmap *dst, br_int_32 dx, br_int_32 dy, br_int_32 dw, br_int_32 dh,
                                        br_pixelmap *src, br_int_32 sx, br_int_32 sy, br_int_32 sw, br_int_32 sh);
br_error BrPixelmapRectangleFill(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                                 br_uint_32 colour);
br_error BrPixelmapDirtyRectangleCopy(br_pixelmap *dst, br_pixelmap *src, br_int_32 x, br_int_32 y, br_int_32 w,
                                      br_int_32 h);
br_error BrPixelmapDirtyRectangleFill(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                                      br_uint_32 colour);
br_error BrPixelmapDirtyRectangleDoubleBuffer(br_pixelmap *dst, br_pixelmap *src, br_int_32 x, br_int_32 y,
                                              br_int_32 w, br_int_32 h);
br_error BrPixelmapPixelSet(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour);
br_uint_32 BrPixelmapPixelGet(br_pixelmap *dst, br_int_32 x, br_int_32 y);
void BrPixelmapCopy(br_pixelmap *dst, br_pixelmap *src);
br_error BrPixelmapLine(br_pixelmap *dst, br_int_32 x1, br_int_32 y1, br_int_32 x2, br_int_32 y2, br_uint_32 colour);
br_error BrPixelmapDoubleBuffer(br_pixelmap *dst, br_pixelmap *src);
br_error BrPixelmapText(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour, const br_font *font,
                        const char *text);
br_error BrPixelmapTextF(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour, const br_font *font,
                         const char *fmt, ...) __attribute__((format(printf, 6, 7)));
br_uint_16 BrPixelmapTextWidth(br_pixelmap *dst, const br_font *font, const char *text);
br_uint_16 BrPixelmapTextHeight(br_pixelmap *dst, const br_font *font);
br_error BrPixelmapCopyBits(br_pixelmap *dst, br_int_32 x, br_int_32 y, const br_uint_8 *src, br_int_32 s_stride,
                            br_int_32 start_bit, br_int_32 end_bit, br_int_32 nrows, br_uint_32 colour);
br_uint_16 BrPixelmapPixelBits(br_pixelmap *pm);
br_uint_16 BrPixelmapPixelBytes(br_pixelmap *pm);
br_uint_16 BrPixelmapChannelMask(br_pixelmap *pm);
br_error BrPixelmapPaletteSet(br_pixelmap *pm, br_pixelmap *pal);
void BrPixelmapPaletteEntrySet(br_pixelmap *pm, br_int_32 index, br_uint_32 colour);
br_error BrPixelmapPaletteEntrySetMany(br_pixelmap *pm, br_int_32 index, br_int_32 ncolours, br_uint_32 *colours);
br_pixelmap *BrPixelmapDirectLock(br_pixelmap *src, br_boolean block);
br_pixelmap *BrPixelmapDirectUnlock(br_pixelmap *src);

/* Clipping, shared by every class. Inputs are relative to the origin, outputs absolute. */
#define PIXELMAP_CLIP_REJECT 0
#define PIXELMAP_CLIP_PARTIAL 1
#define PIXELMAP_CLIP_INSIDE 2
br_int_32 PixelmapPointClip(br_point *out, const br_point *in, const br_pixelmap *pm);
br_int_32 PixelmapLineClip(br_point *s_out, br_point *e_out, const br_point *s_in, const br_point *e_in,
                           const br_pixelmap *pm);
br_int_32 PixelmapRectangleClip(br_rectangle *out, const br_rectangle *in, const br_pixelmap *pm);
br_int_32 PixelmapRectangleClipTwo(br_rectangle *r_out, br_point *p_out, const br_rectangle *r_in,
                                   const br_point *p_in, const br_pixelmap *pm_dst, const br_pixelmap *pm_src);
br_int_32 PixelmapCopyBitsClip(br_rectangle *r_out, br_point *p_out, const br_rectangle *r_in, const br_point *p_in,
                               const br_pixelmap *pm);

/* The memory class's operation table. */
extern const br_pixelmap_dispatch BrPixelmapMemDispatch;

/* Methods exported to drivers by name (the export names carry one more leading underscore): the
 * generic ones (built from a class's primitive operations), the memory class's own and the null
 * ones (do nothing, answer 0). */
#define BR_PM_METHOD_DECL(kind)                                                                                      \
    br_error _M_br_device_pixelmap_##kind##_copyTo(br_pixelmap *self, br_pixelmap *src);                             \
    br_error _M_br_device_pixelmap_##kind##_copyFrom(br_pixelmap *self, br_pixelmap *dest);                          \
    br_error _M_br_device_pixelmap_##kind##_fill(br_pixelmap *self, br_uint_32 colour);                              \
    br_error _M_br_device_pixelmap_##kind##_doubleBuffer(br_pixelmap *self, br_pixelmap *src);                       \
    br_error _M_br_device_pixelmap_##kind##_copyDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,     \
                                                      br_int_32 num_rects);                                          \
    br_error _M_br_device_pixelmap_##kind##_copyToDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,   \
                                                        br_int_32 num_rects);                                        \
    br_error _M_br_device_pixelmap_##kind##_copyFromDirty(br_pixelmap *self, br_pixelmap *dest,                    \
                                                          br_rectangle *dirty, br_int_32 num_rects);                 \
    br_error _M_br_device_pixelmap_##kind##_fillDirty(br_pixelmap *self, br_uint_32 colour, br_rectangle *dirty,    \
                                                      br_int_32 num_rects);                                          \
    br_error _M_br_device_pixelmap_##kind##_doubleBufferDirty(br_pixelmap *self, br_pixelmap *src,                 \
                                                              br_rectangle *dirty, br_int_32 num_rects);             \
    br_error _M_br_device_pixelmap_##kind##_copyBits(br_pixelmap *self, br_point *point, const br_uint_8 *src,      \
                                                     br_uint_16 s_stride, br_rectangle *bit_rect,                   \
                                                     br_uint_32 colour);

BR_PM_METHOD_DECL(gen)
BR_PM_METHOD_DECL(mem)
BR_PM_METHOD_DECL(null)
#undef BR_PM_METHOD_DECL

br_error _M_br_device_pixelmap_gen_copy(br_pixelmap *self, br_pixelmap *src);
br_error _M_br_device_pixelmap_gen_line(br_pixelmap *self, br_point *s, br_point *e, br_uint_32 colour);
br_error _M_br_device_pixelmap_gen_rectangle(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour);
br_error _M_br_device_pixelmap_gen_rectangle2(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour_tl,
                                              br_uint_32 colour_br);
br_error _M_br_device_pixelmap_gen_text(br_pixelmap *self, br_point *point, const br_font *font, const char *text,
                                        br_uint_32 colour);
br_error _M_br_device_pixelmap_gen_textBounds(br_pixelmap *self, br_rectangle *rect, const br_font *font,
                                              const char *text);
br_error _M_br_device_pixelmap_gen_flush(br_pixelmap *self);
br_error _M_br_device_pixelmap_gen_synchronise(br_pixelmap *self, br_token sync_type, br_boolean block);
br_error _M_br_device_pixelmap_gen_directLock(br_pixelmap *self, br_boolean block);
br_error _M_br_device_pixelmap_gen_directUnlock(br_pixelmap *self);

br_error _M_br_device_pixelmap_mem_allocateSub(br_pixelmap *self, br_pixelmap **newpm, br_rectangle *rect);
br_error _M_br_device_pixelmap_mem_directLock(br_pixelmap *self, br_boolean block);
br_error _M_br_device_pixelmap_mem_directUnlock(br_pixelmap *self);
br_error _M_br_device_pixelmap_mem_flush(br_pixelmap *self);
br_error _M_br_device_pixelmap_mem_line(br_pixelmap *self, br_point *s, br_point *e, br_uint_32 colour);
br_error _M_br_device_pixelmap_mem_match(br_pixelmap *self, br_pixelmap **newpm, br_token_value *tv);
br_error _M_br_device_pixelmap_mem_originSet(br_pixelmap *self, br_point *p);
br_error _M_br_device_pixelmap_mem_pixelAddressQuery(br_pixelmap *self, void **pptr, br_uint_32 *pqual,
                                                     br_point *p);
br_error _M_br_device_pixelmap_mem_pixelAddressSet(br_pixelmap *self, void *ptr, br_uint_32 *qual);
br_error _M_br_device_pixelmap_mem_pixelQuery(br_pixelmap *self, br_uint_32 *pcolour, br_point *p);
br_error _M_br_device_pixelmap_mem_pixelSet(br_pixelmap *self, br_point *p, br_uint_32 colour);
br_error _M_br_device_pixelmap_mem_rectangleCopyTo(br_pixelmap *self, br_point *p, br_pixelmap *src, br_rectangle *r);
br_error _M_br_device_pixelmap_mem_rectangleCopyFrom(br_pixelmap *self, br_point *p, br_pixelmap *dest,
                                                     br_rectangle *r);
br_error _M_br_device_pixelmap_mem_rectangleFill(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour);
br_error _M_br_device_pixelmap_mem_rectangleStretchCopyTo(br_pixelmap *self, br_rectangle *d, br_pixelmap *src,
                                                          br_rectangle *s);
br_error _M_br_device_pixelmap_mem_rectangleStretchCopyFrom(br_pixelmap *self, br_rectangle *d, br_pixelmap *dest,
                                                            br_rectangle *s);
br_error _M_br_device_pixelmap_mem_resize(br_pixelmap *self, br_int_32 width, br_int_32 height);
br_error _M_br_device_pixelmap_mem_rowQuery(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row);
br_error _M_br_device_pixelmap_mem_rowSet(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row);
br_error _M_br_device_pixelmap_mem_rowSize(br_pixelmap *self, br_size_t *sizep);
br_error _M_br_device_pixelmap_mem_synchronise(br_pixelmap *self, br_token sync_type, br_boolean block);
br_error _M_br_device_pixelmap_mem_validSource(br_pixelmap *self, void *source);

br_error _M_br_device_pixelmap_null_pixelAddressQuery(br_pixelmap *self, void **pptr, br_uint_32 *pqual,
                                                      br_point *p);
br_error _M_br_device_pixelmap_null_pixelAddressSet(br_pixelmap *self, void *ptr, br_uint_32 *qual);
br_error _M_br_device_pixelmap_null_pixelQuery(br_pixelmap *self, br_uint_32 *pcolour, br_point *p);
br_error _M_br_device_pixelmap_null_pixelSet(br_pixelmap *self, br_point *p, br_uint_32 colour);
br_error _M_br_device_pixelmap_null_rectangleCopyTo(br_pixelmap *self, br_point *p, br_pixelmap *src,
                                                    br_rectangle *r);
br_error _M_br_device_pixelmap_null_rectangleCopyFrom(br_pixelmap *self, br_point *p, br_pixelmap *dest,
                                                      br_rectangle *r);
br_error _M_br_device_pixelmap_null_rectangleFill(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour);
br_error _M_br_device_pixelmap_null_rectangleStretchCopyTo(br_pixelmap *self, br_rectangle *d, br_pixelmap *src,
                                                           br_rectangle *s);
br_error _M_br_device_pixelmap_null_rectangleStretchCopyFrom(br_pixelmap *self, br_rectangle *d, br_pixelmap *dest,
                                                             br_rectangle *s);
br_error _M_br_device_pixelmap_null_resize(br_pixelmap *self, br_int_32 width, br_int_32 height);

#ifdef __cplusplus
}
#endif

#endif
