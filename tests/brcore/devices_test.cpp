// The device table, driver loading through built-in images, output devices and facility look-up.
#include <cstring>

#include "brondel/brconfig.h"
#include "images_support.h"
#include "test_driver.h"

class Devices : public ImageTest {
protected:
    void SetUp() override
    {
        ImageTest::SetUp();
        TestDriver::clear();
        test_driver_images_add();
    }
    void TearDown() override
    {
        remove_all();
        ImageTest::TearDown();
    }
    // The framework end alone leaves devices to the core end: free what is left.
    static void remove_all()
    {
        for (br_device *d; BrDevFind(&d, nullptr) == BRE_OK;)
            BrDevRemove(d);
    }
    // Ends the framework and begins it again with the recording handler and the memory files.
    static void rebegin(bool core = false, bool drivers = true)
    {
        remove_all();
        BrFwEnd();
        BrDiagHandlerSet(&DiagLog::handler);
        BrFilesystemSet(&MemFs::record);
        ASSERT_EQ(core ? BrCoreBegin() : BrFwBegin(), (br_error)BRE_OK);
        if (drivers)
            test_driver_images_add();
    }
    br_int_32 count()
    {
        br_int_32 n = -1;
        EXPECT_EQ(BrDevCount(&n, nullptr), (br_error)BRE_OK);
        return n;
    }
};

static br_device *shared_device;
static br_device *begin_shared(const char *)
{
    TestDriver::begun.push_back("shared");
    return shared_device;
}
static br_device *begin_null(const char *)
{
    return nullptr;
}

TEST_F(Devices, AddByImageNameReferencesTheImageOncePerDevice)
{
    br_device *dev = nullptr;
    ASSERT_EQ(BrDevAdd(&dev, "softrend", "opt=1"), (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(dev), "softrend");
    EXPECT_EQ(TestDriver::begun, std::vector<std::string>{"opt=1"});
    EXPECT_EQ(BrImageFind("softrend")->ref_count, 1);

    EXPECT_EQ(BrDevAdd(nullptr, "nosuchdriver", nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(BrDevAdd(nullptr, "nobegin", nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(BrImageFind("nobegin")->ref_count, 0) << "a missing entry drops the reference";
    EXPECT_EQ(BrDevAddStatic(nullptr, begin_null, nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(count(), 1);

    ASSERT_EQ(BrDevRemove(dev), (br_error)BRE_OK);
    EXPECT_EQ(TestDriver::frees, 1);
    EXPECT_EQ(BrImageFind("softrend")->ref_count, 0);
    EXPECT_EQ(count(), 0);
}

TEST_F(Devices, FindCountAndFindManyInTableOrder)
{
    br_device *a, *b, *c;
    ASSERT_EQ(BrDevAdd(&a, "softrend", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevAdd(&b, "a", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevAdd(&c, "softrndf", nullptr), (br_error)BRE_OK);

    br_device *found = nullptr;
    EXPECT_EQ(BrDevFind(&found, "soft*"), (br_error)BRE_OK);
    EXPECT_EQ(found, a);
    EXPECT_EQ(BrDevFind(nullptr, "x*"), (br_error)BRE_FAIL);
    br_int_32 n = 0;
    EXPECT_EQ(BrDevCount(&n, "soft*"), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);

    br_device *many[2] = {};
    EXPECT_EQ(BrDevFindMany(many, &n, 2, "soft*"), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(many[0], a);
    EXPECT_EQ(many[1], c);
    EXPECT_EQ(BrDevFindMany(many, &n, 1, "soft*"), (br_error)BRE_OVERFLOW);

    br_object *objs[4];
    EXPECT_EQ(BrDevContainedFindMany(objs, 4, &n, BRT_RENDERER_FACILITY, nullptr, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(BrDevContainedFindMany(objs, 1, &n, BRT_RENDERER_FACILITY, nullptr, nullptr), (br_error)BRE_OVERFLOW);
    EXPECT_EQ(BrDevContainedCount(&n, 0, nullptr, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(n, 3);
}

TEST_F(Devices, SeventeenthDeviceGrowsTheTableAndKeepsTheFirstSixteen)
{
    br_device *devs[17];
    for (int i = 0; i < 17; i++)
        ASSERT_EQ(BrDevAdd(&devs[i], "a", nullptr), (br_error)BRE_OK) << i;
    EXPECT_EQ(count(), 17);
    br_device *all[32];
    br_int_32 n = 0;
    ASSERT_EQ(BrDevFindMany(all, &n, 32, nullptr), (br_error)BRE_OK);
    ASSERT_EQ(n, 17);
    for (int i = 0; i < 17; i++)
        EXPECT_EQ(all[i], devs[i]) << i;
    EXPECT_EQ(BrImageFind("a")->ref_count, 17);

    // Freed entries are reused before the table grows again.
    BrDevRemove(devs[3]);
    br_device *again = nullptr;
    ASSERT_EQ(BrDevAdd(&again, "b", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevFindMany(all, &n, 32, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(all[3], again);
}

TEST_F(Devices, ADeviceInTwoEntriesIsFreedOnce)
{
    shared_device = (br_device *)test_device_new("shared", {});
    ASSERT_EQ(BrDevAddStatic(nullptr, begin_shared, nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevAdd(nullptr, "a", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevAddStatic(nullptr, begin_shared, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(count(), 3);
    ASSERT_EQ(BrDevRemove(shared_device), (br_error)BRE_OK);
    EXPECT_EQ(TestDriver::frees, 1);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(BrDevFind(nullptr, "shared"), (br_error)BRE_FAIL);
}

TEST_F(Devices, CoreEndRemovesEveryDevice)
{
    rebegin(true);
    ASSERT_EQ(BrDevAdd(nullptr, "a", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrDevAdd(nullptr, "softrend", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK);
    EXPECT_EQ(TestDriver::frees, 2);
    rebegin(); // for the fixture's end
}

TEST_F(Devices, ConfiguredDriverListLoadsOncePerBegin)
{
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_DRIVERS_STR, "a, x=1;;b; ;nosuch:y"), (br_error)BRE_OK);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(TestDriver::begun, (std::vector<std::string>{" x=1", ""}));
    br_device *d = nullptr;
    EXPECT_EQ(BrDevFind(&d, "b"), (br_error)BRE_OK);
    EXPECT_EQ(count(), 2) << "the list is loaded once";
    EXPECT_EQ(TestDriver::begun.size(), 2u);

    // A name may end at ":" as well, and is trimmed.
    rebegin();
    TestDriver::clear();
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_DRIVERS_STR, "  b :w=2,h=3"), (br_error)BRE_OK);
    EXPECT_EQ(BrDevCheckAdd(&d, "b", "ignored"), (br_error)BRE_OK);
    EXPECT_EQ(TestDriver::begun, std::vector<std::string>{"w=2,h=3"}) << "found, not added again";
}

TEST_F(Devices, RendererFacilityFoundByTypeLoadingTheTypedDriverFirst)
{
    br_renderer_facility *rf = nullptr;
    ASSERT_EQ(BrRendererFacilityFind(&rf, nullptr, BRT_FLOAT), (br_error)BRE_OK);
    ASSERT_NE(rf, nullptr);
    EXPECT_STREQ(ObjectIdentifier(rf), "Default-Renderer-Float");
    br_device *d = nullptr;
    EXPECT_EQ(BrDevFind(&d, "softrndf"), (br_error)BRE_OK);
    EXPECT_EQ(BrDevFind(&d, "softrend"), (br_error)BRE_FAIL) << "the typed driver was enough";

    // A second look-up finds it among the devices without loading anything.
    br_renderer_facility *again = nullptr;
    ASSERT_EQ(BrRendererFacilityFind(&again, nullptr, BRT_FLOAT), (br_error)BRE_OK);
    EXPECT_EQ(again, rf);
    EXPECT_EQ(count(), 1);

    // Untyped, the default name is wanted, which only "softrend" offers.
    ASSERT_EQ(BrRendererFacilityFind(&again, nullptr, BRT_NONE), (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(again), "Default-Renderer");
    EXPECT_EQ(count(), 2);

    // Fixed: no "softrndx" exists, so "softrend" (already loaded) answers.
    ASSERT_EQ(BrRendererFacilityFind(&again, nullptr, BRT_FIXED), (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(again), "Default-Renderer");

    br_primitive_library *pl = nullptr;
    ASSERT_EQ(BrPrimitiveLibraryFind(&pl, nullptr, BRT_FLOAT), (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(pl), "Default-Primitives");
    br_geometry *gf = nullptr;
    EXPECT_EQ(BrGeometryFormatFind(&gf, nullptr, nullptr, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL), (br_error)BRE_FAIL);
}

TEST_F(Devices, RendererFacilityOfADestinationComesFirst)
{
    TestObject *rf = test_object_new("mine", nullptr, nullptr);
    TestObject *of = test_object_new("output", (br_object *)rf, nullptr);
    TestObject *direct = test_object_new("dest", (br_object *)rf, nullptr);
    TestObject *via_output = test_object_new("dest2", nullptr, (br_object *)of);
    for (TestObject *dest : {direct, via_output}) {
        br_renderer_facility *found = nullptr;
        ASSERT_EQ(BrRendererFacilityFind(&found, (br_object *)dest, BRT_FLOAT), (br_error)BRE_OK);
        EXPECT_EQ((void *)found, (void *)rf) << dest->name;
    }
    EXPECT_EQ(count(), 0) << "no driver was loaded";
    for (TestObject *o : {rf, of, direct, via_output})
        test_object_delete(o);
}

TEST_F(Devices, NothingFoundWithoutDrivers)
{
    rebegin(false, false); // no built-in drivers this time
    br_renderer_facility *rf = nullptr;
    EXPECT_EQ(BrRendererFacilityFind(&rf, nullptr, BRT_FLOAT), (br_error)BRE_FAIL);
    EXPECT_EQ(rf, nullptr);
    EXPECT_EQ(MemFs::opened, (std::vector<std::string>{"softrndf.BDD", "softrndf.DLL", "softrend.BDD", "softrend.DLL"}))
        << "the typed driver is tried before the untyped one";
}

TEST_F(Devices, AForeignImageIsNeverEntered)
{
    PeSpec s;
    s.export_name = "i386drv";
    s.exports = {"_BrDrv1Begin"};
    MemFs::files["i386drv.BDD"] = pe_write(s, nullptr);
    EXPECT_EQ(BrDevAdd(nullptr, "i386drv", nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(DiagLog::failures, std::vector<std::string>{"Failure: Driver i386drv is not native code"});
    EXPECT_EQ(BrImageFind("i386drv"), nullptr) << "the image was let go";
    EXPECT_EQ(count(), 0);
}

TEST_F(Devices, BeginAnOutputDeviceFromASetupString)
{
    br_device *dev = nullptr;
    ASSERT_EQ(BrDevAdd(&dev, "a", nullptr), (br_error)BRE_OK);
    ((TestObject *)dev)->children.push_back(test_device_new("screen", {}));
    ((TestObject *)dev)->children.back()->type = BRT_OUTPUT_FACILITY;

    struct br_pixelmap *screen = nullptr;
    ASSERT_EQ(BrDevBegin(&screen, "*,w=640"), (br_error)BRE_OK);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(BrDevLastBeginQuery(), screen);
    ASSERT_EQ(TestDriver::created.size(), 1u);
    ASSERT_EQ(TestDriver::created[0].size(), 1u);
    EXPECT_EQ(TestDriver::created[0][0].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(TestDriver::created[0][0].v.i32, 640);

    // By device name, trimmed; no arguments means no list.
    ASSERT_EQ(BrDevBegin(&screen, "  a  "), (br_error)BRE_OK);
    EXPECT_TRUE(TestDriver::created[1].empty());
    EXPECT_EQ(BrDevBegin(&screen, "b,w=1"), (br_error)BRE_FAIL) << "b is added but offers no output";
    EXPECT_EQ(BrDevBegin(&screen, "nosuch"), (br_error)BRE_FAIL);

    ASSERT_EQ(BrDevBeginVar(&screen, " a ", (br_token)BRT_WIDTH_I32, (intptr_t)320, (br_token)0), (br_error)BRE_OK);
    ASSERT_EQ(TestDriver::created.back().size(), 1u);
    EXPECT_EQ(TestDriver::created.back()[0].v.i32, 320);
    BrDevLastBeginSet(nullptr);
}

// The last-begun screen is forgotten when what holds it ends: its device, the pixel maps, the core.
TEST_F(Devices, LastBegunScreenGoesWithItsDeviceAndTheCore)
{
    auto begin_on = [](const char *name) {
        br_device *dev = nullptr;
        EXPECT_EQ(BrDevAdd(&dev, name, nullptr), (br_error)BRE_OK);
        ((TestObject *)dev)->children.push_back(test_device_new("screen", {}));
        ((TestObject *)dev)->children.back()->type = BRT_OUTPUT_FACILITY;
        return dev;
    };
    br_device *a = begin_on("a");
    br_device *b = begin_on("b");
    struct br_pixelmap *screen = nullptr;
    ASSERT_EQ(BrDevBegin(&screen, "*"), (br_error)BRE_OK) << "the first device in the table offers it";
    ASSERT_EQ(BrDevLastBeginQuery(), screen);
    BrDevRemove(b);
    EXPECT_EQ(BrDevLastBeginQuery(), screen) << "another device's removal leaves it";
    BrDevRemove(a);
    EXPECT_EQ(BrDevLastBeginQuery(), nullptr);

    // A screen set by hand has no device: the framework end forgets it, and so does the core end
    // (whose pixel maps go with it).
    static char by_hand[64];
    BrDevLastBeginSet((struct br_pixelmap *)by_hand);
    rebegin();
    EXPECT_EQ(BrDevLastBeginQuery(), nullptr) << "after the framework end";
    rebegin(true);
    BrDevLastBeginSet((struct br_pixelmap *)by_hand);
    ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK);
    EXPECT_EQ(BrDevLastBeginQuery(), nullptr) << "after the core end";
    rebegin();
}

TEST_F(Devices, BeginVarCutsTheListAtSixtyThreePairs)
{
    br_device *dev = nullptr;
    ASSERT_EQ(BrDevAdd(&dev, "a", nullptr), (br_error)BRE_OK);
    ((TestObject *)dev)->children.push_back(test_device_new("screen", {}));
    ((TestObject *)dev)->children.back()->type = BRT_OUTPUT_FACILITY;
    struct br_pixelmap *screen = nullptr;
#define P (br_token) BRT_WIDTH_I32, (intptr_t)1
#define P8 P, P, P, P, P, P, P, P
    ASSERT_EQ(BrDevBeginVar(&screen, "a", P8, P8, P8, P8, P8, P8, P8, P8, (br_token)0), (br_error)BRE_OK);
#undef P8
#undef P
    EXPECT_EQ(TestDriver::created.back().size(), 63u);
    EXPECT_EQ(DiagLog::failures, std::vector<std::string>{"Failure: Too many token value pairs"});
    BrDevLastBeginSet(nullptr);
}

TEST_F(Devices, GeometryFormatFromTheRendererThenItsFacility)
{
    TestObject *facility = test_device_new("facility", {{"from-facility", BRT_GEOMETRY_V1_MODEL}});
    TestObject *renderer = test_device_new("renderer", {{"from-renderer", BRT_GEOMETRY_V1_MODEL}});
    TestObject *bare = test_device_new("bare", {});
    bare->renderer_facility = (br_object *)facility;

    br_geometry *gf = nullptr;
    ASSERT_EQ(BrGeometryFormatFind(&gf, (br_renderer *)renderer, nullptr, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL),
              (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(gf), "from-renderer");
    ASSERT_EQ(BrGeometryFormatFind(&gf, (br_renderer *)bare, nullptr, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL),
              (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(gf), "from-facility") << "the renderer's own facility is asked";
    EXPECT_EQ(BrGeometryFormatFind(&gf, (br_renderer *)bare, nullptr, BRT_FLOAT, BRT_GEOMETRY_LIGHTING),
              (br_error)BRE_FAIL);
    EXPECT_EQ(count(), 0) << "no format driver exists to load";
    for (TestObject *o : {facility, renderer, bare})
        ObjectFree(o);
}
