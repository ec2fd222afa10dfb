// Terrow's toolbar buttons for the picture pack trb: each button a sequence of 13 frames
// ("<name>\co0000.pix" ..) with an 8-bit mask a frame ("<name>\a_co0000.bmp" ..). Frame 0 is the
// button at rest; frames 1..12 press it in and light it, so a push button plays them and comes back
// to 0, and a toggle ends lit (the editor's tools the other way round, see below). The worded
// buttons carry their word in the pack's language.
#include <cmath>
#include <string>

#include "art/canvas.h"
#include "art/text.h"
#include "terrow.h"

namespace datagen::terrow {

namespace {

using art::Canvas;
using art::Face;
using art::Mask;
using art::Rect;
using art::Rgb;

enum class Icon { Word, Play, Left, Right, Reset, Camera, Help, Build, Change, Delete, Supply };

struct Button {
    const char *name;
    int w, h;
    Icon icon;
    const char *words[3];  // English, German, French
};

const Button kButtons[] = {
    {"start", 72, 69, Icon::Play, {}},       {"left", 24, 24, Icon::Left, {}},
    {"right", 24, 24, Icon::Right, {}},      {"reset", 49, 69, Icon::Reset, {}},
    {"repos", 44, 69, Icon::Camera, {}},     {"help", 26, 26, Icon::Help, {}},
    {"fm4", 110, 26, Icon::Word, {"Quit", "Beenden", "Quitter"}},
    {"fm3", 110, 26, Icon::Word, {"Test run", "Testlauf", "Essai"}},
    {"fm1", 110, 26, Icon::Word, {"Save", "Speichern", "Enregistrer"}},
    {"fm2", 110, 26, Icon::Word, {"Load", "Laden", "Charger"}},
    {"fm0", 50, 26, Icon::Word, {"Menu", "Men\xc3\xbc", "Menu"}},
    {"quit", 50, 26, Icon::Word, {"Exit", "Ende", "Sortir"}},
    {"back", 50, 26, Icon::Word, {"Back", "Zur\xc3\xbc" "ck", "Retour"}},
    {"build", 46, 40, Icon::Build, {}},      {"change", 46, 40, Icon::Change, {}},
    {"delete", 46, 40, Icon::Delete, {}},    {"supply", 46, 40, Icon::Supply, {}},
};

// The emblem of an icon button as a coverage mask centred on (cx, cy), `s` its size.
Mask emblem(Icon icon, int w, int h, float cx, float cy, float s)
{
    Mask m;
    m.ox = 0, m.oy = 0, m.w = w, m.h = h;
    m.a.assign(size_t(w) * h, 0.0f);
    auto put = [&](const std::function<bool(float, float)> &inside) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int hits = 0;
                for (int k = 0; k < 4; k++)
                    hits += inside((x + 0.25f + 0.5f * (k & 1) - cx) / s, (y + 0.25f + 0.5f * (k >> 1) - cy) / s);
                m.a[size_t(y) * w + x] = std::max(m.a[size_t(y) * w + x], hits / 4.0f);
            }
    };
    switch (icon) {
    case Icon::Play:
        put([](float x, float y) { return x > -0.35f && x < 0.45f && std::fabs(y) < (0.45f - x) * 0.62f; });
        break;
    case Icon::Left:
        put([](float x, float y) { return x < 0.4f && x > -0.45f && std::fabs(y) < (x + 0.45f) * 0.7f; });
        break;
    case Icon::Right:
        put([](float x, float y) { return x > -0.4f && x < 0.45f && std::fabs(y) < (0.45f - x) * 0.7f; });
        break;
    case Icon::Reset:  // a turning arrow
        put([](float x, float y) {
            const float r = std::hypot(x, y);
            const bool ring = r > 0.28f && r < 0.42f && !(x > 0 && y < 0 && y > -0.2f);
            const bool head = x > 0.12f && x < 0.55f && y < 0.02f && y > -0.3f && (x - 0.12f) > -y * 0.9f - 0.05f &&
                              (0.55f - x) > -y * 0.9f - 0.05f;
            return ring || head;
        });
        break;
    case Icon::Camera:
        put([](float x, float y) {
            const bool body = std::fabs(x) < 0.42f && y > -0.2f && y < 0.3f;
            const bool lens = std::hypot(x, y - 0.05f) < 0.15f;
            const bool top = std::fabs(x + 0.1f) < 0.14f && y > -0.32f && y <= -0.2f;
            return (body && !lens) || top;
        });
        break;
    case Icon::Help:
        put([](float x, float y) {
            const float r = std::hypot(x, y + 0.12f);
            const bool hook = r > 0.18f && r < 0.32f && (y < -0.12f || x > 0);
            const bool stem = std::fabs(x) < 0.07f && y > 0.05f && y < 0.22f && !(y < -0.12f);
            const bool dot = std::hypot(x, y - 0.36f) < 0.08f;
            return hook || stem || dot;
        });
        break;
    case Icon::Build:  // a block with a plus
        put([](float x, float y) {
            const bool block = std::fabs(x + 0.1f) < 0.25f && std::fabs(y - 0.1f) < 0.25f &&
                               !(std::fabs(x + 0.1f) < 0.18f && std::fabs(y - 0.1f) < 0.18f);
            const bool plus = (std::fabs(x - 0.3f) < 0.06f && std::fabs(y + 0.25f) < 0.2f) ||
                              (std::fabs(y + 0.25f) < 0.06f && std::fabs(x - 0.3f) < 0.2f);
            return block || plus;
        });
        break;
    case Icon::Change:  // two arrows round each other
        put([](float x, float y) {
            const float r = std::hypot(x, y);
            return (r > 0.25f && r < 0.37f && std::fabs(x) > 0.08f) ||
                   (x > 0.2f && x < 0.48f && y > -0.12f && y < 0.06f) || (x < -0.2f && x > -0.48f && y < 0.12f && y > -0.06f);
        });
        break;
    case Icon::Delete:
        put([](float x, float y) { return (std::fabs(x - y) < 0.1f || std::fabs(x + y) < 0.1f) && std::fabs(x) < 0.36f; });
        break;
    case Icon::Supply:  // a crate
        put([](float x, float y) {
            const bool box = std::fabs(x) < 0.36f && std::fabs(y) < 0.3f;
            const bool inner = std::fabs(x) < 0.28f && std::fabs(y) < 0.22f;
            return (box && !inner) || (inner && std::fabs(x - y * 1.2f) < 0.06f);
        });
        break;
    case Icon::Word:
        break;
    }
    return m;
}

}  // namespace

std::vector<PictureFile> button_frames(int language)
{
    std::vector<PictureFile> out;
    const int lang = language < 0 || language > 2 ? 0 : language;
    for (const Button &b : kButtons) {
        // The editor's tools are stored lit first: the game reorders their frames (new frame i is old
        // frame 12 - i, the last three old frame 2), so a chosen tool rests lit and the others dark.
        const bool tool = b.icon == Icon::Build || b.icon == Icon::Change || b.icon == Icon::Delete ||
                          b.icon == Icon::Supply;
        for (int f = 0; f < 13; f++) {
            const float t = tool ? (12 - f) / 12.0f : f / 12.0f;
            // Pressing sinks the face (darker top, lighter bottom) and lights the emblem.
            Canvas c(b.w, b.h, Rgb{});
            const Rect r{1, 1, float(b.w - 2), float(b.h - 2)};
            const float radius = std::min(b.w, b.h) * 0.22f;
            const Rgb top = art::mix(art::hex(0xB8C0CC), art::hex(0x7E8694), t);
            const Rgb bottom = art::mix(art::hex(0x6A7280), art::hex(0x9AA2B0), t);
            c.panel(r, radius, top, bottom, 2.5f, 0);
            c.bevel(r, radius, 2.0f, 0.5f - 1.0f * t);
            const float sink = 1.5f * t;
            const Rgb lit = b.icon == Icon::Play ? art::hex(0x70F070) : art::hex(0xFFD860);
            const Rgb ink = art::mix(art::hex(0x20242C), lit, t);
            if (b.icon == Icon::Word) {
                art::TextLook look;
                look.top = ink;
                look.bottom = art::scale(ink, 0.8f);
                look.shadow = 0.35f;
                const std::string word = b.words[lang];
                const int px = art::fit_text(word, Face::SansBold, 14, float(b.w - 10));
                art::draw_text(c, word, Face::SansBold, px, b.w / 2.0f, b.h / 2.0f + sink, look);
            } else {
                const float s = std::min(b.w, b.h) * 0.8f;
                Mask m = emblem(b.icon, b.w, b.h, b.w / 2.0f, b.h / 2.0f + sink, s);
                c.fill(art::moved(m, 1, 1), art::hex(0xF0F4F8), 0.45f * (1 - t));
                c.fill(m, ink);
            }
            char name[64];
            snprintf(name, sizeof name, "%s\\co%04d.pix", b.name, f);
            Image im = c.image();
            // Outside the rounded shape the picture is black (the key colour 0): the mask says so.
            Image mask = im;
            const Mask shape = art::rrect_mask(r, radius);
            for (int y = 0; y < b.h; y++)
                for (int x = 0; x < b.w; x++) {
                    const bool in = shape.at(x, y) >= 0.5f;
                    if (!in)
                        im.argb[size_t(y) * b.w + x] = 0xFF000000u;
                    mask.argb[size_t(y) * b.w + x] = in ? 0xFFFFFFFFu : 0xFF000000u;
                }
            out.push_back({name, name, std::move(im)});
            snprintf(name, sizeof name, "%s\\a_co%04d.bmp", b.name, f);
            out.push_back({name, name, std::move(mask)});
        }
    }
    return out;
}

}  // namespace datagen::terrow
