// The stand-alone movie viewer: turns a window into a player of one .mzi movie with a control panel
// right of the movie (frame counter, position bar, blend flag) and an information panel below it
// (sizes of the movie and of the frame drawn). Menu commands arrive as WM_COMMAND; the keys of the
// menu's letters (P, F, E, N, L, S, X) and the arrows, Home, End and Space give the same commands.
#pragma once

#include <optional>
#include <string>

#include "media/media.h"
#include "win32/windows.h"

namespace media {

// Menu commands.
enum ViewerCommand {
    kViewerPlay = 40017,
    kViewerStop = 40018,
    kViewerNext = 40019,
    kViewerPrev = 40020,
    kViewerExit = 40021,
    kViewerFirst = 40022,
    kViewerLast = 40023,
};

// Controls of the panels, by their numbers.
enum ViewerItem {
    kViewerControlPanel = 118,
    kViewerInfoPanel = 127,
    kViewerLoop = 1034,
    kViewerTrack = 1035,
    kViewerFps = 1036,
    kViewerCounter = 1038,
    kViewerAlpha = 1040,
    kViewerFullSize = 1048,
    kViewerSize = 1049,
};

// The frame a command asks the movie for (the movie ignores one outside its frames); none for the
// commands that do not move.
std::optional<int32_t> viewer_target_frame(int command, int32_t current, int32_t frames);
// "%.3d / %.3d  ( %8.4f / %8.4f )": the frame, the last frame and both in seconds.
std::string viewer_counter_text(int32_t frame, int32_t frames, uint16_t fps);
// The outer size of the viewer window for a movie of `movie_width` x `movie_height` and a frame of
// `frame_width` x `frame_height` around the client area.
SIZE viewer_window_size(int movie_width, int movie_height, int frame_width, int frame_height);
// Centres `size` on the work area, kept inside it.
POINT viewer_window_place(SIZE size, RECT work_area);

struct Viewer;

// Opens the movie the command line names into `window` and builds the viewer around it (steps short
// of playing). Null when the command line names no .mzi movie or it does not open.
Viewer *viewer_start(HWND window, HINSTANCE instance, const char *commandLine, int showState);
MediaHandle viewer_movie(const Viewer *viewer);
// A control of a panel, by its number (the panels themselves too).
HWND viewer_item(const Viewer *viewer, int item);
// Closes the movie; the window stays.
void viewer_stop(Viewer *viewer);

}  // namespace media
