// dialogdemo: a dialog-engine scene in a window of its own: a scrolling background, a title, two
// buttons, a check box and an edit box. Its font and pictures are made first in a scratch folder.
//   dialogdemo [--cells FILE.cls] [--save FILE.cls]
// --cells reads the cells' layout from a cell file; --save writes it once the scene has started.
// Tab moves the focus, Space ticks the check box, Enter or "OK" closes, Ctrl+F12 edits the layout
// (Ctrl+F9 saves it as "cellak.cls").
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "brondel/brpixmap.h"
#include "fontmaker/fontmaker.h"
#include "pannix/pannix.h"
#include "vokplat/paths.h"
#include "win32/windows.h"

namespace {

uint32_t rgb565(uint32_t r, uint32_t g, uint32_t b)
{
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
}

bool save(const std::filesystem::path &folder, const char *name, br_pixelmap *pm)
{
    const bool ok = pm != nullptr && PxSavePix((folder / name).string().c_str(), pm) != 0;
    PxFreePix(pm);
    return ok;
}

// The control pictures and the background tile, drawn here.
bool make_pictures(const std::filesystem::path &folder)
{
    const uint32_t frame = rgb565(200, 200, 220), inside = rgb565(250, 250, 255), tick = rgb565(40, 140, 40);
    br_pixelmap *box = PxAllocPix(BR_PMT_RGB_565, 16, 48, nullptr, 0);  // off, on, greyed
    for (int s = 0; s < 3; s++) {
        PxFillPixRect(box, 0, s * 16, 16, 16, frame);
        PxFillPixRect(box, 2, s * 16 + 2, 12, 12, s == 2 ? rgb565(180, 180, 180) : inside);
        if (s == 1)
            PxFillPixRect(box, 5, 21, 6, 6, tick);
    }
    br_pixelmap *edit = PxAllocPix(BR_PMT_RGB_565, 64, 20, nullptr, 0);
    PxFillPix(edit, frame);
    PxFillPixRect(edit, 0, 2, 62, 16, inside);
    br_pixelmap *list = PxAllocPix(BR_PMT_RGB_565, 64, 64, nullptr, 0);
    PxFillPix(list, frame);
    PxFillPixRect(list, 16, 16, 32, 32, inside);
    br_pixelmap *tile = PxAllocPix(BR_PMT_RGB_565, 32, 32, nullptr, 0);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++)
            PxFillPixRect(tile, x, y, 1, 1, rgb565(30 + ((x ^ y) & 8) * 3, 50 + y * 2, 110 + x * 2));
    return save(folder, "chkbox.pix", box) && save(folder, "editbox.pix", edit) && save(folder, "listbox.pix", list) &&
           save(folder, "tile.pix", tile);
}

PXCELLA cell(int32_t type, int32_t id, uint32_t flags, int32_t x, int32_t y, int32_t w, int32_t h, const char *text)
{
    PXCELLA c{};
    c.type = type;
    c.id = id;
    c.flags = flags;
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
    c.text = const_cast<char *>(text);
    c.tx = c.ty = -1;
    return c;
}

}  // namespace

int main(int argc, char **argv)
{
    const char *cells_file = nullptr, *save_file = nullptr;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--cells") == 0 && i + 1 < argc)
            cells_file = PlatToolPath(argv[++i]);
        else if (strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            save_file = PlatToolPath(argv[++i]);
        else {
            fprintf(stderr, "usage: dialogdemo [--cells FILE.cls] [--save FILE.cls]\n");
            return 2;
        }
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "dialogdemo_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        perror("dialogdemo");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    std::vector<fontmaker::Style> styles(1);
    styles[0].size = 15;
    styles[0].colour = 0xFFFFFF;
    styles[0].shadow = true;
    styles[0].shadow_colour = 0x101020;
    std::string error;
    int status = 1;
    if (!fontmaker::make_font_pack((folder / "demo.fnp").string(), styles, error)) {
        fprintf(stderr, "dialogdemo: %s\n", error.c_str());
    } else if (!make_pictures(folder)) {
        fprintf(stderr, "dialogdemo: %s\n", GetLastMsgError());
    } else {
        InitPannix((folder.string() + "/").c_str(), 640, 480, 16, 0, 0);
        char name[32] = "Player";
        PXCELLA cells[] = {
            cell(AKTYPE_BACKGR, 1, CF_HSCROLL | CF_VSCROLL, 0, 0, 0, 0, nullptr),
            cell(AKTYPE_STATIC, 2, CF_HCENTER, 0, 12, 0, 0, "Dialog engine"),
            cell(AKTYPE_CHECKBOX, 3, CF_BORDERIFCUR, 40, 60, 160, 22, "Sound"),
            cell(AKTYPE_EDITBOX, 4, CF_BORDERIFCUR, 40, 100, 240, 24, "Name"),
            cell(AKTYPE_BUTTON, 5, CF_BORDERIFCUR | CF_BORDER | CF_FILLIFCUR | CF_BALIGN, 40, 20, 100, 28, "OK"),
            cell(AKTYPE_BUTTON, 6, CF_BORDERIFCUR | CF_BORDER | CF_FILLIFCUR | CF_BALIGN | CF_RALIGN, 40, 20, 100, 28,
                 "Cancel"),
        };
        cells[0].file = const_cast<char *>("tile");
        cells[0].bw_spd = 20;
        cells[2].bxMax = 2;
        cells[2].tx = 24;  // right of the box
        cells[3].file = name;
        cells[3].bxMax = sizeof name;
        cells[3].bxCur = int32_t(strlen(name));
        cells[3].bw_spd = 160;
        cells[3].tx = 4;
        cells[3].px = 60;  // the box right of the label
        cells[3].bh_fbc = int32_t(rgb565(200, 30, 30));  // the cursor
        for (int b : {4, 5}) {
            cells[b].bh_fbc = int32_t(rgb565(60, 80, 160));
            cells[b].command = b == 4 ? VK_RETURN : VK_ESCAPE;
            cells[b].right = b == 4 ? 6 : 0;
            cells[b].left = b == 5 ? 5 : 0;
        }
        PXSCENE scene{};
        scene.width = 400;
        scene.height = 240;
        scene.bits = 16;
        scene.fontName = "demo";
        scene.title = "dialogdemo";
        scene.focusColour = rgb565(255, 220, 60);
        scene.cells = cells;
        scene.cellCount = int32_t(sizeof cells / sizeof cells[0]);
        scene.flags = PXS_DLGFRAME | PXS_NOEXIT;
        if (cells_file != nullptr && LoadCellParams(cells_file, &scene) != 0) {
            fprintf(stderr, "dialogdemo: %s\n", GetLastMsgError());
        } else if (StartPannixW(nullptr, -1, -1, &scene, nullptr, 0) == 0) {
            fprintf(stderr, "dialogdemo: %s\n", GetLastMsgError());
        } else {
            if (save_file != nullptr && SaveCellParams(save_file, &scene) != 0)
                fprintf(stderr, "dialogdemo: %s\n", GetLastMsgError());
            PannixMsgLoop(&scene);
            printf("name \"%s\", sound %s\n", name, cells[2].bxCur != 0 ? "on" : "off");
            status = 0;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return status;
}
