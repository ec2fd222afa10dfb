// The language pack: the line table, tips, demo scripts, field names and key names.
#include <string.h>

#include "support.h"

namespace {

using vstest::Root;
using Texts = Root;

const char *kPack = "data/us/mnutext.fpk"; // found by "Data\US\mnutext" without regard to case

TEST_F(Texts, BuiltInTextsStayWithoutAPack)
{
    EXPECT_EQ(VokLoadTextFiles(), 0);
    EXPECT_STREQ(vok::text(49), "Velmo's Games");
    EXPECT_STREQ(vok::text(72), "RIGHT");
    EXPECT_STREQ(vok::text(0), "");
    EXPECT_EQ(vok::text(73), nullptr);
    EXPECT_EQ(vok::text(512), nullptr);
    EXPECT_EQ(vok::text(-1), nullptr);
    EXPECT_EQ(vok::special_text(vok::kStory), nullptr);
}

TEST_F(Texts, LineTableTakesTheFirst512Entries)
{
    std::string text = "header line before the first entry\r\n";
    for (int i = 0; i < 600; i++)
        text += "~text " + std::to_string(i) + (i % 2 ? "\r\n" : "\nsecond line\n");
    write_pack(kPack, {{"mnutext.txt", text}, {"story.txt", "Once upon a time"}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    EXPECT_STREQ(vok::text(0), "text 0\nsecond line");
    EXPECT_STREQ(vok::text(1), "text 1");
    EXPECT_STREQ(vok::text(511), "text 511");
    EXPECT_EQ(vok::text(512), nullptr);
    EXPECT_STREQ(vok::special_text(vok::kStory), "Once upon a time");
    // Freeing forgets every pointer into the block: the built-in texts come back.
    VokFreeTextFiles();
    EXPECT_STREQ(vok::text(1), "%s's progress");
    EXPECT_EQ(vok::text(100), nullptr);
    EXPECT_EQ(vok::special_text(vok::kStory), nullptr);

    // A shorter table replaces only its own entries.
    write_pack(kPack, {{"mnutext.txt", "~Leer\n~Fortschritt von %s\n"}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    EXPECT_STREQ(vok::text(1), "Fortschritt von %s");
    EXPECT_STREQ(vok::text(2), "in Velmo's Challenge");
}

TEST_F(Texts, TipsStopAtTheFirstMissingOne)
{
    write_pack(kPack, {{"mnutext.txt", "~a\n"},
                       {"mktip1.txt", "one"},
                       {"mktip2.txt", "two"},
                       {"mktip4.txt", "four"},
                       {"MKRULES.TXT", "rules"},
                       {"kptip1.txt", "kp"}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    const vok::GameTexts *mk = vok::game_texts(1);
    ASSERT_NE(mk, nullptr);
    EXPECT_EQ(mk->tipCount, 2);
    EXPECT_STREQ(mk->tips[1], "two");
    EXPECT_STREQ(mk->rules, "rules");
    EXPECT_EQ(mk->controls, nullptr);
    EXPECT_EQ(vok::game_texts(3)->tipCount, 1);
    EXPECT_EQ(vok::game_texts(0)->tipCount, 0);
    EXPECT_EQ(vok::game_texts(5), nullptr);
}

TEST_F(Texts, DemoScriptsAlwaysEndWithTheEndStep)
{
    std::string many;
    for (int i = 1; i <= 60; i++)
        many += "~" + std::to_string(i * 10) + "," + std::to_string(i * 10 + 5) + "\nstep\n";
    write_pack(kPack, {{"mnutext.txt", "~a\n"},
                       {"vndemo.txt", "~100, 200 comment\nFirst\nstep\n~300,400\nSecond\n~0,1\nnever\n"},
                       {"mkdemo.txt", many},
                       {"kpdemo.txt", "~12\nno second number\n"},
                       {"dmdemo.txt", "~99999999999,-99999999999\nfar\n"}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    const vok::DemoStep *vn = vok::game_texts(0)->demo;
    ASSERT_NE(vn, nullptr);
    EXPECT_EQ(vn[0].start, 100);
    EXPECT_EQ(vn[0].end, 200);
    EXPECT_STREQ(vn[0].text, "First\nstep");
    EXPECT_STREQ(vn[1].text, "Second");
    EXPECT_EQ(vn[2].start, 10000);
    EXPECT_EQ(vn[2].end, 10001);
    EXPECT_EQ(vn[2].text, vok::text(57));
    EXPECT_EQ(vn[3].start, -1);

    const vok::DemoStep *mk = vok::game_texts(1)->demo;
    EXPECT_EQ(mk[47].start, 480);
    EXPECT_EQ(mk[48].start, 10000);
    EXPECT_EQ(mk[49].start, -1);

    const vok::DemoStep *kp = vok::game_texts(3)->demo;
    EXPECT_EQ(kp[0].start, 10000);
    EXPECT_EQ(kp[1].start, -1);
    // Numbers past the int32 range are held at its ends.
    const vok::DemoStep *dm = vok::game_texts(4)->demo;
    EXPECT_EQ(dm[0].start, INT32_MAX);
    EXPECT_EQ(dm[0].end, -INT32_MAX);
    EXPECT_EQ(vok::game_texts(2)->demo, nullptr);
}

TEST_F(Texts, FieldListsBySection)
{
    std::string fields = "loose line before any section\n#c challenge\nab\nx\nChallenge two  \t\r\n"
                         "#Z unknown section\nlost\n#E\n";
    for (int i = 0; i < 30; i++)
        fields += "Demo field " + std::to_string(i) + "\n";
    fields += "#S\n" + std::string(40, 's') + "\n#h\r\nHard one";
    write_pack(kPack, {{"mnutext.txt", "~a\n"}, {"fwfields.txt", fields}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    EXPECT_EQ(vok::field_count(0), 2);
    EXPECT_STREQ(vok::field_name(0, 0), "ab");
    EXPECT_STREQ(vok::field_name(0, 1), "Challenge two");
    EXPECT_EQ(vok::field_count(1), 25);
    EXPECT_STREQ(vok::field_name(1, 24), "Demo field 24");
    EXPECT_EQ(strlen(vok::field_name(2, 0)), 31u);
    EXPECT_STREQ(vok::field_name(3, 0), "Hard one");
    EXPECT_EQ(vok::field_count(4), 0);
    EXPECT_EQ(vok::field_name(1, 25), nullptr);
    EXPECT_EQ(vok::field_name(0, -1), nullptr);
    EXPECT_EQ(vok::field_name(5, 0), nullptr);
    EXPECT_STREQ(vok::field_prefix(2), "Stand_");
}

TEST_F(Texts, KeyNamesFollowTheFixedCodeOrder)
{
    std::string keys;
    for (int i = 0; i < 160; i++)
        keys += "name" + std::to_string(i) + "\r\n";
    write_pack(kPack, {{"mnutext.txt", "~a\n"}, {"keys.txt", keys}});
    ASSERT_EQ(VokLoadTextFiles(), 1);
    EXPECT_STREQ(vok::key_name('0'), "name0");
    EXPECT_STREQ(vok::key_name('A'), "name10");
    EXPECT_STREQ(vok::key_name(0xC0), "name36");
    EXPECT_STREQ(vok::key_name(1), "name47");     // left mouse button
    EXPECT_STREQ(vok::key_name(0x20), "name61");  // space
    EXPECT_STREQ(vok::key_name(0x70), "name96");  // F1
    EXPECT_STREQ(vok::key_name(0xA5), "name127");
    EXPECT_STREQ(vok::key_name(0x1016), "name150"); // the first of its six entries
    EXPECT_EQ(vok::key_code(155), 0x1016);
    EXPECT_EQ(vok::key_code(156), -1);
    EXPECT_EQ(vok::key_name(0x99), nullptr);
}

// Each file needs its length and a terminator in the block; one that no longer fits is skipped.
TEST_F(Texts, AFileThatDoesNotFitTheBlockIsSkipped)
{
    std::string full(vok::kTextBlockSize, 'x');
    full[0] = '~';
    write_pack(kPack, {{"mnutext.txt", full}, {"story.txt", "fits"}});
    EXPECT_EQ(VokLoadTextFiles(), 0);
    EXPECT_STREQ(vok::text(0), "");
    EXPECT_STREQ(vok::special_text(vok::kStory), "fits");

    std::string almost(vok::kTextBlockSize - 1, 'y');
    almost[0] = '~';
    write_pack(kPack, {{"mnutext.txt", almost}, {"story.txt", "no room"}});
    EXPECT_EQ(VokLoadTextFiles(), 1);
    EXPECT_EQ(strlen(vok::text(0)), vok::kTextBlockSize - 2);
    EXPECT_EQ(vok::special_text(vok::kStory), nullptr);
}

TEST_F(Texts, TextsUsedAsFormatsFillOnlyWhatTheyAreGiven)
{
    struct Case {
        const char *format;
        std::initializer_list<const char *> args;
        const char *out;
    } cases[] = {
        {"%s's progress", {"Ann"}, "Ann's progress"},
        {"Are you sure to clear highscore\n\n'%s' - '%s'?", {"Varnel"}, "Are you sure to clear highscore\n\n'Varnel' - ''?"},
        {"%n%x%s 100%% %d", {"a", "7"}, "%n%xa 100% 7"},
        {"%s", {nullptr}, ""},
    };
    for (const Case &c : cases) {
        char out[128];
        vok::format_text(out, sizeof out, c.format, c.args);
        EXPECT_STREQ(out, c.out) << c.format;
    }
    char tiny[4];
    EXPECT_EQ(vok::format_text(tiny, sizeof tiny, "%s!", {"long"}), 3u);
    EXPECT_STREQ(tiny, "lon");
}

}  // namespace
