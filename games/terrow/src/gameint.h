// What the game screen's sources share beyond the public headers: the status bar's pictures, the
// rectangle copies of the view pairs, the current font set's styles.
#pragma once

#include <stdint.h>

struct br_pixelmap;

struct TrStatusPictures {
    br_pixelmap *left, *right, *marker, *markerFull;
    int32_t withMarker;
};
TrStatusPictures *tr_status_pictures();

// Row copies and fills between pictures of one pixel size, clipped to both (x, y from the top left).
void tr_copy_rect(br_pixelmap *dst, int32_t dx, int32_t dy, const br_pixelmap *src, int32_t sx, int32_t sy,
                  int32_t w, int32_t h);
void tr_fill_rect(br_pixelmap *dst, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t value);
// The whole of a picture pair.
void tr_copy_all(br_pixelmap *dst, const br_pixelmap *src);

// Draws `text` in font style `style` at (x, y) of the screen picture; x < 0 centres it in the view.
void tr_draw_text(int32_t style, int32_t x, int32_t y, const char *text);
int32_t tr_text_width(int32_t style, const char *text);
// The frame's present after a render (the idle frame and the frames control asks for).
void tr_render_present();
// The editor copies' frames: the field's parents and the selection root out of the scene and back.
void tr_editor_parts_out();
void tr_editor_parts_in();
// The toolbar's buttons through the hooks the buttons install (nothing without them).
void tr_toolbar_draw_all();
void tr_toolbar_start_enable(int32_t enabled);
// The frame after-render's parts the control sets: x < 0 in tr_draw_text centres (-2: one to the right).
void tr_toolbar_test_release();
// The loading bar through the screen hooks.
void tr_progress(unsigned percent);
// The goal's carousel, a frame every 70 ms.
void tr_carousel_step();
// The catalogue's groups at their places beside the field (after every layout).
void tr_place_catalogue_nodes();
// The field's opaque pieces in one drawing order: by their place in the field, the goals last.
void tr_order_opaque();
void tr_copies_forget();
// A popup is up (the start button greyed with the run state) or gone.
void tr_toolbar_popup(int32_t up);
