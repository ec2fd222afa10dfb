// Seeds of the Pannix fuzz targets: packs made by the pack writer and settings files in the form
// SaveIni writes, with the lenient variants the reader accepts.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"

namespace fuzz {

inline void write_pack_seeds(const std::string &dir)
{
    std::vector<uint8_t> rows(16, 0x5A);
    std::vector<fpk::Entry> entries = {
        {"alpha.txt", {'h', 'e', 'l', 'l', 'o'}, 0},
        {"Icon.pix", fpk::stored_pixmap(2, 2, 18, rows), fpk::kPixmapFlag},
        {"empty.dat", {}, 0},
        {"zeta.bin", std::vector<uint8_t>(200, 7), 0},
    };
    std::vector<uint8_t> bytes;
    std::string error;
    if (fpk::build(entries, bytes, error))
        fpk::write_file(dir + "/sample.fpk", bytes, error);
    if (fpk::build({}, bytes, error))
        fpk::write_file(dir + "/empty.fpk", bytes, error);
}

inline void write_settings_seeds(const std::string &dir)
{
    std::ofstream(dir + "/saved.ini", std::ios::binary)
        << "a:\t1, 2, 3, 4\nb:\t0.500000, -1.250000, 3.000000\nc:\tshort\nd:\ta longer text value\n";
    std::ofstream(dir + "/lenient.ini", std::ios::binary)
        << "A: 7,8\r\n; comment\n\nc:\t  padded  \t\r\nunknown:\tx\nb:1e9;2\nd:";
}

}  // namespace fuzz
