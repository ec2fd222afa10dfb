#include <setjmp.h>
#include <string.h>

#include "foundation_support.h"

namespace {

br_allocator *std_allocator()
{
    br_allocator *cur = BrAllocatorSet(nullptr);
    br_allocator *std_al = BrAllocatorSet(cur);
    return std_al;
}

TEST(FwLifecycle, BeginAndEndAnswerTheirResultCodes)
{
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_NOT_ACTIVE);
    EXPECT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(BrFwBegin(), (br_error)BRE_ALREADY_ACTIVE);
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_OK);
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_NOT_ACTIVE);

    EXPECT_EQ(BrCoreEnd(), (br_error)BRE_NOT_ACTIVE);
    EXPECT_EQ(BrCoreBegin(), (br_error)BRE_OK);
    EXPECT_EQ(BrCoreBegin(), (br_error)BRE_ALREADY_ACTIVE);
    EXPECT_EQ(BrFwBegin(), (br_error)BRE_ALREADY_ACTIVE); // the core began the framework
    EXPECT_EQ(BrCoreEnd(), (br_error)BRE_OK);
    EXPECT_EQ(BrCoreEnd(), (br_error)BRE_NOT_ACTIVE);
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_NOT_ACTIVE); // and ended it
}

TEST(FwLifecycle, HostRecordsSurviveBeginAndAreClearedByEnd)
{
    static br_allocator counting = *std_allocator();
    counting.identifier = "counting";
    br_filesystem fs = {"test fs"};

    BrDiagHandlerSet(&DiagLog::handler);
    BrAllocatorSet(&counting);
    BrFilesystemSet(&fs);
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(BrDiagHandlerSet(&DiagLog::handler), &DiagLog::handler);
    EXPECT_EQ(BrAllocatorSet(&counting), &counting);
    EXPECT_EQ(BrFilesystemSet(&fs), &fs);

    // Setting null puts the standard records back and answers the one that was there.
    EXPECT_EQ(BrDiagHandlerSet(nullptr), &DiagLog::handler);
    br_diaghandler *std_dh = BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_NE(std_dh, nullptr);
    EXPECT_STREQ(std_dh->identifier, "Stdio DiagHandler");
    EXPECT_EQ(BrAllocatorSet(nullptr), &counting);
    br_allocator *std_al = BrAllocatorSet(nullptr);
    EXPECT_STREQ(std_al->identifier, "malloc");
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_OK);

    // End empties the slots: the next begin installs the standard records again.
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_STREQ(BrAllocatorSet(nullptr)->identifier, "malloc");
    EXPECT_STREQ(BrDiagHandlerSet(nullptr)->identifier, "Stdio DiagHandler");
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_OK);
}

TEST(FwLifecycle, BeginRegistersTheFrameworkClassesInOrder)
{
    BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    const char *expected[] = {"REGISTRY", "ANCHOR", "RESOURCE_CLASS", "SCRATCH,", "STRING", "FILE", "POOL",
                              "EXCEPTION_HANDLER", "TOKEN", "TOKEN_MAP", "DATAFILE", "LEXER", "OBJECT_LIST",
                              "OBJECT_LIST_ENTRY", "APPLICATION", "IMAGE", "IMAGE_ARENA", "IMAGE_SECTIONS",
                              "IMAGE_NAMES", "OBJECT", "OBJECT_DATA", "DRIVER", "FMT_RESULTS", "TOKEN_VALUE",
                              "TOKEN_TEMPLATE"};
    const int n = sizeof(expected) / sizeof(expected[0]);
    ASSERT_EQ(BrResClassCount(nullptr), (br_uint_32)n);
    br_resource_class *found[32];
    ASSERT_EQ(BrResClassFindMany(nullptr, found, 32), (br_uint_32)n);
    for (int i = 0; i < n; i++) // newest first
        EXPECT_STREQ(found[n - 1 - i]->identifier, expected[i]) << i;
    EXPECT_STREQ(BrResClassIdentifier(BR_MEMORY_SCRATCH), "SCRATCH,");
    EXPECT_STREQ(BrResClassIdentifier(BR_MEMORY_APPLICATION), "APPLICATION");
    EXPECT_STREQ(BrResClassIdentifier(200), "<NULL>");
    EXPECT_EQ(BrFwEnd(), (br_error)BRE_OK);
}

TEST_F(FwTest, ReportsReachTheHandlerWithTheirPrefixes)
{
    BrWarning("low on %s", "fuel");
    BrFailure("lost %d", 3);
    BrFatal("road.c", 42, "crash %s", "now");
    _BrAssert("x > 0", "check.c", 7);
    _BrUAssert("y", "u.c", 8);
    ASSERT_EQ(DiagLog::warnings.size(), 1u);
    EXPECT_EQ(DiagLog::warnings[0], "Warning: low on fuel");
    ASSERT_EQ(DiagLog::failures.size(), 4u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: lost 3");
    EXPECT_EQ(DiagLog::failures[1], "FATAL road.c:42\ncrash now");
    EXPECT_EQ(DiagLog::failures[2], "ASSERTION FAILED check.c:7: \"x > 0\"\n");
    EXPECT_EQ(DiagLog::failures[3], "ASSERTION FAILED u.c:8: \"y\"\n");
}

TEST_F(FwTest, LongReportsAreCutNotOverrun)
{
    std::string big(2000, 'a');
    BrFailure("%s", big.c_str());
    ASSERT_EQ(DiagLog::failures.size(), 1u);
    EXPECT_EQ(DiagLog::failures[0].size(), (size_t)BR_PRINTF_MAX);
    EXPECT_EQ(DiagLog::failures[0].substr(0, 10), "Failure: a");
}

TEST_F(FwTest, LastErrorLastsUntilTheFrameworkEnds)
{
    int x, y;
    BrLastErrorSet(&x, 5);
    BrLastErrorSet(&y, 6);
    EXPECT_EQ(BrLastErrorGet(), &y);
    BrFwEnd();
    BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(BrLastErrorGet(), nullptr) << "a new begin starts without one";
}

TEST(FwHandlerDeathTest, StandardFailureEndsTheCoreAndExitsWithTen)
{
    EXPECT_EXIT(
        {
            BrCoreBegin();
            BrWarning("just a %s", "warning");
            BrFailure("broken %d", 7);
        },
        ::testing::ExitedWithCode(10), "Warning: just a warning\nFailure: broken 7\n");
}

TEST(FwHandlerDeathTest, MissingOperationAborts)
{
    static br_diaghandler no_failure = {"half", DiagLog::warning, nullptr};
    EXPECT_DEATH(
        {
            BrDiagHandlerSet(&no_failure);
            BrFwBegin();
            BrFailure("nowhere to go");
        },
        "");
}

// Exception scenarios in plain C style: nothing with a destructor lives between a frame's save
// point and a throw.
struct NestedResult {
    int outer_type;
    int inner_type;
    void *value;
    void *outer_frame_after;
    void *outer_frame;
};

static void throw_from_callee(int type, void *value)
{
    _BrExceptionThrow(type, value);
}

static int thrown_payload;

static void nested_throw(NestedResult *r)
{
    int *payload = &thrown_payload;
    br_exception_handler *outer = _BrExceptionBegin();
    r->outer_frame = outer;
    volatile int outer_type = setjmp(outer->context);
    if (outer_type == 0) {
        br_exception_handler *inner = _BrExceptionBegin();
        volatile int inner_type = setjmp(inner->context);
        if (inner_type == 0)
            throw_from_callee(17, payload);
        r->inner_type = inner_type;
        _BrExceptionValueFetch(inner_type, &r->value);
        r->outer_frame_after = _BrExceptionResource();
        _BrExceptionEnd(); // closes the outer frame
    }
    r->outer_type = outer_type;
}

TEST_F(FwTest, ThrowLandsAtTheInnerFrameAndTheOuterStaysOpen)
{
    NestedResult r = {};
    nested_throw(&r);
    EXPECT_EQ(r.inner_type, 17);
    EXPECT_EQ(r.value, &thrown_payload);
    EXPECT_EQ(r.outer_frame_after, r.outer_frame);
    EXPECT_EQ(r.outer_type, 0);
    EXPECT_EQ(_BrExceptionResource(), nullptr);
    EXPECT_TRUE(DiagLog::failures.empty());

    void *v = &r;
    EXPECT_EQ(_BrExceptionValueFetch(0, &v), 0);
    EXPECT_EQ(v, &r); // type 0: nothing stored
}

TEST_F(FwTest, ExceptionOperationsWithoutFrameReportAndReturn)
{
    _BrExceptionThrow(9, nullptr);
    _BrExceptionEnd();
    ASSERT_EQ(DiagLog::failures.size(), 2u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: Unhandled exception: 9");
    EXPECT_EQ(DiagLog::failures[1], "Failure: Unhandled exception: 0");
    EXPECT_EQ(_BrExceptionResource(), nullptr);
}

} // namespace
