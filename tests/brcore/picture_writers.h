// Small writers of TGA and BMP files for tests and fuzz seeds: headers field by field, little-endian.
#pragma once

#include <stdint.h>

#include <string>

namespace pictures {

inline void le16(std::string &s, uint32_t v)
{
    s += (char)(v & 0xff);
    s += (char)((v >> 8) & 0xff);
}

inline void le32(std::string &s, uint32_t v)
{
    le16(s, v & 0xffff);
    le16(s, v >> 16);
}

struct Tga {
    uint8_t image_type = 2;
    uint8_t depth = 24;
    uint16_t width = 1, height = 1;
    uint8_t descriptor = 0;
    std::string id;
    uint8_t map_type = 0;
    uint16_t map_first = 0, map_length = 0;
    uint8_t map_entry_size = 0;
    std::string map;    // colour-map entries as stored
    std::string pixels; // rows (or packets) as stored

    std::string bytes() const
    {
        std::string s;
        s += (char)id.size();
        s += (char)map_type;
        s += (char)image_type;
        le16(s, map_first);
        le16(s, map_length);
        s += (char)map_entry_size;
        le16(s, 0);
        le16(s, 0);
        le16(s, width);
        le16(s, height);
        s += (char)depth;
        s += (char)descriptor;
        return s + id + map + pixels;
    }
};

struct Bmp {
    bool os2 = false;
    int32_t width = 1, height = 1;
    uint16_t bit_count = 24;
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    std::string palette; // entries as stored (3 or 4 bytes each)
    std::string pixels;  // rows as stored, padding included
    int32_t data_offset = -1; // -1: right after the palette

    std::string bytes() const
    {
        uint32_t header = os2 ? 12 : 40;
        uint32_t offset = data_offset >= 0 ? (uint32_t)data_offset : 14 + header + (uint32_t)palette.size();
        std::string s = "BM";
        le32(s, offset + (uint32_t)pixels.size());
        le32(s, 0);
        le32(s, offset);
        le32(s, header);
        if (os2) {
            le16(s, (uint32_t)width);
            le16(s, (uint32_t)height);
            le16(s, 1);
            le16(s, bit_count);
        } else {
            le32(s, (uint32_t)width);
            le32(s, (uint32_t)height);
            le16(s, 1);
            le16(s, bit_count);
            le32(s, compression);
            le32(s, (uint32_t)pixels.size());
            le32(s, 2835);
            le32(s, 2835);
            le32(s, colours_used);
            le32(s, 0);
        }
        s += palette;
        if (offset > s.size())
            s.append(offset - s.size(), '\0');
        return s + pixels;
    }
};

} // namespace pictures
