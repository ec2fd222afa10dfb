// Seeds of the Pannix fuzz targets: packs made by the pack writer, settings files in the form
// SaveIni writes (with the lenient variants the reader accepts), and movies made by the movie writers.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "font_fuzz.h"
#include "fpk/fpkformat.h"
#include "movie/flcwriter.h"
#include "movie/tmzwriter.h"

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

// Record files of the font target: two fonts sharing a picture, and one over each other picture.
inline void write_font_seeds(const std::string &dir)
{
    auto write = [&](const std::string &name, const std::vector<std::vector<uint8_t>> &records) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        for (const auto &r : records)
            out.write(reinterpret_cast<const char *>(r.data()), std::streamsize(r.size()));
    };
    write("shared.fnb", {font_record("g", 1, 8), font_record("", 0, 6)});
    write("sizes.fnb", {font_record("h", 1, 8), font_record("p", 0, 4)});
}

inline void write_settings_seeds(const std::string &dir)
{
    std::ofstream(dir + "/saved.ini", std::ios::binary)
        << "a:\t1, 2, 3, 4\nb:\t0.500000, -1.250000, 3.000000\nc:\tshort\nd:\ta longer text value\n";
    std::ofstream(dir + "/lenient.ini", std::ios::binary)
        << "A: 7,8\r\n; comment\n\nc:\t  padded  \t\r\nunknown:\tx\nb:1e9;2\nd:";
}

// Cell files in the form the layout editor saves, and one with the reader's odd lines.
inline void write_cellfile_seeds(const std::string &dir)
{
    std::ofstream(dir + "/saved.cls", std::ios::binary)
        << "Cella_nr:\t0\ntype:\tAKTYPE_BACKGR\nflags:\tCF_HSCROLL CF_VSCROLL \nx:\t0\ny:\t0\nw:\t0\nh:\t0\n"
           "file:\t\"back.pix\"\npx:\t0\npy:\t0\nbw_spd:\t20\nbh_fbc:\t0\nbxMax:\t0\nbxCur:\t0\n\n"
           "Cella_nr:\t1\ntype:\tAKTYPE_BUTTON\nflags:\tCF_HCENTER CF_BORDERIFCUR CF_MOUSEMOVE \n"
           "x:\t0\t; relativ\ny:\t40\nw:\t-4\nh:\t-2\ntxt:\t\"Start\"\nfont:\t1\ntx:\t-1\nty:\t-1\n"
           "bw_spd:\t0\nbh_fbc:\t31\nbxMax:\t0\nbxCur:\t0\n\nCella_nr:\t2\ntype:\t8\ntxt:\t\"a\"\n\n";
    std::ofstream(dir + "/odd.cls", std::ios::binary)
        << "Cella_nr:\t3\ntype:\tAKTYPE_NONE\nCella_nr:\t1\ntxt:\t\"open\r\nfile:\tnone\nx:\nCella_nr:\t9\n";
}

// A movie seed: the mode byte of the movie target, then the file.
inline void write_movie_seed(const std::string &name, uint8_t mode, const std::vector<uint8_t> &bytes)
{
    std::ofstream f(name, std::ios::binary);
    f.put(char(mode));
    f.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline void write_movie_seeds(const std::string &dir)
{
    const int w = 12, h = 8;
    auto picture = [&](int i) {
        std::vector<uint8_t> p(size_t(w) * h);
        for (size_t k = 0; k < p.size(); k++)
            p[k] = uint8_t((k % w) / 3 * 5 + (k / w + size_t(i)) % 4 * 40);
        return p;
    };
    movie::Palette colours{};
    for (size_t i = 0; i < colours.size(); i++)
        colours[i] = uint8_t(i * 5);
    using Code = movie::FlcWriter::Code;
    movie::FlcWriter flc(w, h, 40);
    flc.add_frame(picture(0), &colours, Code::ByteRun);
    flc.add_frame(picture(1), nullptr, Code::DeltaFlc);
    colours[30] = 1;
    flc.add_frame(picture(2), &colours, Code::DeltaFli, true);
    flc.add_repeat();
    flc.add_extra_chunk(movie::flc::kStamp, std::vector<uint8_t>(8, 1));
    flc.add_frame(picture(3), nullptr, Code::Copy);
    flc.add_frame(std::vector<uint8_t>(size_t(w) * h, 0), nullptr, Code::Black);
    write_movie_seed(dir + "/every_chunk.flc", 0x00, flc.bytes());
    write_movie_seed(dir + "/every_chunk_streamed.flc", 0x18, flc.bytes());
    movie::FlcWriter fli(w, h, 5, true);
    fli.add_frame(picture(0), &colours, Code::ByteRun, true);
    fli.add_frame(picture(1), nullptr, Code::DeltaFli);
    write_movie_seed(dir + "/small.fli", 0x30, fli.bytes());

    movie::TmzWriter tmz(3, 2, 16, 20);
    std::vector<uint8_t> pixels(size_t(tmz.frame_size()));
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint8_t(i * 9);
    tmz.add_frame(pixels);
    tmz.add_raw({{movie::TmzWriter::kMarker, {}}, {movie::TmzWriter::kPixels, pixels}});
    tmz.add_repeat();
    tmz.add_raw({{0x11223344, {1, 2, 3}}}, false);
    tmz.add_frame(pixels);
    write_movie_seed(dir + "/file.tmz", 0x31, tmz.bytes());
    write_movie_seed(dir + "/pack.tmz", 0x29, tmz.bytes());
    write_movie_seed(dir + "/pack_preloaded.tmz", 0x02, tmz.bytes());
}

}  // namespace fuzz
