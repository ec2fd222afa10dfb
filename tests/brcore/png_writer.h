// A small PNG writer for pictures that tests leave behind for a reviewer to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB rows (3 bytes per pixel, top row first). Returns false when the file cannot be written.
bool WritePngRgb(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb);
