// Library-wide state shared by the Pannix sources (one copy per process).
#ifndef PANNIX_PXSTATE_H
#define PANNIX_PXSTATE_H

#include <stddef.h>
#include <stdint.h>

namespace px {

constexpr size_t kPathMax = 260;

// Data folder: base of relative picture names and of relative InitPannix paths; ends in a separator.
const char *data_folder();

struct ScreenDefaults {
    int32_t width = 640;
    int32_t height = 480;
    int32_t bits = 16;
    int32_t direct_draw = 0;
    int32_t full_screen = 1;
};
ScreenDefaults &screen_defaults();

// Formats into the last-error text, cut to fit. Always 0.
int set_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace px

#endif
