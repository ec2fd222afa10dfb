// Where the game screen meets the toolbar's buttons, the editor's mouse work and the effects: the
// calls the set-up, the frame, the window procedure and the clean-up make into them.
#ifndef TERROW_SRC_WIRING_H
#define TERROW_SRC_WIRING_H

#include <stdint.h>

// At set-up with trb as the current pack: the buttons, their buffer, hooks and worker.
void tr_wire_toolbar_setup();
// After the looks' hooks: the effects' hooks, the overlay's host and the sprites.
void tr_wire_fx_setup();
// Before the set-up gives the scene back (the window's DC still held).
void tr_wire_shutdown();
// The frame's start (before the run's step): the trace marks and the fly-in's countdown.
void tr_wire_frame_work();
// The window's mouse messages and keys the toolbar and the editor take; 1 when taken.
int tr_wire_mouse(unsigned message, int32_t x, int32_t y);
int tr_wire_key(unsigned key);
// The preview's light show over the field (the producer thread).
void tr_wire_preview();

#endif
