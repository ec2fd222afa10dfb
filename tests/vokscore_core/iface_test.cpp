// The interface record: one per process, defaults, per-game settings blocks and the life cycle.
#include <string.h>

#include "support.h"
#include "win32/winreg.h"

namespace {

using vstest::Root;
using Iface = Root;

TEST_F(Iface, EveryGameGetsTheSameRecordWithItsIdAndTheFrameworkBlocks)
{
    KpSettings mine{};
    face->generalSettings->gameBlocks[3] = &mine;
    face->bestRank1 = 4;
    face->gameFlags = 0;
    VokInterFace *again = VokGetInterFace(VOK_GAME_KELPA);
    EXPECT_EQ(again, face);
    EXPECT_EQ(again->gameId, VOK_GAME_KELPA);
    EXPECT_EQ(again->gameFlags, VOK_GF_INTERFACE);
    EXPECT_EQ(again->bestRank1, -1);
    EXPECT_EQ(again->bestRank2, -1);
    EXPECT_EQ(again->playerName, vok::state().playerName);
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        EXPECT_EQ(again->generalSettings->gameBlocks[g], vok::own_block(g)) << g;
}

TEST_F(Iface, StartSetsTheDefaults)
{
    face->speedIndex = 9;
    face->inGame = 1;
    strcpy(face->titleText, "x");
    InitVokScore("Data\\");
    EXPECT_EQ(face->speedIndex, 3);
    EXPECT_EQ(face->inGame, 0);
    EXPECT_EQ(face->titleText[0], '\0');
    EXPECT_EQ(face->gameKind, VOK_KIND_CHALLENGE);
    EXPECT_EQ(face->readRoot, face->writeRoot);
    const VokGeneralSettings &g = *face->generalSettings;
    EXPECT_EQ(g.cdMusic, 2);
    EXPECT_EQ(g.soundEffects, 3);
    EXPECT_EQ(g.menuCdTrack, 4);
    EXPECT_EQ(g.cursorToFocus, 1);
    const KeyBinding keys[] = {13, 36, 35, 47, 27, 33, 34, 38, 40, 37, 39};
    EXPECT_EQ(memcmp(g.globalKeys, keys, sizeof keys), 0);
    const TrSettings &tr = *static_cast<TrSettings *>(vok::own_block(2));
    EXPECT_EQ(tr.cdTrack, 6);
    EXPECT_EQ(tr.keys[0], 0x76);
    EXPECT_EQ(tr.keys[7], 0x4028);
    EXPECT_EQ(tr.spare, 32);
    const MkSettings &mk = *static_cast<MkSettings *>(vok::own_block(1));
    EXPECT_EQ(mk.params[0], -200.0f);
    EXPECT_EQ(mk.params[5], 2.4f);
    const KpSettings &kp = *static_cast<KpSettings *>(vok::own_block(3));
    EXPECT_EQ(kp.speed, 2);
    EXPECT_EQ(kp.keys[2], 32);
}

// A game registers its own block; the framework fills it at init, takes it back at close, and the next
// start of the same game sees what the game changed.
TEST_F(Iface, GameBlocksTravelInAndOut)
{
    for (int g = 0; g < VOK_GAME_COUNT; g++) {
        SCOPED_TRACE(g);
        alignas(8) unsigned char block[64];
        memset(block, 0xEE, sizeof block);
        size_t size = vok::block_size(g);
        VokInterFace *f = VokGetInterFace(VOK_GAME_BASE + g);
        f->generalSettings->gameBlocks[g] = block;
        VokInitInterFace(nullptr);
        EXPECT_EQ(memcmp(block, vok::own_block(g), size), 0);
        EXPECT_EQ(block[size], 0xEE) << "copied past the block";
        reinterpret_cast<int32_t *>(block)[0] = 40 + g; // the CD track
        VokCloseInterFace();
        EXPECT_EQ(f->generalSettings->gameBlocks[g], vok::own_block(g));
        EXPECT_EQ(static_cast<int32_t *>(vok::own_block(g))[0], 40 + g);

        unsigned char next[64] = {};
        VokGetInterFace(VOK_GAME_BASE + g)->generalSettings->gameBlocks[g] = next;
        VokInitInterFace(nullptr);
        EXPECT_EQ(reinterpret_cast<int32_t *>(next)[0], 40 + g);
        VokCloseInterFace();
    }
}

TEST_F(Iface, InitWithoutAWindowKeepsNoOwnerAndMakesNoSound)
{
    VokInitInterFace(nullptr);
    EXPECT_EQ(face->ownerWnd, nullptr);
    EXPECT_FALSE(vok::sound_created());
    EXPECT_NE(face->imgReadyEvent, nullptr);
    EXPECT_NE(face->imgDoneEvent, nullptr);
    // The slot of a game that registered nothing points at the framework's copy.
    face->generalSettings->gameBlocks[0] = nullptr;
    VokInitInterFace(nullptr);
    EXPECT_EQ(face->generalSettings->gameBlocks[0], vok::own_block(0));
    EXPECT_EQ(vok::state().textUses, 2);
    VokCloseInterFace();
    EXPECT_EQ(face->imgReadyEvent, nullptr);
    VokCloseInterFace();
    EXPECT_EQ(vok::state().textUses, 0);
    EXPECT_EQ(vok::state().soundUses, 0);
    VokCloseInterFace(); // one close too many changes nothing
    EXPECT_EQ(vok::state().textUses, 0);
}

TEST_F(Iface, GameModeAndTypeRefuseWhatTheyDoNotKnow)
{
    struct Case {
        int mode;
        int answer;
        int kept;
    } modes[] = {{100, 1, 100}, {102, 0, 100}, {101, 1, 101}, {-1, 0, 101}};
    for (const Case &c : modes) {
        EXPECT_EQ(VokSetGameMode(c.mode), c.answer) << c.mode;
        EXPECT_EQ(VokGetGameMode(), c.kept) << c.mode;
    }
    EXPECT_EQ(VokSetGameType(VOK_GAME_DUNMAR), 1);
    EXPECT_EQ(VokSetGameType(VOK_GAME_BASE + 5), 0);
    EXPECT_EQ(VokSetGameType(0x03), 0);
    EXPECT_EQ(VokGetGameType(), VOK_GAME_DUNMAR);
}

TEST_F(Iface, SetupTypeComesFromTheRegistry)
{
    DWORD seven = 7;
    ASSERT_EQ(VokRegSetValue(nullptr, "SetupType", REG_DWORD, &seven, sizeof seven), 1);
    InitVokScore("Data\\");
    EXPECT_EQ(face->setupType, 7);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ostrel Interactive\\Velmo's Games", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegDeleteValueA(key, "SetupType");
    RegCloseKey(key);
    InitVokScore("Data\\");
    EXPECT_EQ(face->setupType, 0);
}

}  // namespace
