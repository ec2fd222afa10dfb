// The field in memory: the default field, adding and removing with extents, ball list and change
// marks, the element helpers and the list nodes.
#include "support.h"

namespace {

using Model = trtest::Scratch;

TEST_F(Model, DefaultFieldIsASquareOfPlainBlocks)
{
    struct Case {
        int32_t side, want;
    } cases[] = {{4, 4}, {1, 1}, {99, 99}, {0, 10}, {100, 10}, {-5, 10}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.side);
        TrGetModule()->ini.PalyaMeret = c.side;
        TrPalya *f = Palya_New();
        ASSERT_EQ(f->count, c.want * c.want);
        for (int32_t z = 0; z < c.want; z++)
            for (int32_t x = 0; x < c.want; x++) {
                const EIo &e = *f->elements[z * c.want + x]->io;
                ASSERT_EQ(e.x, x);
                ASSERT_EQ(e.z, z);
                ASSERT_EQ(e.y, 0);
                ASSERT_EQ(e.type, TY_T_SIMA);
                ASSERT_EQ(e.direction, 0);
                ASSERT_EQ(e.variant, 0);
                ASSERT_EQ(e.flags, EF_NOT_BALL | EF_LEVEL_PART);
            }
        EXPECT_EQ(f->extentX, c.want);
        EXPECT_EQ(f->extentY, 1);
        EXPECT_EQ(f->extentZ, c.want);
        EXPECT_EQ(f->ballsNeeded, 1);
        EXPECT_EQ(f->pitch, 310.0f);
        EXPECT_EQ(f->yaw, -45.0f);
        EXPECT_EQ(f->height, -0.1f);
        EXPECT_EQ(f->distance, 1.85f);
        EXPECT_EQ(f->flags, 0u);
        EXPECT_EQ(f->levelFlags, 0u);
        EXPECT_EQ(f->balls, nullptr);
        Palya_Free(f);
    }
}

TEST_F(Model, ExtentsStopAtTheLargestCoordinate)
{
    TrPalya *f = Palya_NewEmpty();
    Palya_AddElem(f, Elem_New(INT32_MAX, 0, INT32_MAX, 0, TY_T_SIMA, EF_NOT_BALL | EF_LEVEL_PART));
    EXPECT_EQ(f->extentX, INT32_MAX);
    EXPECT_EQ(f->extentY, 1);
    EXPECT_EQ(f->extentZ, INT32_MAX);
    Palya_Free(f);
}

TEST_F(Model, ChangesKeepExtentsBallListAndMarks)
{
    TrPalya *f = Palya_NewEmpty();
    f->levelFlags = LF_PLAYABLE | LF_SECRET | LF_SPARE;
    TrElem *block = Elem_New(5, 0, 2, 0, TY_T_SIMA, EF_NOT_BALL | EF_LEVEL_PART);
    TrElem *ball = Elem_New(5, 3, 7, TR_DIR_UNSET, TY_G_BOMBA, EF_BALL);
    TrElem *ball2 = Elem_New(1, 1, 1, 0, TY_G_FEM, EF_BALL);
    Palya_AddElem(f, block);
    EXPECT_EQ(f->flags, PF_MODIFIED);
    EXPECT_EQ(f->levelFlags, LF_SECRET);
    Palya_AddElem(f, ball);
    Palya_AddElem(f, ball2);
    EXPECT_EQ(f->extentX, 6);
    EXPECT_EQ(f->extentY, 4);
    EXPECT_EQ(f->extentZ, 8);
    EXPECT_EQ(Palya_IndexOf(f, ball), 1);
    // Newest first.
    ASSERT_NE(f->balls, nullptr);
    EXPECT_EQ(f->balls->item, ball2);
    EXPECT_EQ(f->balls->next->item, ball);

    f->flags = 0;
    f->levelFlags = LF_PLAYABLE;
    Palya_RemoveElem(f, ball);
    EXPECT_EQ(f->count, 2);
    EXPECT_EQ(Palya_IndexOf(f, ball2), 1);
    EXPECT_EQ(f->extentY, 2);
    EXPECT_EQ(f->extentZ, 3);
    EXPECT_EQ(f->balls->item, ball2);
    EXPECT_EQ(f->balls->next, nullptr);
    EXPECT_EQ(f->flags, PF_MODIFIED);
    EXPECT_EQ(f->levelFlags, 0u);

    // Debris is made and removed without marks.
    f->flags = 0;
    f->levelFlags = LF_PLAYABLE;
    EXPECT_EQ(Palya_SuppressChangeMark(1), 0);
    Palya_AddElem(f, Elem_New(9, -1, 9, 0, 71, EF_NOT_BALL | EF_RUN_MADE));
    EXPECT_EQ(Palya_SuppressChangeMark(0), 1);
    EXPECT_EQ(f->extentX, 10);
    EXPECT_EQ(f->extentY, 2);  // the run layer -1 widens nothing
    EXPECT_EQ(Palya_RemoveRunMade(f), 1);
    EXPECT_EQ(Palya_RemoveRunMade(f), 0);
    EXPECT_EQ(f->count, 2);
    EXPECT_EQ(f->extentX, 6);
    EXPECT_EQ(f->flags, 0u);
    EXPECT_EQ(f->levelFlags, LF_PLAYABLE);

    Palya_RemoveElem(f, block);
    Palya_RemoveElem(f, ball2);
    EXPECT_EQ(f->count, 0);
    EXPECT_EQ(f->extentX, 0);
    EXPECT_EQ(f->balls, nullptr);
    Palya_AddElem(f, Elem_New(0, 0, 0, 0, TY_T_CEL, EF_NOT_BALL));
    EXPECT_EQ(f->count, 1);
    Palya_Free(f);
}

TEST_F(Model, RemovingAnElementOfAnotherFieldEndsTheProcess)
{
    TrPalya *f = Palya_NewEmpty();
    TrElem *stranger = Elem_New(0, 0, 0, 0, TY_T_SIMA, EF_NOT_BALL);
    EXPECT_EXIT(Palya_RemoveElem(f, stranger), ::testing::ExitedWithCode(255), "connot find elem in palya");
    Elem_Free(stranger);
    Palya_Free(f);
}

TEST_F(Model, ElementHelpers)
{
    TrElem *s = Elem_NewSample(TY_G_UVEG, 1, 2, 3, 2);
    EXPECT_EQ(s->io->flags, EF_BALL | EF_SAMPLE);
    EXPECT_EQ(s->io->variant, 0);
    EXPECT_EQ(s->actor, nullptr);
    Elem_Free(s);
    s = Elem_NewSample(TY_T_MAGNES, 0, 0, 0, 1);
    EXPECT_EQ(s->io->flags, EF_NOT_BALL | EF_SAMPLE);
    Elem_Free(s);
    s = Elem_NewV(1, 2, 3, 1, TY_T_LEJTO, 6, 2);
    EXPECT_EQ(s->io->variant, 2);
    Elem_Free(s);

    const int32_t storable[] = {0, 1, 2, 3, 10, 11, 20, 21, 22, 24, 25};
    int count = 0;
    for (int32_t t = -1; t < 120; t++)
        count += Elem_TypeStorable(t);
    EXPECT_EQ(count, 11);
    for (int32_t t : storable)
        EXPECT_TRUE(Elem_TypeStorable(t)) << t;
    struct Text {
        int32_t type;
        const char *text;
    } texts[] = {{TY_G_FEM, "Iron Ball"},     {TY_G_GUMI, "Plastic Ball"}, {TY_G_BOMBA, "Bomb"},
                 {TY_G_UVEG, "Rubber Ball"},  {TY_T_SIMA, "Block"},        {TY_T_INDITO, "Start Position"},
                 {TY_T_SAROK, "Corner"},      {TY_T_LEJTO, "Slope"},       {TY_T_MAGNES, "Magnet"},
                 {TY_T_SZOGES, "Nailed Block"}, {TY_T_CEL, "Goal"}};
    for (const Text &t : texts)
        EXPECT_STREQ(TrMessage(Elem_TypeMessage(t.type)), t.text);
    EXPECT_EQ(Elem_TypeMessage(TY_T_TALAJ), -1);
}

TEST_F(Model, ListNodes)
{
    int a, b, c;
    TrNode *head = Node_Push(&a, nullptr);
    head = Node_Push(&b, head);
    head = Node_Push(&c, head);
    TrNode *middle = head->next;
    EXPECT_EQ(middle->item, &b);
    // Removing a middle node answers the list's first node; removing the first, the next one.
    EXPECT_EQ(Node_Remove(middle), head);
    EXPECT_EQ(head->next->item, &a);
    EXPECT_EQ(head->next->prev, head);
    head = Node_RemoveItem(head, &c);
    EXPECT_EQ(head->item, &a);
    EXPECT_EQ(head->prev, nullptr);
    EXPECT_EQ(Node_RemoveItem(head, &b), head);  // not in the list
    EXPECT_EQ(Node_RemoveItem(head, &a), nullptr);
}

}  // namespace
