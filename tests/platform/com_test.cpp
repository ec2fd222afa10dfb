#include <gtest/gtest.h>

#include <thread>

#include "win32/objbase.h"

namespace {

DEFINE_GUID(CLSID_TestThing, 0x1b3c5d7e, 0x1111, 0x2222, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa);
DEFINE_GUID(IID_ITestThing, 0x1b3c5d7f, 0x1111, 0x2222, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa);
DEFINE_GUID(CLSID_Absent, 0xd1eb6d20, 0x8923, 0x11d0, 0x9d, 0x97, 0x00, 0xa0, 0xc9, 0x0a, 0x43, 0xcb);

struct ITestThing : IUnknown {
    STDMETHOD_(int, Value)() PURE;
};

int g_live = 0;

class TestThing final : public ITestThing {
public:
    TestThing() { ++g_live; }
    ~TestThing() { --g_live; }
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_ITestThing) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<ITestThing*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP_(int) Value() override { return 7; }

private:
    ULONG refs_ = 0;
};

HRESULT CreateTestThing(IUnknown* outer, REFIID riid, void** object) {
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* thing = new TestThing;
    thing->AddRef();
    HRESULT hr = thing->QueryInterface(riid, object);
    thing->Release();
    return hr;
}

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { PlatRegisterComClass(CLSID_TestThing, CreateTestThing); }
    void TearDown() override { PlatRegisterComClass(CLSID_TestThing, nullptr); }
};

TEST_F(ComTest, CreatesRegisteredClassesAfterInitialisation) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &p),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(p, nullptr);

    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    ASSERT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &p), S_OK);
    auto* thing = static_cast<ITestThing*>(p);
    EXPECT_EQ(thing->Value(), 7);
    EXPECT_EQ(g_live, 1);
    EXPECT_EQ(thing->Release(), 0u);
    EXPECT_EQ(g_live, 0);

    struct Case {
        REFCLSID clsid;
        IUnknown* outer;
        DWORD context;
        REFIID iid;
        HRESULT hr;
    } cases[] = {
        {CLSID_Absent, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {CLSID_TestThing, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {CLSID_TestThing, nullptr, CLSCTX_ALL, CLSID_Absent, E_NOINTERFACE},
        {CLSID_TestThing, thing, CLSCTX_INPROC_SERVER, IID_IUnknown, CLASS_E_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, c.context, c.iid, &p), c.hr);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(g_live, 0);
    EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);

    // Initialisation belongs to the thread that asked for it.
    std::thread([] {
        void* q = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &q), CO_E_NOTINITIALIZED);
        EXPECT_EQ(OleInitialize(nullptr), S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &q), S_OK);
        static_cast<IUnknown*>(q)->Release();
        OleUninitialize();
    }).join();

    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &p), S_OK);  // one left
    static_cast<IUnknown*>(p)->Release();
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &p), CO_E_NOTINITIALIZED);
}

TEST_F(ComTest, UnregisteredClassesAreAbsent) {
    CoInitialize(nullptr);
    PlatRegisterComClass(CLSID_TestThing, nullptr);
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
    CoUninitialize();
    EXPECT_TRUE(IsEqualGUID(CLSID_TestThing, CLSID_TestThing));
    EXPECT_FALSE(IsEqualGUID(CLSID_TestThing, IID_ITestThing));
}

}  // namespace
