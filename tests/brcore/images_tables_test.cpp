// The compiled-in export tables, name and ordinal look-up, the image list and the host.
#include <cstring>

#include "images_support.h"

using Tables = FwTest;

TEST_F(Tables, EveryResidentTableIsSortedWithIdentityOrdinals)
{
    BrHostBegin();
    for (const char *id : {"BRCORE1", "BRHOST1"}) {
        SCOPED_TRACE(id);
        br_image *img = BrImageFind(id);
        ASSERT_NE(img, nullptr);
        EXPECT_EQ(img->type, BR_IMG_RESIDENT);
        EXPECT_EQ(img->ordinal_base, 1u);
        EXPECT_EQ(img->ref_count, 0);
        ASSERT_EQ(img->n_names, img->n_functions);
        for (br_uint_32 i = 0; i < img->n_names; i++) {
            EXPECT_EQ(img->name_ordinals[i], i);
            EXPECT_EQ(img->names[i][0], '_');
            EXPECT_NE(img->functions[i], nullptr);
            if (i > 0) {
                EXPECT_LT(strcmp(img->names[i - 1], img->names[i]), 0) << img->names[i];
            }
        }
    }
    EXPECT_EQ(BrImageFind("BRHOST1")->n_functions, 50u);
    BrHostEnd();
    EXPECT_EQ(BrImageFind("BRHOST1"), nullptr);
}

TEST_F(Tables, NameLookupWithHintAndUnderscoreRetry)
{
    br_image *core = BrImageFind("BRCORE1");
    ASSERT_NE(core, nullptr);
    struct Case {
        const char *name;
        void *want;
    } cases[] = {
        {"BrMemAllocate", (void *)BrMemAllocate},    // finds "_BrMemAllocate" by adding the underscore
        {"_BrMemAllocate", (void *)BrMemAllocate},   // the link-level name itself
        {"__BrAssert", (void *)_BrAssert},           // a name that has an underscore of its own
        {"_BrAssert", (void *)_BrAssert},            // neither without nor as given: with one more
        {"BrNoSuchFunction", nullptr},
        {"_", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BrImageLookupName(core, c.name, 0), c.want) << c.name;

    // A right hint answers from the hint; a wrong or out-of-range one falls back to the search.
    br_uint_32 at = 0;
    while (strcmp(core->names[at], "_BrResFree") != 0)
        at++;
    EXPECT_EQ(BrImageLookupName(core, "_BrResFree", at), (void *)BrResFree);
    EXPECT_EQ(BrImageLookupName(core, "_BrResFree", at + 1), (void *)BrResFree);
    EXPECT_EQ(BrImageLookupName(core, "_BrResFree", 0xffff), (void *)BrResFree);
}

TEST_F(Tables, OrdinalsFollowTheNameOrder)
{
    br_image *core = BrImageFind("BRCORE1");
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(core->n_functions, 185u);
    EXPECT_EQ(BrImageLookupOrdinal(core, 1), (void *)BrAbort);
    EXPECT_EQ(BrImageLookupOrdinal(core, 2), (void *)BrAddHead);
    EXPECT_EQ(BrImageLookupOrdinal(core, 60), (void *)BrMemAllocate);
    EXPECT_EQ(BrImageLookupOrdinal(core, 151), (void *)BrTokenValueQuery);
    EXPECT_STREQ(core->names[184], "__PRO") << "the last name";
    EXPECT_EQ(BrImageLookupOrdinal(core, 185), BrImageLookupName(core, "_EPI", 0)) << "_PRO and _EPI: one function";
    // What belongs to the program that carries the core is not offered.
    for (const char *name : {"BrFwBegin", "BrCoreEnd", "BrSystemConfigSetString", "BrDiagHandlerSet",
                             "BrResClassAdd", "BrDevBeginOld", "BrDevLastBeginQuery", "BrRegistryNewStatic"})
        EXPECT_EQ(BrImageLookupName(core, name, 0), nullptr) << name;
    EXPECT_EQ(BrImageLookupOrdinal(core, 0), nullptr);
    EXPECT_NE(BrImageLookupOrdinal(core, core->n_functions), nullptr);
    EXPECT_EQ(BrImageLookupOrdinal(core, core->ordinal_base + core->n_functions), nullptr);

    BrHostBegin();
    br_image *host = BrImageFind("BRHOST1");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(BrImageLookupOrdinal(host, 1), (void *)HostExceptionHook);
    EXPECT_EQ(BrImageLookupOrdinal(host, 50), (void *)HostUnlock);
    EXPECT_EQ(BrImageLookupName(host, "HostInfo", 0), (void *)HostInfo);
    // The framework's own host services are not offered to drivers.
    EXPECT_EQ(BrImageLookupName(host, "HostDefaultDevice", 0), nullptr);
    EXPECT_EQ(BrImageLookupName(host, "HostImageLoad", 0), nullptr);
    BrHostEnd();
}

TEST_F(Tables, FindCutsTheDriverExtensionAndMatchesPatterns)
{
    const char *names[] = {"BRCORE1", "brcore1", "BRCORE1.DLL", "brcore1.bdd", "BrCore1.Bed", "BR*1", "BRC?RE1"};
    for (const char *n : names)
        EXPECT_EQ(BrImageFind(n), BrImageFind("BRCORE1")) << n;
    EXPECT_EQ(BrImageFind("BRCORE1.txt"), nullptr);
    EXPECT_EQ(BrImageFind("BRCORE"), nullptr);
}

TEST_F(Tables, ResidentImagesCountReferencesAndStay)
{
    // The caller's string is not written to (a literal would fault).
    br_image *a = BrImageReference("BRCORE1.DLL");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ref_count, 1);
    EXPECT_EQ(BrImageReference("brcore1"), a);
    EXPECT_EQ(a->ref_count, 2);
    BrImageDereference(a);
    BrImageDereference(a);
    BrImageDereference(a);
    EXPECT_EQ(BrImageFind("BRCORE1"), a) << "a compiled-in table is never freed";
}

TEST_F(Tables, ResidentMakeRefusesTwoEqualNames)
{
    static const br_image_export twice[] = {{"_b", (void *)BrAbort}, {"_a", (void *)BrAbort}, {"_b", (void *)BrAbort}};
    const char *names[3];
    void *functions[3];
    br_uint_16 ordinals[3];
    br_image img;
    EXPECT_FALSE(BrImageResidentMake(&img, "X", twice, 3, names, functions, ordinals));
    EXPECT_TRUE(BrImageResidentMake(&img, "X", twice, 2, names, functions, ordinals));
    EXPECT_STREQ(names[0], "_a");
    EXPECT_STREQ(names[1], "_b");
}

TEST(Host, InfoReportsTheProcessorAndRefusesAShortRecord)
{
    br_host_info info;
    memset(&info, 0xAB, sizeof(info));
    ASSERT_EQ(HostInfo(&info, sizeof(info)), (br_error)BRE_OK);
    EXPECT_EQ(info.size, 56u);
    EXPECT_STREQ(info.identifier, "Microsoft WIN32");
    for (size_t i = strlen("Microsoft WIN32"); i < sizeof(info.identifier); i++)
        EXPECT_EQ(info.identifier[i], 0);
    EXPECT_EQ(info.processor_family, 423u);
    EXPECT_GE(info.processor_type, 427u);
    EXPECT_LE(info.processor_type, 430u);
    EXPECT_TRUE(info.capabilities & HOST_CAPS_FPU);
    EXPECT_EQ(info.capabilities & ~(br_uint_32)(HOST_CAPS_FPU | HOST_CAPS_MMX), 0u);

    br_uint_8 small[20];
    memset(small, 0xAB, sizeof(small));
    EXPECT_EQ(HostInfo((br_host_info *)small, 10), (br_error)BRE_OVERFLOW);
    EXPECT_EQ(small[0], 56);
    EXPECT_EQ(small[4], 'M');
    EXPECT_EQ(small[9], 's');
    EXPECT_EQ(small[10], 0xAB) << "only the size given is written";
}

TEST(Host, SelectorsAndDosServices)
{
    EXPECT_STREQ(HostDefaultDevice(), "DDRAW");
    br_uint_16 ds = 0xffff, cs = 0;
    EXPECT_EQ(HostSelectorDS(&ds), (br_error)BRE_OK);
    EXPECT_EQ(HostSelectorCS(&cs), (br_error)BRE_OK);
    EXPECT_NE(cs, 0) << "a code segment is always loaded";
    EXPECT_EQ(HostSelectorFree(ds), (br_error)BRE_OK);
    EXPECT_EQ(HostSelectorFree((br_uint_16)(ds + 8)), (br_error)BRE_FAIL);
    EXPECT_EQ(HostSelectorAllocate(&ds), (br_error)BRE_FAIL);
    EXPECT_EQ(HostRealBlockRead(), (br_error)BRE_FAIL);
    EXPECT_EQ(HostImageLookupOrdinal(nullptr, 1), nullptr);
}

TEST(Host, CoreBeginAndEndAddAndRemoveTheHostTable)
{
    DiagLog::clear();
    BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK);
    EXPECT_NE(BrImageFind("BRHOST1"), nullptr);
    EXPECT_NE(BrImageFind("BRCORE1"), nullptr);
    br_image *pmap = BrImageFind("BRPMAP1");
    ASSERT_NE(pmap, nullptr);
    EXPECT_EQ(pmap->n_functions, 77u);
    EXPECT_NE(BrImageLookupName(pmap, "_PixelmapLineClip", 0), nullptr);
    ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK);
    ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK) << "a second begin makes the tables again";
    EXPECT_NE(BrImageFind("BRHOST1"), nullptr);
    EXPECT_NE(BrImageFind("BRPMAP1"), nullptr);
    ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK);
}

TEST(Host, FreeingTheLastBegunScreenForgetsIt)
{
    BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK);
    br_pixelmap *screen = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    ASSERT_NE(screen, nullptr);
    BrDevLastBeginSet(screen);
    BrPixelmapFree(screen);
    EXPECT_EQ(BrDevLastBeginQuery(), nullptr);
    ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK);
}
