#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Rows top first, three bytes per pixel. False when the file could not be written.
bool png_write(const char *path, int w, int h, const std::vector<unsigned char> &rgb);
