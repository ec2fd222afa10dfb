// The last-error text: codes, formats, cutting, and the box that shows it.
#include <gtest/gtest.h>

#include <string>

#include "pannix/pxbase.h"
#include "vokplat/msgbox.h"

namespace {

TEST(LastError, CodesFillTheirMessages)
{
    EXPECT_EQ(SetLastMsgError(PXERR_OK), 0);
    EXPECT_STREQ(GetLastMsgError(), "Ok");
    EXPECT_EQ(SetLastMsgError("x"), 0);
    SetLastMsgError(PXERR_NOTFOUND, "Data\\x.pix");
    EXPECT_STREQ(GetLastMsgError(), "File 'Data\\x.pix' not found!");
    SetLastMsgError(PXERR_ALLOCPIX, 0, 5, 18);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating pixelmap: 0 x 5 / 18");
    SetLastMsgError(PXERR_ALLOCMEM, 4096);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating memory! (4096 bytes)");
    SetLastMsgError(PXERR_ALLOCSUBPIX, 1, 2, 3, 4);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating subpixelmap: 1, 2  -  3 x 4");
    // Every other small value is an unknown code, never a format address.
    for (intptr_t code : {intptr_t{11}, intptr_t{12}, intptr_t{255}, intptr_t{0xFFFF}, intptr_t{-1}, INTPTR_MIN}) {
        SetLastMsgError(PXERR_OK);
        SetLastMsgError(code, "unused");
        EXPECT_STREQ(GetLastMsgError(), "Unknown error in Pannix!") << code;
    }
    SetLastMsgError("pack %s: %d", "a.fpk", 7);
    EXPECT_STREQ(GetLastMsgError(), "pack a.fpk: 7");
    // The C entry takes a format address the same way.
    SetLastMsgError((intptr_t) "%d-%d", 3, 4);
    EXPECT_STREQ(GetLastMsgError(), "3-4");
}

TEST(LastError, LongTextsAreCutAndTheTextMayFormatItself)
{
    std::string longer(5000, 'x');
    SetLastMsgError("%s", longer.c_str());
    EXPECT_EQ(std::string(GetLastMsgError()), std::string(PX_LAST_ERROR_SIZE - 1, 'x'));
    SetLastMsgError(PXERR_NOTFOUND, longer.c_str());
    EXPECT_EQ(strlen(GetLastMsgError()), size_t(PX_LAST_ERROR_SIZE - 1));

    SetLastMsgError("first");
    SetLastMsgError("%s, then second", GetLastMsgError());
    EXPECT_STREQ(GetLastMsgError(), "first, then second");
}

TEST(LastError, ShownInABoxTitledPannix)
{
    PlatMsgBoxReset();
    SetLastMsgError(PXERR_OPEN, "x.fpk");
    EXPECT_EQ(ShowLastMsgError(), 0);
    char log[1024];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, "caption=\"PANNIX\" text=\"Could not open file 'x.fpk'!\" type=0x10"), nullptr) << log;
}

}  // namespace
