// Packs: the three ways to open one, lookups by name, the file interface over entries and plain files,
// the current pack, and damaged packs refused before anything is read.
#include <string.h>

#include <algorithm>
#include <random>
#include <string>

#include "pannix/ffpack.h"
#include "support.h"

namespace {

using pxtest::bytes_of;

std::vector<fpk::Entry> sample_entries()
{
    std::vector<uint8_t> hundred(100);
    for (size_t i = 0; i < hundred.size(); i++)
        hundred[i] = uint8_t(i);
    return {
        {"alpha.txt", bytes_of("hello pack"), 0},
        {"Hundred.BIN", hundred, 0},
        {"empty.dat", {}, 0},
        {"zeta.txt", bytes_of("last"), 0},
        {"Menu\\Co0000.pix", bytes_of("frame"), 0},
    };
}

std::string read_all(FFFILEHANDLE *f)
{
    std::string out;
    char buf[7];
    int32_t n;
    while ((n = FFRead(f, buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    EXPECT_EQ(n, 0);
    return out;
}

class PackTest : public pxtest::Scratch, public ::testing::WithParamInterface<uint32_t> {
protected:
    void SetUp() override
    {
        pxtest::Scratch::SetUp();
        pxtest::write_bytes(path("sample.fpk"), pxtest::pack_bytes(sample_entries()));
    }
    void TearDown() override
    {
        FFSetCurrentPack(nullptr);
        pxtest::Scratch::TearDown();
    }
};

TEST_P(PackTest, EntriesAreFoundWithoutRegardToCase)
{
    // Without extension the name gets ".fpk".
    FFPACKHANDLE *pack = FFOpenPack(path("sample").c_str(), GetParam());
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    EXPECT_EQ(FFGetCurrentPack(), pack);
    EXPECT_EQ(pack->count, 5u);

    struct Case {
        const char *name;
        const char *content; // null: not found
    };
    const Case cases[] = {
        {"alpha.txt", "hello pack"},
        {"ALPHA.TXT", "hello pack"},
        {"hundred.bin", nullptr}, // checked below by size
        {"Zeta.Txt", "last"},
        {"empty.dat", ""},
        {"C:\\Games\\Data\\ALPHA.TXT", "hello pack"}, // drive: cut to the file name
        {"\\data\\zeta.txt", "last"},                 // leading backslash: cut too
        {"/srv/data/Zeta.txt", "last"},                // a host path the same way
        {"data\\alpha.txt", nullptr},                 // a relative folder stays in the key
        {"MENU\\CO0000.PIX", "frame"},                // and finds an entry stored under one
        {"missing.txt", nullptr},
        {"alpha.tx", nullptr},
        {"alpha.txtx", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FFFILEHANDLE *f = FFOpen(c.name, 0);
        if (strcmp(c.name, "hundred.bin") == 0) {
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(FFSeek(f, 0, 2), 100);
        } else if (c.content == nullptr) {
            EXPECT_EQ(f, nullptr);
            std::string expected = std::string("FFFileOpen: File \"") + c.name + "\" not found in pack";
            EXPECT_EQ(std::string(GetLastMsgError()), expected);
        } else {
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(read_all(f), c.content);
        }
        FFClose(f);
    }
    EXPECT_EQ(FFClosePack(pack), 0);
    EXPECT_EQ(FFGetCurrentPack(), nullptr);
}

TEST_P(PackTest, ReadSeekAndTellStayInsideTheEntry)
{
    FFPACKHANDLE *pack = FFOpenPack(path("sample.fpk").c_str(), GetParam());
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    SetLastMsgError("earlier failure");
    FFFILEHANDLE *f = FFOpenP(pack, "hundred.bin");
    ASSERT_NE(f, nullptr);
    // A success leaves the text of the last failure.
    EXPECT_STREQ(GetLastMsgError(), "earlier failure");
    uint8_t buf[100];
    EXPECT_EQ(FFSeek(f, 90, 0), 90);
    EXPECT_EQ(FFRead(f, buf, 100), 10);
    EXPECT_EQ(buf[0], 90);
    EXPECT_EQ(buf[9], 99);
    EXPECT_EQ(FFRead(f, buf, 100), 0);
    EXPECT_EQ(FFTell(f), 100);

    EXPECT_EQ(FFSeek(f, 0, 2), 100);
    PlatDebugOutputClear();
    EXPECT_EQ(FFSeek(f, 1, 2), -1);
    EXPECT_EQ(FFTell(f), 100);
    EXPECT_EQ(FFSeek(f, -101, 1), -1);
    EXPECT_EQ(FFSeek(f, -40, 1), 60);
    EXPECT_EQ(FFSeek(f, INT32_MAX, 1), -1);
    EXPECT_EQ(FFTell(f), 60);
    EXPECT_NE(pxtest::debug_output().find("FFSeek: Invalid offset\r\n"), std::string::npos);
    EXPECT_EQ(FFSeek(f, 0, 3), -1);
    EXPECT_NE(pxtest::debug_output().find("FFSeek: Invalid 'how' field\r\n"), std::string::npos);
    EXPECT_EQ(FFRead(f, buf, -1), -1);
    EXPECT_NE(pxtest::debug_output().find("FFRead: invalid size\r\n"), std::string::npos);
    EXPECT_EQ(FFTell(f), 60);

    SetLastMsgError("before");
    EXPECT_EQ(FFRead(f, nullptr, 4), -1);
    EXPECT_STREQ(GetLastMsgError(), "FFRead: invalid params");
    EXPECT_EQ(FFRead(nullptr, buf, 4), -1);
    EXPECT_EQ(FFSeek(nullptr, 0, 0), -1);
    EXPECT_STREQ(GetLastMsgError(), "FFSeek: invalid handle");
    EXPECT_EQ(FFTell(nullptr), -1);
    EXPECT_STREQ(GetLastMsgError(), "FFTell: invalid handle");
    EXPECT_EQ(FFClose(f), 0);
    EXPECT_EQ(FFClose(nullptr), 0);

    // The address of an entry is its data in pack memory.
    const auto *data = static_cast<const uint8_t *>(FFGetFileAddress("HUNDRED.BIN"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[42], 42);
    EXPECT_EQ(FFGetFileAddress("nope"), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFGetFileAddress: File \"nope\" not found in pack");
    EXPECT_EQ(FFGetFileAddress(""), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFGetFileAddress: invalid name");
    FFClosePack(pack);
    EXPECT_EQ(FFGetFileAddress("alpha.txt"), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFGetFileAddress: no open pack");
}

TEST_P(PackTest, ManyEntriesAreFoundByBinarySearch)
{
    std::vector<fpk::Entry> entries;
    for (int i = 0; i < 300; i++)
        entries.push_back({std::string("e").append(std::to_string(i * 7919 % 1000)).append(".dat"), bytes_of(std::to_string(i)), 0});
    pxtest::write_bytes(path("many.fpk"), pxtest::pack_bytes(entries));
    FFPACKHANDLE *pack = FFOpenPack(path("many.fpk").c_str(), GetParam());
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    std::mt19937 rng(7);
    for (const fpk::Entry &e : entries) {
        std::string name = e.name;
        for (char &c : name)
            if (rng() & 1)
                c = char(toupper((unsigned char)c));
        FFFILEHANDLE *f = FFOpenP(pack, name.c_str());
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(read_all(f), std::string(e.data.begin(), e.data.end()));
        FFClose(f);
    }
    EXPECT_EQ(FFOpenP(pack, "e1.dat"), nullptr);
    FFClosePack(pack);
}

INSTANTIATE_TEST_SUITE_P(Ways, PackTest, ::testing::Values(0u, uint32_t(FF_OPEN_LOAD)),
                         [](const auto &info) { return info.param ? std::string("Loaded") : std::string("Mapped"); });

using PackFiles = pxtest::Scratch;

TEST_F(PackFiles, APackTheProgramCarriesIsServedFromItsResource)
{
    // No file of that name exists: the resource answers.
    FFPACKHANDLE *pack = FFOpenPack("respack", 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    EXPECT_NE(pack->resource, nullptr);
    FFFILEHANDLE *f = FFOpen("README.TXT", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "served from the program\n");
    FFClose(f);
    f = FFOpenP(pack, "second.dat");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "second entry");
    FFClose(f);
    FFClosePack(pack);
}

TEST_F(PackFiles, TheCurrentPackFollowsOpensAndCloses)
{
    pxtest::write_bytes(path("a.fpk"), pxtest::pack_bytes({{"a.txt", bytes_of("A"), 0}}));
    pxtest::write_bytes(path("b.dat"), pxtest::pack_bytes({{"b.txt", bytes_of("B"), 0}}));
    FFPACKHANDLE *a = FFOpenPack(path("a").c_str(), 0);
    // Any other extension is kept.
    FFPACKHANDLE *b = FFOpenPack(path("b.dat").c_str(), 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr) << GetLastMsgError();
    EXPECT_EQ(FFGetCurrentPack(), b);
    EXPECT_EQ(FFOpen("a.txt", 0), nullptr);
    FFSetCurrentPack(a);
    FFFILEHANDLE *f = FFOpen("a.txt", 0);
    EXPECT_NE(f, nullptr);
    FFClose(f);

    // A failed open leaves the current pack alone.
    EXPECT_EQ(FFOpenPack(path("none").c_str(), 0), nullptr);
    EXPECT_EQ(std::string(GetLastMsgError()), "FFOpenPack: CreateFile( " + path("none.fpk") + " ) Failed");
    EXPECT_EQ(FFOpenPack(path("none").c_str(), FF_OPEN_LOAD), nullptr);
    EXPECT_EQ(std::string(GetLastMsgError()), "FFOpenPack: File '" + path("none.fpk") + "' not found");
    EXPECT_EQ(FFGetCurrentPack(), a);

    FFClosePack(b);
    EXPECT_EQ(FFGetCurrentPack(), a);
    FFClosePack(a);
    EXPECT_EQ(FFGetCurrentPack(), nullptr);
    EXPECT_EQ(FFClosePack(nullptr), 0);
}

TEST_F(PackFiles, PlainFilesThroughTheSameHandles)
{
    pxtest::write_text(path("plain.txt"), "0123456789");
    pxtest::write_bytes(path("p.fpk"), pxtest::pack_bytes({{"plain.txt", bytes_of("from the pack"), 0}}));
    FFSetCurrentPack(nullptr);

    FFFILEHANDLE *f = FFOpen(path("PLAIN.TXT").c_str(), 0);
    ASSERT_NE(f, nullptr) << GetLastMsgError();
    char buf[16] = {};
    EXPECT_EQ(FFRead(f, buf, 4), 4);
    EXPECT_EQ(FFTell(f), 4);
    EXPECT_EQ(FFSeek(f, -2, 2), 8);
    EXPECT_EQ(FFRead(f, buf, 16), 2);
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(FFSeek(f, -20, 1), -1);
    EXPECT_EQ(FFTell(f), 10);
    FFClose(f);

    EXPECT_EQ(FFOpen(path("missing.txt").c_str(), 0), nullptr);
    EXPECT_EQ(std::string(GetLastMsgError()), "FFFileOpen: fopen failed with '" + path("missing.txt") + "'");
    EXPECT_EQ(FFOpen("", 0), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFOpen: invalid filename");

    // With a current pack the pack answers, unless 0x100 asks for a plain file first.
    FFPACKHANDLE *pack = FFOpenPack(path("p.fpk").c_str(), 0);
    ASSERT_NE(pack, nullptr);
    f = FFOpen(path("plain.txt").c_str(), 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "from the pack");
    FFClose(f);
    f = FFOpen(path("plain.txt").c_str(), FF_OPEN_FILE_FIRST | FF_OPEN_TEXT);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "0123456789");
    FFClose(f);
    // A plain file that is missing falls through to the pack.
    f = FFOpen("\\nowhere\\plain.txt", FF_OPEN_FILE_FIRST);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "from the pack");
    FFClose(f);

    EXPECT_EQ(FFOpenP(nullptr, "x"), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFFileOpen: invalid pack");
    EXPECT_EQ(FFOpenP(pack, nullptr), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "FFFileOpen: invalid name");
    FFClosePack(pack);
}

// Damaged packs: every one is refused at open with the reason, in both ways of opening.
TEST_F(PackFiles, DamagedPacksAreRefused)
{
    const std::vector<uint8_t> good = pxtest::pack_bytes(sample_entries());
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        fpk::put32(b, at, value);
        return b;
    };
    const size_t dir = fpk::kHeaderSize;
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
        {"directory past the end", patched(12, 1000)},
        {"huge entry count", patched(12, 0xFFFFFFFFu)},
        {"name offset past the end", patched(dir + 16, uint32_t(good.size()))},
        {"data offset past the end", patched(dir + 4, uint32_t(good.size()) + 5)},
        {"size past the end", patched(dir + 12, uint32_t(good.size()))},
        {"offset plus size wraps", patched(dir + 12, 0xFFFFFFF0u)},
        {"truncated data", std::vector<uint8_t>(good.begin(), good.end() - 2)},
    };
    // A name that runs to the end of the file without its zero byte.
    std::vector<uint8_t> tail = good;
    tail.push_back('x');
    fpk::put32(tail, dir, uint32_t(tail.size() - 1));

    FFPACKHANDLE *keep = FFOpenPack("respack", 0);
    ASSERT_NE(keep, nullptr);
    auto check = [&](const std::string &what, const std::vector<uint8_t> &bytes) {
        pxtest::write_bytes(path("bad.fpk"), bytes);
        for (uint32_t flags : {0u, uint32_t(FF_OPEN_LOAD)}) {
            SCOPED_TRACE(what + (flags ? " (loaded)" : " (mapped)"));
            SetLastMsgError("untouched");
            EXPECT_EQ(FFOpenPack(path("bad.fpk").c_str(), flags), nullptr);
            std::string error = GetLastMsgError();
            EXPECT_EQ(error.rfind("FFOpenPack: File '" + path("bad.fpk") + "'", 0), 0u) << error;
            EXPECT_EQ(FFGetCurrentPack(), keep);
        }
    };
    for (const Case &c : cases)
        check(c.what, c.bytes);
    check("unterminated name", tail);
    FFClosePack(keep);

    // The good pack itself opens.
    pxtest::write_bytes(path("good.fpk"), good);
    FFPACKHANDLE *pack = FFOpenPack(path("good.fpk").c_str(), 0);
    EXPECT_NE(pack, nullptr) << GetLastMsgError();
    FFClosePack(pack);
}

}  // namespace
