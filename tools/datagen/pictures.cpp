// Pictures as stored pixel maps, and the contact sheet.
#include <errno.h>
#include <string.h>

#include <algorithm>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "fontmaker/fontmaker.h"
#include "gen.h"
#include "vokplat/png.h"

namespace datagen {
namespace {

// The 3D library's type whose row layout a stored type uses.
uint8_t layout_type(uint32_t type)
{
    switch (type) {
    case kRgb565:
    case kArgb4444:
        return BR_PMT_RGB_565;
    case kRgb565Alpha8:
        return BR_PMT_RGB_888;
    default:
        return 0;
    }
}

// Row length the 3D library gives a picture of this layout; 0 when it refuses the size.
uint32_t library_row_bytes(uint8_t layout, int width)
{
    LibraryScope library;
    br_pixelmap *pm = BrPixelmapAllocate(layout, width, 1, nullptr, PIXELMAP_ALLOCATE_NO_PIXELS);
    if (pm == nullptr)
        return 0;
    const int rb = pm->row_bytes < 0 ? -pm->row_bytes : pm->row_bytes;
    BrPixelmapFree(pm);
    return uint32_t(rb);
}

// Labels of the contact sheet, drawn with a font of the font maker.
struct Labeller {
    fontmaker::Font font;
    fontmaker::Sheet sheet;
    bool ok = false;

    Labeller()
    {
        fontmaker::Style style;
        style.size = 11;
        style.colour = 0xE8E8E8;
        style.type = fontmaker::kRgba8888;
        std::string error;
        ok = fontmaker::rasterise(style, font, sheet, error);
    }

    // Width of `text` in pixels.
    int measure(const std::string &text) const
    {
        if (!ok)
            return 0;
        int pen = 0;
        for (unsigned char c : text) {
            if (c < fontmaker::kFirstCode)
                continue;
            const fontmaker::Glyph &g = font.glyphs[c - fontmaker::kFirstCode];
            pen += g.before + g.width + g.after + font.spacing;
        }
        return pen;
    }

    // `text` broken into lines no wider than `room`: after a space, '/' or ':' where one fits,
    // else between two characters.
    std::vector<std::string> wrap(const std::string &text, int room) const
    {
        std::vector<std::string> lines;
        std::string rest = text;
        while (!rest.empty()) {
            size_t fit = rest.size();
            while (fit > 1 && measure(rest.substr(0, fit)) > room)
                fit--;
            if (fit < rest.size()) {
                size_t cut = rest.find_last_of(" /:", fit - 1);
                if (cut != std::string::npos && cut > 0)
                    fit = cut + 1;
            }
            std::string line = rest.substr(0, fit);
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            lines.push_back(line);
            rest.erase(0, fit);
        }
        return lines;
    }

    // Draws `text` at x, y into RGB rows of `width`, clipped at x + room.
    void draw(std::vector<uint8_t> &rgb, int width, int x, int y, int room, const std::string &text) const
    {
        if (!ok)
            return;
        int pen = x;
        for (unsigned char c : text) {
            if (c < fontmaker::kFirstCode)
                continue;
            const fontmaker::Glyph &g = font.glyphs[c - fontmaker::kFirstCode];
            pen += g.before;
            if (pen + g.width > x + room)
                return;
            for (int gy = 0; gy < g.height; gy++)
                for (int gx = 0; gx < g.width; gx++) {
                    const uint8_t *s = sheet.rows.data() + (size_t(g.y + gy) * sheet.width + size_t(g.x + gx)) * 4;
                    uint8_t *d = rgb.data() + (size_t(y + gy) * size_t(width) + size_t(pen + gx)) * 3;
                    for (int k = 0; k < 3; k++)
                        d[k] = uint8_t((s[2 - k] * s[3] + d[k] * (255 - s[3])) / 255);
                }
            pen += g.width + g.after + font.spacing;
        }
    }
};

}  // namespace

LibraryScope::LibraryScope() : began_(BrCoreBegin() == BRE_OK) {}

LibraryScope::~LibraryScope()
{
    if (began_)
        BrCoreEnd();
}

std::vector<uint8_t> stored_rows(const Image &image, uint32_t type, uint32_t &row_bytes)
{
    row_bytes = 0;
    const uint8_t layout = layout_type(type);
    if (layout == 0 || image.width <= 0 || image.height <= 0 ||
        image.argb.size() != size_t(image.width) * size_t(image.height))
        return {};
    row_bytes = library_row_bytes(layout, image.width);
    if (row_bytes == 0)
        return {};
    std::vector<uint8_t> out(size_t(row_bytes) * size_t(image.height), 0);
    for (int y = 0; y < image.height; y++) {
        uint8_t *p = out.data() + size_t(y) * row_bytes;
        for (int x = 0; x < image.width; x++) {
            const uint32_t c = image.argb[size_t(y) * size_t(image.width) + size_t(x)];
            const uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            uint32_t v;
            switch (type) {
            case kRgb565:  // opaque: the colour as seen over black
                v = (r * a / 255) >> 3 << 11 | (g * a / 255) >> 2 << 5 | (b * a / 255) >> 3;
                *p++ = uint8_t(v), *p++ = uint8_t(v >> 8);
                break;
            case kArgb4444:
                v = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4);
                *p++ = uint8_t(v), *p++ = uint8_t(v >> 8);
                break;
            default:  // alpha byte, then the 565 word
                v = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
                *p++ = uint8_t(a), *p++ = uint8_t(v), *p++ = uint8_t(v >> 8);
                break;
            }
        }
    }
    return out;
}

uint32_t stored_type(const Image &image)
{
    for (uint32_t c : image.argb)
        if (c >> 24 != 255)
            return kRgb565Alpha8;
    return kRgb565;
}

fpk::Entry pixmap_entry(const std::string &name, const Image &image, uint32_t type)
{
    uint32_t row_bytes = 0;
    const std::vector<uint8_t> rows = stored_rows(image, type, row_bytes);
    fpk::Entry e;
    e.name = name;
    e.flags = fpk::kPixmapFlag;
    e.data = fpk::stored_pixmap(uint32_t(image.width), uint32_t(image.height), type, rows);
    return e;
}

bool write_contact_sheet(const std::string &path, const std::vector<Picture> &pictures, std::string &error)
{
    // Two lines of label under each cell.
    constexpr int kCellW = 160, kCellH = 120, kLine = 14, kLabel = 2 * kLine, kPad = 4, kColumns = 8;
    const int count = std::max<int>(1, int(pictures.size()));
    const int columns = std::min(kColumns, count), rows = (count + kColumns - 1) / kColumns;
    const int width = columns * (kCellW + kPad) + kPad, height = rows * (kCellH + kLabel + kPad) + kPad;
    const Labeller labels;
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3, 48);
    for (size_t i = 0; i < pictures.size(); i++) {
        const Image &im = pictures[i].image;
        if (im.width <= 0 || im.height <= 0)
            continue;
        const int cx = kPad + int(i % kColumns) * (kCellW + kPad), cy = kPad + int(i / kColumns) * (kCellH + kLabel + kPad);
        std::string label = pictures[i].label;
        if (label.rfind("Data/", 0) == 0)
            label.erase(0, 5);
        const std::string size = std::to_string(im.width) + "x" + std::to_string(im.height);
        // The name and its size on one line when they fit, else the size on a line of its own and a
        // name too long for one line cut where it must, its end kept (the picture's own name).
        std::vector<std::string> lines = labels.wrap(label + " " + size, kCellW);
        if (lines.size() > 2) {
            lines = labels.wrap(label, kCellW);
            std::string name = lines.back();
            while (name.size() > 1 && labels.measure("..." + name) > kCellW)
                name.erase(0, 1);
            lines = {lines.size() > 1 ? "..." + name : name, size};
        }
        for (size_t l = 0; l < lines.size() && l < 2; l++)
            labels.draw(rgb, width, cx, cy + kCellH + 1 + int(l) * kLine, kCellW, lines[l]);
        // Scaled to fit, never enlarged past twice; transparent parts over a checker board.
        const double scale = std::min({double(kCellW) / im.width, double(kCellH) / im.height, 2.0});
        const int w = std::max(1, int(im.width * scale)), h = std::max(1, int(im.height * scale));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const int sx = std::min(im.width - 1, int(x / scale)), sy = std::min(im.height - 1, int(y / scale));
                const uint32_t c = im.argb[size_t(sy) * size_t(im.width) + size_t(sx)];
                const uint32_t a = c >> 24, back = ((x / 8 + y / 8) & 1) ? 160 : 96;
                uint8_t *p = rgb.data() + (size_t(cy + y) * size_t(width) + size_t(cx + x)) * 3;
                for (int k = 0; k < 3; k++) {
                    const uint32_t v = (c >> (16 - 8 * k)) & 255;
                    p[k] = uint8_t((v * a + back * (255 - a)) / 255);
                }
            }
    }
    if (!PlatWritePngRgb(path.c_str(), width, height, rgb.data())) {
        error = "cannot write the contact sheet " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

}  // namespace datagen
