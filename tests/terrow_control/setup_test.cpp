// The interface set-up over the generated data: no warning, the loading bar in order, the packs of
// the interface language, the status bar under the view, the catalogue in the scene.
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>

#include "gamefix.h"
#include "pannix/ffpack.h"
#include "terrow/trdib.h"

using namespace trgame;

namespace {

TEST(SetupNames, PacksOfTheInterfaceLanguage)
{
    const struct {
        int32_t language;
        const char *b, *t;
    } cases[] = {{VOK_LANG_US, "trb.fpk", "trt.fpk"}, {VOK_LANG_UK, "trb.fpk", "trt.fpk"},
                 {VOK_LANG_GE, "trb_ge.fpk", "trt_ge.fpk"}, {VOK_LANG_FR, "trb_fr.fpk", "trt_fr.fpk"},
                 {VOK_LANG_HU, "trb.fpk", "trt.fpk"}};
    for (const auto &c : cases) {
        EXPECT_STREQ(TrPackName(0, c.language), c.b);
        EXPECT_STREQ(TrPackName(1, c.language), c.t);
    }
}

TEST_F(Game, SetUpShowsNoWarningAndReportsItsProgressInOrder)
{
    run(100, field("Ch_Ac.trl"), [] {
        EXPECT_NE(TrPackB(), nullptr);
        EXPECT_NE(TrPackT(), nullptr);
        EXPECT_EQ(TrCatalogueCount(), TR_CATALOGUE_SAMPLES);
        ASSERT_NE(TrCopiesGet()->background, nullptr) << "the hall behind the field (Hatter on)";
        EXPECT_NE(TrCopiesGet()->background->model, nullptr);
        EXPECT_NE(TrSceneRootsGet()->selection->parent, nullptr);
        EXPECT_EQ(TrGetModule()->warning, 0);
    });
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
    const std::vector<unsigned> expected = {10, 11, 15, 20, 24, 27, 30, 31, 33, 35, 38,
                                            40, 56, 58, 60, 65, 70, 80, 85, 90, 95};
    EXPECT_EQ(script().progress, expected);
}

TEST_F(Game, GermanTakesTheGermanPacksAndDictionary)
{
    face()->language = VOK_LANG_GE;
    run(100, field("Ch_Ac.trl"), [] {
        ASSERT_NE(TrPackB(), nullptr);
        EXPECT_NE(std::strstr(TrPackPath(0), "trb_ge.fpk"), nullptr) << TrPackPath(0);
        EXPECT_NE(std::strstr(TrPackPath(1), "trt_ge.fpk"), nullptr) << TrPackPath(1);
        EXPECT_STREQ(TrMessage(21), "Gummiball") << "ge.dic replaces the texts";
    });
    face()->language = VOK_LANG_US;
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
}

TEST_F(Game, StatusBarEndsTheBallsStripAtTheNeededCount)
{
    run(100, field("Ch_Ac.trl"), [] {
        TrShell *s = TrGetShell();
        const br_pixelmap *screen = s->screenPix;
        TrStatusBar(0);
        const int32_t split = TrStatusBarSplit();
        EXPECT_EQ(split, (int32_t)(178 + 22.5 * Palya_BallsNeeded()));
        // A row of the bar: the left strip's pixels before the marker, the right strip's after it.
        const int32_t y = screen->height - 2;  // near the bar's bottom, under the marker
        auto at = [&](int32_t x) {
            return *(const uint16_t *)((const char *)screen->pixels + (ptrdiff_t)y * screen->row_bytes + 2 * x);
        };
        EXPECT_NE(at(2), 0);
        EXPECT_NE(at(screen->width - 2), 0);
    });
}

}  // namespace
