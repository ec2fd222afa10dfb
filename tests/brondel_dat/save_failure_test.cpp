// Saves of models, materials and actor trees that cannot complete: the save answers 0 and the file
// already under the name stays whole.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dat_support.h"

namespace {

using namespace dattest;

// The standard filesystem with a write that takes only `budget` more bytes.
br_filesystem short_fs;
br_size_t (*standard_write)(const void *, br_size_t, br_size_t, void *);
size_t budget;
br_size_t budget_write(const void *buf, br_size_t size, br_size_t n, void *f)
{
    if (size * n > budget)
        n = budget / size;
    budget -= size * n;
    return standard_write(buf, size, n, f);
}

struct Family {
    const char *name;
    // Saves the family's sample under path; answers what the saver answered.
    br_uint_32 (*save)(const char *path);
    // Loads the family's sample back from path; true when one came back.
    bool (*load)(const char *path);
};

const Family families[] = {
    {"model", [](const char *p) { return BrModelSave(p, dbtest::make_cube("cube")); },
     [](const char *p) { return BrModelLoad(p) != nullptr; }},
    {"material",
     [](const char *p) {
         br_material *m = BrMaterialAllocate("paint");
         m->colour = 0x123456;
         return BrMaterialSave(p, m);
     },
     [](const char *p) { return BrMaterialLoad(p) != nullptr; }},
    {"actor",
     [](const char *p) {
         br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
         a->identifier = BrResStrDup(a, "root");
         BrActorAdd(a, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
         return BrActorSave(p, a);
     },
     [](const char *p) { return BrActorLoad(p) != nullptr; }},
};

class SaveFailure : public Dat, public ::testing::WithParamInterface<Form> {
protected:
    void SetUp() override
    {
        Dat::SetUp();
        form_set(GetParam());
    }
    void TearDown() override
    {
        BrFilesystemSet(nullptr);
        Dat::TearDown();
    }
    std::string bytes(const std::string &name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The old file is whole, loads, and nothing else was left in the folder.
    void expect_old_file_kept(const Family &f, const std::string &old)
    {
        EXPECT_EQ(bytes("old"), old);
        EXPECT_TRUE(f.load(path("old").c_str()));
        int entries = 0;
        for (const auto &e : std::filesystem::directory_iterator(dir.path))
            entries += e.path().filename() != "old";
        EXPECT_EQ(entries, 0) << "a temporary file was left behind";
    }
};

TEST_P(SaveFailure, ShortWritesAndUnwritablePlacesAnswerZeroAndKeepTheOldFile)
{
    for (const Family &f : families) {
        SCOPED_TRACE(f.name);
        ASSERT_EQ(f.save(path("old").c_str()), 1u);
        std::string old = bytes("old");

        short_fs = *BrFilesystemSet(nullptr);
        standard_write = short_fs.write;
        short_fs.write = budget_write;
        BrFilesystemSet(&short_fs);
        for (size_t b : {(size_t)0, (size_t)20, old.size() - 1}) {
            SCOPED_TRACE(testing::Message() << "budget " << b);
            budget = b;
            EXPECT_EQ(f.save(path("old").c_str()), 0u);
            expect_old_file_kept(f, old);
        }
        BrFilesystemSet(nullptr);

        chmod(path("old").c_str(), 0444);
        EXPECT_EQ(f.save(path("old").c_str()), 0u) << "read-only file";
        chmod(path("old").c_str(), 0644);
        expect_old_file_kept(f, old);
        if (geteuid() != 0) { // the superuser writes into read-only folders
            chmod(dir.str().c_str(), 0555);
            EXPECT_EQ(f.save(path("old").c_str()), 0u) << "read-only folder";
            chmod(dir.str().c_str(), 0755);
            expect_old_file_kept(f, old);
        }
        if (access("/dev/full", W_OK) == 0) {
            EXPECT_EQ(f.save("/dev/full"), 0u) << "a device that takes nothing";
        }
        std::filesystem::remove(path("old"));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, SaveFailure, ::testing::Values(Form::binary, Form::text), form_name);

} // namespace
