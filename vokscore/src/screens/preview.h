// The framework's side of the live preview of the results screens (internal entries).
#pragma once

namespace vok {

// Joins a producer that missed its stop (before the next one starts and when the interface closes).
void preview_join();
// The next picture redraws the whole backdrop (after the results animation).
void preview_full_redraw();
// The page waits for its producer's first picture.
bool preview_waiting_first();

}  // namespace vok
