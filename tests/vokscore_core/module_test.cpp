// The framework as a program loads it: the module's entry takes its own folder as the root.
#include <gtest/gtest.h>

#include <string>

#include "vokscore/vokiface.h"
#include "win32/windows.h"

namespace {

TEST(Module, TheRootIsTheModulesOwnFolder)
{
    HMODULE module = LoadLibraryA(VOK_BIN_DIR "/VokScore.dll");
    ASSERT_NE(module, nullptr) << GetLastError();
    auto get = reinterpret_cast<VokInterFace *(*)(uint32_t)>(GetProcAddress(module, "VokGetInterFace"));
    ASSERT_NE(get, nullptr);
    VokInterFace *face = get(VOK_GAME_VARNEL);
    ASSERT_NE(face, nullptr);
    std::string root = VOK_BIN_DIR;
    for (char &c : root)
        if (c == '/')
            c = '\\';
    EXPECT_EQ(std::string(face->readRoot), root + "\\");
    EXPECT_EQ(face->writeRoot, face->readRoot);
    EXPECT_EQ(face->gameId, VOK_GAME_VARNEL);
    EXPECT_EQ(face->gameKind, VOK_KIND_CHALLENGE);
    EXPECT_EQ(face->generalSettings->cdMusic, 2);
    EXPECT_EQ(GetProcAddress(module, "BrBegin"), nullptr) << "the 3D library stays inside Pannix";
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
