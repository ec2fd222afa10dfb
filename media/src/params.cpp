#include "params.h"
#include "media/media.h"

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

namespace media {

void answer_picture(intptr_t address, const uint32_t *source, int width, int height)
{
    auto *p = reinterpret_cast<MediaPicture *>(address);
    if (p == nullptr || p->pixels == nullptr || p->width <= 0 || p->height <= 0 || source == nullptr || width <= 0 ||
        height <= 0)
        return;
    for (int y = 0; y < p->height; y++) {
        auto *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(p->pixels) + ptrdiff_t(y) * p->rowBytes);
        const uint32_t *from = source + size_t(int64_t(y) * height / p->height) * size_t(width);
        for (int x = 0; x < p->width; x++) {
            const uint32_t c = from[int64_t(x) * width / p->width];
            row[x] = uint16_t(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 | ((c >> 3) & 0x1F));
        }
    }
}

}  // namespace media
