// A filesystem held in memory for the image tests: files by name, and a record of every open.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation_support.h"
#include "pe_writer.h"

struct MemFs {
    static std::map<std::string, std::vector<uint8_t>> files;
    static std::vector<std::string> opened;
    static int open_handles;

    struct Handle {
        const std::vector<uint8_t> *data;
        size_t pos;
    };

    static void *open_read(const char *name, br_size_t, br_mode_test_cbfn *, int *)
    {
        opened.push_back(name);
        auto it = files.find(name);
        if (it == files.end())
            return nullptr;
        open_handles++;
        return new Handle{&it->second, 0};
    }
    static void close(void *f)
    {
        open_handles--;
        delete (Handle *)f;
    }
    static br_size_t read(void *buf, br_size_t size, br_size_t n, void *f)
    {
        Handle *h = (Handle *)f;
        size_t avail = h->data->size() - h->pos;
        size_t want = size * n;
        size_t got = want < avail ? want : avail;
        memcpy(buf, h->data->data() + h->pos, got);
        h->pos += got;
        return size != 0 ? got / size : 0;
    }
    static br_filesystem record;

    static void clear()
    {
        files.clear();
        opened.clear();
        open_handles = 0;
    }
};

inline std::map<std::string, std::vector<uint8_t>> MemFs::files;
inline std::vector<std::string> MemFs::opened;
inline int MemFs::open_handles;
inline br_filesystem MemFs::record = {"memory", nullptr, MemFs::open_read, nullptr, MemFs::close, nullptr, nullptr,
                                      nullptr, MemFs::read, nullptr, nullptr, nullptr, nullptr};

// The framework begun with the recording handler and the memory filesystem.
class ImageTest : public FwTest {
protected:
    void SetUp() override
    {
        MemFs::clear();
        BrFilesystemSet(&MemFs::record);
        FwTest::SetUp();
    }
    void TearDown() override
    {
        FwTest::TearDown();
        EXPECT_EQ(MemFs::open_handles, 0) << "the loader left a file open";
        MemFs::clear();
    }
};
