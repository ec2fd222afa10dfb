// Dialog-engine internals shared by the engine, the cell files, the DirectDraw screen and the fuzz target.
#ifndef PANNIX_DIALOG_H
#define PANNIX_DIALOG_H

#include <stdio.h>

#include <string>

#include "pannix/pxdialog.h"

namespace px {

// Cell-file ownership bits of PXCELLA::owned.
constexpr uint32_t kOwnText = 1;
constexpr uint32_t kOwnFile = 2;

// Reads cell lines from an open stream into the scene's cells (LoadCellParams without the file).
void cells_load_stream(FILE *f, PXSCENE *scene);
// The cell file of a scene as text.
std::string cells_format(const PXSCENE *scene);
// Frees the texts a cell file gave the cell (they otherwise live until a later file replaces them).
void cell_free_owned(PXCELLA *cell);
// Grows an edit or list box buffer that a cell file gave the cell to hold `bxMax` bytes. false when
// memory ran out.
bool cell_fit_buffer(PXCELLA *cell);

// The DirectDraw screen: set up once per process on the first scene window; false leaves the caller
// to draw through the window's device context.
bool dd_screen_setup(HWND window, int32_t width, int32_t height, int32_t *bits);
bool dd_surface_setup(HWND window, int32_t width, int32_t height);

}  // namespace px

#endif
