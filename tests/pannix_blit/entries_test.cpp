// Exported helpers beside the blitters: the warning box and the memory copy.
#include <gtest/gtest.h>

#include <string>

#include "pannix/pxblit.h"
#include "vokplat/msgbox.h"

namespace {

TEST(PxWarningBox, ShowsAWarningWithTheExclamationIconCutAt1024Bytes) {
    PlatMsgBoxReset();
    EXPECT_EQ(PxWarningBox("%s has %d", "map", 7), 1);  // IDOK
    const std::string long_text(3000, 'x');
    PxWarningBox("%s", long_text.c_str());
    std::string log(8192, '\0');
    log.resize(PlatMsgBoxLog(log.data(), log.size()));
    EXPECT_NE(log.find("box caption=\"Warning\" text=\"map has 7\" type=0x30"), std::string::npos) << log;
    EXPECT_NE(log.find("text=\"" + std::string(1023, 'x') + "\""), std::string::npos);
}

TEST(PxFastMemCpy, CopiesExactlyTheCount) {
    alignas(8) unsigned char dst[32], src[32];
    for (int i = 0; i < 32; ++i) {
        src[i] = static_cast<unsigned char>(i + 1);
        dst[i] = 0xEE;
    }
    PxFastMemCpy(dst + 3, src + 3, 3);  // 5 bytes below an 8-byte boundary
    for (int i = 0; i < 32; ++i) EXPECT_EQ(dst[i], (i >= 3 && i < 6) ? i + 1 : 0xEE) << i;
    PxFastMemCpy(dst, src, 0);
    EXPECT_EQ(dst[0], 0xEE);
    PxFastMemCpy(dst + 1, src + 1, 29);
    for (int i = 1; i < 30; ++i) EXPECT_EQ(dst[i], i + 1);
    EXPECT_EQ(dst[30], 0xEE);
}

}  // namespace
