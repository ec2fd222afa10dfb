#include "params.h"

#include <array>

namespace media {

namespace {
// No caller list comes near this; it keeps a list that lost its closing 0 from running away.
constexpr size_t kMaxPairs = 1024;
}  // namespace

std::vector<MediaParam> read_list(va_list args)
{
    std::vector<MediaParam> list;
    while (list.size() < kMaxPairs) {
        int32_t id = int32_t(va_arg(args, intptr_t));
        if (id == 0)
            break;
        intptr_t value = va_arg(args, intptr_t);
        list.push_back({id, value});
    }
    return list;
}

void answer_rect(intptr_t address, const RECT &rect)
{
    std::array<int32_t, 4> words = {rect.left, rect.top, rect.right, rect.bottom};
    answer(address, words);
}

bool read_rect(intptr_t address, RECT &rect)
{
    if (address == 0)
        return false;
    int32_t words[4];
    std::memcpy(words, reinterpret_cast<const void *>(address), sizeof words);
    rect = {words[0], words[1], words[2], words[3]};
    return true;
}

}  // namespace media
