// Golden pictures of the renderer tests: small deterministic renders whose hashes are kept in the
// repository (golden/pictures.txt, with a PNG of each for a reviewer).
#ifndef SOFTREND_TEST_GOLDEN_H
#define SOFTREND_TEST_GOLDEN_H

#include "support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace srtest {

// 64-bit FNV-1a over the values a picture is made of, fed one value at a time.
struct PictureHash {
    uint64_t h = 0xcbf29ce484222325ull;
    void add(uint32_t v);
};
// Colour and depth values of a frame, row by row (independent of row order and guards).
uint64_t frame_hash(const Frame &f);

// Compares the hash with the golden one of that name. With VOK_GOLDEN_UPDATE=1 in the environment
// it rewrites the entry and the PNG instead (after an intended change); on a mismatch it leaves the
// picture as drawn now in the test folder.
::testing::AssertionResult golden(const std::string &name, uint64_t hash, int w, int h,
                                  const std::vector<uint8_t> &rgb);

} // namespace srtest

#endif
