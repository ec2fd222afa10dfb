// Seeds of the Terrow fuzz targets, written by the module's own writers.
#pragma once

#include <fstream>
#include <string>

#include "terrow/trfield.h"

namespace fuzz {

inline void write_trfield_seeds(const std::string &dir)
{
    TrPalya *f = Palya_NewEmpty();
    for (int32_t z = 0; z < 3; z++)
        for (int32_t x = 0; x < 3; x++)
            Palya_AddElem(f, Elem_New(x, 0, z, 0, TY_T_SIMA, EF_NOT_BALL | EF_LEVEL_PART));
    Palya_AddElem(f, Elem_NewV(1, 1, 1, 2, TY_T_LEJTO, EF_NOT_BALL | EF_LEVEL_PART, 2));
    Palya_AddElem(f, Elem_New(1, 2, 1, TR_DIR_UNSET, TY_G_FEM, EF_BALL | EF_LEVEL_PART));
    Palya_AddElem(f, Elem_New(2, 1, 2, 1, TY_T_SAROK, EF_NOT_BALL));
    Palya_AddElem(f, Elem_New(0, 1, 2, 3, TY_G_BOMBA, EF_BALL));
    f->ballsNeeded = 2;
    Palya_FSave((dir + "/field.trl").c_str(), f);
    Palya_FSaveUser((dir + "/position.trs").c_str(), f);
    Palya_Free(f);
    // The oldest layout: a count and six-word records, no magic.
    std::string old;
    auto word = [&old](int32_t v) {
        for (int i = 0; i < 4; i++)
            old += char(uint32_t(v) >> (8 * i));
    };
    word(1);
    for (int32_t v : {2, 0, 3, 0, TY_T_CEL, int32_t(EF_NOT_BALL | EF_LEVEL_PART)})
        word(v);
    word(1);
    std::ofstream(dir + "/old.trl", std::ios::binary) << old;
}

inline void write_trdict_seeds(const std::string &dir)
{
    std::ofstream(dir + "/ge.dic", std::ios::binary)
        << "#0\nDu hast ungesicherte \xc4nderungen,\nspeichern?\r\n#30\n%s NICHT vorhanden!\n#49\n%d B\xe4lle n\xf6tig\n"
           "#70\nnone\n#52\nHol %d B\xe4lle\n";
}

// A map of six faces in the grid, one short of its integers, and a decoration list.
inline void write_uvd_seeds(const std::string &dir)
{
    std::ofstream(dir + "/strip.uvd", std::ios::binary)
        << "0 0 1 0 1 1\n0 0 1 1 0 1\n2 2 3 2 3 3\n2 2 3 3 2 3\n4 0 5 0 5 1\n4 0 5 1 4";
}

inline void write_mtlist_seeds(const std::string &dir)
{
    std::ofstream(dir + "/mt.lst", std::ios::binary) << "oszlop\r\nlampa\n\nszobor";
}

}  // namespace fuzz
