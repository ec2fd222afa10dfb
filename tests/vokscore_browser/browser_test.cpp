// The browser's folder list: the filter, the parent, hidden names, Terrow's field types, the program's
// field groups, the sort order and the entry limit.
#include "browser.h"
#include "support.h"

namespace {

using vstest::Root;
using vstest::system_form;

class Browser : public Root {
protected:
    // A field file whose type word (12 bytes before its end) is `type`.
    void field(const std::string &rel, uint32_t type)
    {
        std::string bytes(40, 'x');
        for (int i = 0; i < 4; i++)
            bytes[28 + i] = char(type >> (8 * i));
        write(rel, bytes);
    }

    vok::BrowserListing listing(const std::string &rel)
    {
        vok::BrowserListing l;
        l.folder = system_form((dir / rel).string()) + "\\";
        l.extensions = {".trl"};
        l.readRoot = face->readRoot;
        l.writeRoot = face->writeRoot;
        return l;
    }

    static std::vector<std::string> shown(const std::vector<vok::BrowserEntry> &list)
    {
        std::vector<std::string> out;
        for (const auto &e : list)
            out.push_back(std::string(1, e.kind()) + e.text());
        return out;
    }
};

TEST_F(Browser, ExtensionsFromTheFilter)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(vok::browser_extensions("Fenlow Field (*.trl)\0*.trl\0"), V{".trl"});
    EXPECT_EQ(vok::browser_extensions("All\0*.*\0"), V{});
    EXPECT_EQ(vok::browser_extensions("Levels\0*.kps;*.kpl\0Pictures\0*.pix;*.bmp\0"), (V{".kps", ".kpl", ".pix"}));
    EXPECT_EQ(vok::browser_extensions(nullptr), V{});
}

TEST_F(Browser, FilterParentHiddenAndOrder)
{
    write("t/b.trl", std::string(20, 0));
    write("t/A.TRL", std::string(20, 0));
    write("t/notes.txt", "x");
    write("t/.hidden.trl", "x");
    write("t/sub/x", "x");
    write("t/.cache/x", "x");
    auto list = shown(vok::browser_list(listing("t")));
    EXPECT_EQ(list, (std::vector<std::string>{"A..", "B<sub>", "LA.TRL", "Lb.trl"}));
    // No filter: every file.
    auto l = listing("t");
    l.extensions.clear();
    EXPECT_EQ(shown(vok::browser_list(l)).size(), 5u);
    // The root has no parent.
    vok::BrowserListing top;
    top.folder = "\\";
    for (const auto &e : vok::browser_list(top))
        EXPECT_NE(e.kind(), 'A');
}

TEST_F(Browser, TerrowFieldTypes)
{
    field("f/two.trl", 0x02);
    field("f/four.trl", 0x04);
    field("f/plain.trl", 0x01);
    field("f/marked.trl", 0x0A);
    write("f/short.trl", std::string(11, 0x02)); // shorter than the type word's place
    auto l = listing("f");
    l.terrow = true;
    l.editor = true;
    EXPECT_EQ(shown(vok::browser_list(l)), (std::vector<std::string>{"A..", "Kfour.trl", "Jplain.trl", "Itwo.trl"}));
    l.editor = false;
    EXPECT_EQ(shown(vok::browser_list(l)), (std::vector<std::string>{"A..", "Ifour.trl", "Itwo.trl"}));
}

TEST_F(Browser, ProgramFieldGroupsAndTheFwFolder)
{
    write("fw/Fields/x.trl", std::string(20, 0));
    write("fw/Other/y", "y");
    write("fw/z.trl", "z");
    auto l = listing("fw/Fields");
    l.terrow = l.editor = true;
    field("fw/Fields/x.trl", 0x02);
    auto list = shown(vok::browser_list(l));
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0], "A..");
    for (int g = 0; g < 5; g++)
        EXPECT_EQ(list[size_t(1 + g)][0], char('C' + g));
    EXPECT_EQ(list[6], "Ix.trl");
    // Save mode, or outside the editor: no groups.
    l.openMode = false;
    EXPECT_EQ(shown(vok::browser_list(l)).size(), 2u);
    // Inside fw\ only the folder Fields.
    EXPECT_EQ(shown(vok::browser_list(listing("fw"))), (std::vector<std::string>{"A..", "B<Fields>"}));
}

TEST_F(Browser, TheEntryAfterTheLastIsNotListed)
{
    for (int i = 0; i < vok::kBrowserEntries + 5; i++)
        write("many/" + std::to_string(10000 + i) + ".trl", "");
    auto list = vok::browser_list(listing("many"));
    EXPECT_EQ(list.size(), size_t(vok::kBrowserEntries));
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), vok::browser_before));
    // A long name is shown cut at 32 characters.
    write("long/" + std::string(40, 'n') + ".trl", "");
    auto one = vok::browser_list(listing("long"));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(std::string(one[1].text()).size(), 32u);
}

}  // namespace
