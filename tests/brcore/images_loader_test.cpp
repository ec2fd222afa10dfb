// The own loader of 32-bit DLL images, fed images that the test writer makes.
#include <cstring>
#include <functional>

#include "images_support.h"

using Loader = ImageTest;

static PeSpec driver_spec()
{
    PeSpec s;
    s.imports = {{"BRCORE1", {"BrMemAllocate", "_BrResFree"}, {1}}, {"BRHOST1.DLL", {"HostInfo"}, {}}};
    return s;
}

TEST_F(Loader, MapsExportsResolvesImportsAndRelocates)
{
    PeLayout l;
    MemFs::files["testdrv.BDD"] = pe_write(driver_spec(), &l);
    BrHostBegin();
    br_image *core = BrImageFind("BRCORE1");
    br_image *host = BrImageFind("BRHOST1");

    br_image *img = BrImageReference("testdrv");
    ASSERT_NE(img, nullptr);
    EXPECT_TRUE(DiagLog::failures.empty());
    EXPECT_EQ(img->type, BR_IMG_OWN);
    EXPECT_TRUE(img->foreign);
    EXPECT_STREQ(img->identifier, "testdrv");
    EXPECT_EQ(img->ref_count, 1);
    EXPECT_EQ(MemFs::opened, std::vector<std::string>{"testdrv.BDD"});

    ASSERT_EQ(img->n_sections, 2);
    EXPECT_STREQ(img->sections[0].name, ".text");
    EXPECT_STREQ(img->sections[1].name, ".data");
    br_uint_8 *base = (br_uint_8 *)img->sections[0].base - PeLayout::code_rva;
    EXPECT_EQ((br_uint_8 *)img->sections[1].base, base + PeLayout::data_rva);
    EXPECT_EQ(base[PeLayout::code_rva], 0xCC) << "the section's bytes are mapped";

    // Exports become addresses inside the mapped copy.
    EXPECT_EQ(BrImageLookupName(img, "DrvBeta", 0), base + PeLayout::code_rva + 0x10);
    EXPECT_EQ(BrImageLookupOrdinal(img, 1), base + PeLayout::code_rva);

    // Imports: each referenced image gains a reference; each slot resolves to the native function.
    ASSERT_EQ(img->n_imports, 2);
    EXPECT_EQ(img->imports[0], core);
    EXPECT_EQ(img->imports[1], host);
    EXPECT_EQ(core->ref_count, 1);
    EXPECT_EQ(host->ref_count, 1);
    ASSERT_EQ(img->n_resolved, 4u);
    EXPECT_EQ(img->resolved[0].function, (void *)BrMemAllocate);
    EXPECT_EQ(img->resolved[1].function, (void *)BrResFree);
    EXPECT_EQ(img->resolved[2].function, (void *)BrAbort) << "ordinal 1 of BRCORE1";
    EXPECT_EQ(img->resolved[3].function, (void *)HostInfo);
    EXPECT_EQ(img->resolved[0].slot_rva, l.slots_rva[0]);
    EXPECT_EQ(img->resolved[3].slot_rva, l.slots_rva[1]);

    // Relocations move the 32-bit words by the difference to the preferred base, modulo 2^32.
    br_uint_32 moved = (br_uint_32)(uintptr_t)(base + PeLayout::data_rva);
    EXPECT_EQ(get32(base + PeLayout::highlow_rva), moved);
    br_uint_32 delta = moved - (0x10000000u + PeLayout::data_rva);
    br_uint_16 high = (br_uint_16)(((0x10000000u + PeLayout::data_rva) >> 16) + (delta >> 16));
    br_uint_16 low = (br_uint_16)((0x10000000u + PeLayout::data_rva) + (delta & 0xffff));
    EXPECT_EQ(base[PeLayout::high_rva] | (base[PeLayout::high_rva + 1] << 8), high);
    EXPECT_EQ(base[PeLayout::low_rva] | (base[PeLayout::low_rva + 1] << 8), low);

    // A second reference finds it on the list; the last dereference frees it and lets go of imports.
    EXPECT_EQ(BrImageReference("TESTDRV.DLL"), img);
    EXPECT_EQ(img->ref_count, 2);
    BrImageDereference(img);
    EXPECT_EQ(BrImageFind("testdrv"), img);
    BrImageDereference(img);
    EXPECT_EQ(BrImageFind("testdrv"), nullptr);
    EXPECT_EQ(core->ref_count, 0);
    EXPECT_EQ(host->ref_count, 0);
    EXPECT_EQ(MemFs::opened.size(), 1u) << "the second reference loaded nothing";
    BrHostEnd();
}

TEST_F(Loader, FrameworkEndFreesLoadedImages)
{
    MemFs::files["testdrv.BDD"] = pe_write(driver_spec(), nullptr);
    BrHostBegin();
    ASSERT_NE(BrImageReference("testdrv"), nullptr);
    ASSERT_NE(BrImageReference("testdrv"), nullptr);
    BrHostEnd();
    // The fixture's end frees the anchor, and the image with it; the sanitizer checks the rest.
}

TEST_F(Loader, FileNamesTriedFollowTheExtension)
{
    struct Case {
        const char *name;
        std::vector<std::string> own_opens;
    } cases[] = {
        {"x", {"x.BDD", "x.DLL"}},
        {"x.DLL", {"x.BDD", "x.DLL"}}, // the extension is cut first
        {"y.bed", {"y.BDD", "y.DLL"}},
        {"v.bdd.dll", {"v.bdd"}}, // only the last extension is cut
        {"w.txt", {"w.txt"}},
    };
    for (const Case &c : cases) {
        MemFs::opened.clear();
        EXPECT_EQ(BrImageReference(c.name), nullptr) << c.name;
        EXPECT_EQ(MemFs::opened, c.own_opens) << c.name;
    }
}

// Each damage, applied to a sound image, makes the own loader refuse it cleanly.
TEST_F(Loader, RefusesDamagedImages)
{
    using Patch = std::function<void(std::vector<uint8_t> &, const PeLayout &)>;
    struct Case {
        const char *what;
        Patch patch;
        const char *failure; // the message reported, if any
        PeSpec spec = driver_spec();
    };
    const uint32_t opt = PeLayout::optional, coff = PeLayout::coff, sect = PeLayout::sections;
    std::vector<Case> cases = {
        {"no MZ", [](auto &f, auto &) { f[0] = 'X'; }, nullptr},
        {"new header inside the DOS header", [](auto &f, auto &) { put32(f, 60, 0x20); }, nullptr},
        {"new header past the end", [](auto &f, auto &) { put32(f, 60, 0x7fffffff); }, nullptr},
        {"no PE signature", [](auto &f, auto &) { f[0x41] = 'X'; }, nullptr},
        {"another machine", [=](auto &f, auto &) { put16(f, coff, 0x8664); }, nullptr},
        {"not executable", [=](auto &f, auto &) { put16(f, coff + 18, 0x2100); }, nullptr},
        {"not a 32-bit machine", [=](auto &f, auto &) { put16(f, coff + 18, 0x2002); }, nullptr},
        {"relocations stripped", [=](auto &f, auto &) { put16(f, coff + 18, 0x2103); }, nullptr},
        {"64-bit optional header", [=](auto &f, auto &) { put16(f, coff + 16, 240); }, nullptr},
        {"section alignment not a power of two", [=](auto &f, auto &) { put32(f, opt + 32, 0x1800); }, nullptr},
        {"section alignment zero", [=](auto &f, auto &) { put32(f, opt + 32, 0); }, nullptr},
        {"image size absurd", [=](auto &f, auto &) { put32(f, opt + 56, 0xfffff000); }, nullptr},
        {"file cut short", [](auto &f, auto &) { f.resize(f.size() - 0x100); }, nullptr},
        {"headers cut short", [](auto &f, auto &) { f.resize(0x100); }, nullptr},
        {"section data past the image", [=](auto &f, auto &) { put32(f, sect + 40 + 16, 0x100000); }, nullptr},
        {"section placed past the image", [=](auto &f, auto &) { put32(f, sect + 40 + 12, 0x7ffff000); }, nullptr},
        {"section raw offset inside the headers", [=](auto &f, auto &) { put32(f, sect + 20, 0x100); }, nullptr},
        {"export directory past the image", [=](auto &f, auto &) { put32(f, opt + 96, 0x7ffff000); }, nullptr},
        {"export name outside the image",
         [](auto &f, auto &l) { put32(f, l.data_file(l.export_dir_rva) + 12, 0x7ffff000); }, nullptr},
        {"export count absurd",
         [](auto &f, auto &l) { put32(f, l.data_file(l.export_dir_rva) + 20, 0x40000000); }, nullptr},
        {"export ordinal past the functions",
         [](auto &f, auto &l) {
             uint32_t ords = get32(&f[l.data_file(l.export_dir_rva) + 36]);
             put16(f, l.data_file(ords), 7);
         },
         nullptr},
        {"import name entry outside the image", [](auto &f, auto &l) { put32(f, l.data_file(l.lookup_rva[0]), 0x7ffffff0); },
         nullptr},
        {"import tables run off the image",
         [](auto &f, auto &l) {
             put32(f, PeLayout::optional + 104, l.size_of_image - 4);
             put32(f, PeLayout::optional + 108, 4);
         },
         nullptr},
        {"relocation block of size 0 (would never end)",
         [](auto &f, auto &l) { put32(f, l.data_file(l.reloc_rva) + 4, 0); }, nullptr},
        {"relocation block longer than the directory",
         [](auto &f, auto &l) { put32(f, l.data_file(l.reloc_rva) + 4, 64); }, nullptr},
        {"relocation target outside the image",
         [](auto &f, auto &l) { put32(f, l.data_file(l.reloc_rva), 0x7ffff000); }, nullptr},
        {"relocation of type 4", [](auto &f, auto &l) { put16(f, l.data_file(l.reloc_rva) + 8, 0x4100); }, nullptr},
        {"relocation of type 10", [](auto &f, auto &l) { put16(f, l.data_file(l.reloc_rva) + 8, 0xA100); }, nullptr},
        {"unknown imported symbol",
         [](auto &f, auto &l) {
             // Rename the first imported name in place: "BrMemAllocate" -> "BrMemAllocatX".
             uint32_t hn = get32(&f[l.data_file(l.lookup_rva[0])]);
             f[l.data_file(hn) + 2 + 12] = 'X';
         },
         "Failure: Could not resolve imported symbol BRCORE1:BrMemAllocatX (0)"},
        {"unknown imported ordinal",
         [](auto &f, auto &l) { put32(f, l.data_file(l.lookup_rva[0]) + 8, 0x80000000u | 9999); },
         "Failure: Could not resolve imported ordinal BRCORE1:9999"},
    };
    Case missing{"image that cannot be referenced", [](auto &, auto &) {}, "Failure: Could not reference image nosuch.dll"};
    missing.spec.imports.push_back({"nosuch.dll", {"Anything"}, {}});
    cases.push_back(missing);
    Case out_of_order{"sections out of file order", [](auto &, auto &) {}, nullptr};
    out_of_order.spec.data_before_code_in_file = true;
    cases.push_back(out_of_order);

    BrHostBegin();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PeLayout l;
        std::vector<uint8_t> f = pe_write(c.spec, &l);
        c.patch(f, l);
        MemFs::files["bad.BDD"] = f;
        DiagLog::clear();
        EXPECT_EQ(BrImageReference("bad"), nullptr);
        if (c.failure != nullptr)
            EXPECT_EQ(DiagLog::failures, std::vector<std::string>{c.failure});
        else
            EXPECT_TRUE(DiagLog::failures.empty());
        EXPECT_EQ(MemFs::open_handles, 0);
        EXPECT_EQ(BrImageFind("BRCORE1")->ref_count, 0) << "references taken before the refusal are dropped";
        EXPECT_EQ(BrImageFind("BRHOST1")->ref_count, 0);
    }
    BrHostEnd();

    // The same image, undamaged, loads.
    MemFs::files["good.BDD"] = pe_write(driver_spec(), nullptr);
    BrHostBegin();
    EXPECT_NE(BrImageReference("good.dll"), nullptr);
    BrHostEnd();
}

TEST_F(Loader, AnImageImportingItselfIsRefused)
{
    PeSpec s = driver_spec();
    s.export_name = "loop";
    s.imports = {{"loop", {"_DrvAlpha"}, {}}};
    MemFs::files["loop.BDD"] = pe_write(s, nullptr);
    EXPECT_EQ(BrImageReference("loop"), nullptr);
    EXPECT_FALSE(DiagLog::failures.empty());
    EXPECT_EQ(BrImageFind("loop"), nullptr);
}

TEST_F(Loader, SharedObjectsLoadThroughTheOperatingSystem)
{
    br_image *img = BrImageReference("brsodrv");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->type, BR_IMG_HOST);
    EXPECT_FALSE(img->foreign);
    EXPECT_STREQ(img->identifier, "brsodrv");
    EXPECT_NE(BrImageLookupName(img, "BrDrv1Begin", 0), nullptr);
    EXPECT_EQ(BrImageLookupName(img, "_BrDrv1Begin", 0), nullptr) << "no underscore games with the system's loader";
    EXPECT_EQ(BrImageLookupOrdinal(img, 1), nullptr);
    EXPECT_EQ(BrImageReference("BRSODRV"), img);
    BrImageDereference(img);
    BrImageDereference(img);
    EXPECT_EQ(BrImageFind("brsodrv"), nullptr);
}
