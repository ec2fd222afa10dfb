// The level editor on the module's actors: the tool cubes beside the board, the highlight under the
// cursor, the click routing to the editor's rules (kelpa/kpeditor.h), the "new" button, the file
// operations through the framework's browser, and how the editor's game kinds start.
#include <stdio.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "kelpa/kpeditor.h"
#include "vokplat/window.h"
#include "vokscore/vokbrowse.h"
#include "vokscore/vokpopup.h"

namespace {

int g_held = KP_TOOL_NONE;
// The actor lit by the highlight and the two materials it wore.
br_actor *g_lit = nullptr;
br_material *g_litOuter = nullptr, *g_litInner = nullptr;

const char *materialName(const br_material *m)
{
    return m != nullptr && m->identifier != nullptr ? m->identifier : "";
}

// "<stem>_Material" -> "<stem>v_Material"; a "v" member stays as it is.
br_material *litMaterial(br_material *m)
{
    const char *name = materialName(m);
    const char *cut = strstr(name, "_Material");
    if (cut == nullptr || cut == name || cut[-1] == 'v')
        return m;
    char lit[64];
    snprintf(lit, sizeof lit, "%.*sv_Material", int(cut - name), name);
    br_material *found = BrMaterialFind(lit);
    return found != nullptr ? found : m;
}

void unlight()
{
    if (g_lit != nullptr) {
        g_lit->material = g_litOuter;
        if (g_lit->children != nullptr)
            g_lit->children->material = g_litInner;
    }
    g_lit = nullptr;
}

void light(br_actor *a)
{
    if (a == g_lit)
        return;
    unlight();
    if (a == nullptr)
        return;
    g_lit = a;
    g_litOuter = a->material;
    g_litInner = a->children != nullptr ? a->children->material : nullptr;
    a->material = litMaterial(a->material);
    if (a->children != nullptr)
        a->children->material = litMaterial(a->children->material);
}

// What a picked actor stands for in the editor.
enum Target { T_NONE, T_TOOL, T_PATTERN, T_PALETTE, T_BOARD_CUBE, T_TILE };
struct Hit {
    Target kind = T_NONE;
    int index = -1, x = -1, z = -1;
    br_actor *actor = nullptr;  // the cube (the parent of an inner cube) or the tile
};

Hit classify(br_actor *a)
{
    Hit h;
    if (a == nullptr)
        return h;
    KpObjects &o = kpObjects();
    for (int pass = 0; pass < 2 && a != nullptr; pass++, a = a->parent) {
        for (int i = 0; i < 9; i++)
            if (o.toolCubes[i] == a)
                return Hit{T_TOOL, i, -1, -1, a};
        for (int i = 0; i < 30; i++)
            if (o.patternCubes[i] == a)
                return Hit{T_PATTERN, i, -1, -1, a};
        for (int i = 0; i < 7; i++)
            if (o.paletteCubes[i] == a)
                return Hit{T_PALETTE, i, -1, -1, a};
        for (int i = 0; i < 121; i++)
            if (o.tiles[i] == a)
                return Hit{T_TILE, -1, i % 11, i / 11, a};
        // A cube on the board: the rules' loose cube of its cell.
        const int x = KpCellOf(a->t.t.mat.m[3][0]), z = KpCellOf(a->t.t.mat.m[3][2]);
        if (x >= 0 && x <= 10 && z >= 0 && z <= 10 && KpCubeOnCell(x, z) == a)
            return Hit{T_BOARD_CUBE, -1, x, z, a};
    }
    return h;
}

void held(int tool)
{
    g_held = tool;
    kpObjects().heldCube = tool >= 0 && tool < kKpTools ? kpObjects().toolCubes[tool] : nullptr;
}

void redrawAll()
{
    KpSwitches &s = kpSwitches();
    s.backgroundSwitch = 1;
    if (kpRenderer().screen == nullptr)
        return;
    s.fullRedraw = 1;
    KpRenderAndPresent();
    s.fullRedraw = 0;
}

void browserOverGame()
{
    VokInterFace *f = kpModule().interFace;
    if (f != nullptr) {
        f->ownerWnd = kpModule().gameWindow;
        if (kpRenderer().screen != nullptr)
            f->screenPix = kpRenderer().screen->colour;
    }
}

// The level the editor holds, as its file would keep it, for the log.
void logLevel(const char *what)
{
    const KpRules &r = kpRules();
    KpLevelFile level;
    memcpy(level.header, r.header, sizeof level.header);
    memcpy(level.board, r.board, sizeof level.board);
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(level, bytes);
    char line[64];
    snprintf(line, sizeof line, "fnv %08x", KpFnv(bytes, sizeof bytes));
    KpLogLine(what, line);
}

const char *const kTargetNames[] = {"nothing", "tool", "pattern", "palette", "cube", "tile"};

// After a level came in from a file: the tools, the highlight and the picture follow it.
void afterFile()
{
    KpRules &r = kpRules();
    logLevel("editor level");
    kpObjects().editorOpen = r.editorOpen;
    kpObjects().trialRun = r.trialRun;
    KpLayoutTools();
    redrawAll();
}

}  // namespace

void KpEditorForget()
{
    // The actors went with the scene: nothing to give back.
    g_held = KP_TOOL_NONE;
    g_lit = nullptr;
    g_litOuter = g_litInner = nullptr;
}

int KpHeldTool()
{
    return g_held;
}

void KpLayoutTools()
{
    KpObjects &o = kpObjects();
    const KpRules &r = kpRules();
    const bool pattern = r.patternInUse != 0;
    for (int t = 0; t < kKpTools; t++) {
        br_actor *a = o.toolCubes[t];
        if (a == nullptr)
            continue;
        float x = 100, z = 100, y = 100;
        if (r.trialRun && !(t == KP_TOOL_RANDOM && pattern)) {
            KpToolPlace(t, pattern, x, z);
            y = 0;
        }
        if (t == KP_TOOL_EXIT) {
            BrMatrix34RotateX(&a->t.t.mat, br_angle(0xC004));
            BrMatrix34PostTranslate(&a->t.t.mat, x, y, z);
        } else {
            BrMatrix34Translate(&a->t.t.mat, x, y, z);
        }
        // The held tool always wears its plain pair.
        if (a == g_lit && t == g_held)
            unlight();
    }
}

void KpEditorHover(br_actor *hit)
{
    KpObjects &o = kpObjects();
    const KpRules &r = kpRules();
    const Hit h = classify(hit);
    memset(o.toolTip, 0, sizeof o.toolTip);
    if (h.kind == T_TOOL)
        snprintf(o.toolTip, sizeof o.toolTip, "%s", kKpToolTips[h.index]);
    br_actor *lit = nullptr;
    if (g_held == KP_TOOL_NONE) {
        // Everything under the cursor lights but the plain floor.
        if (h.kind != T_NONE && h.kind != T_TILE)
            lit = h.actor;
        else if (h.kind == T_TILE && r.board[h.x * 11 + h.z] == KP_CELL_EXIT)
            lit = h.actor;
    } else {
        switch (h.kind) {
        case T_TOOL:
            lit = h.index != g_held ? h.actor : nullptr;
            break;
        case T_TILE:
        case T_BOARD_CUBE:
            lit = KpCanPlace(r, g_held, h.x, h.z) ? h.actor : nullptr;
            break;
        case T_PALETTE:
        case T_PATTERN:
            lit = h.actor;
            break;
        default:
            break;
        }
    }
    if (lit != nullptr && lit == o.heldCube)
        lit = nullptr;
    light(lit);
    o.hoverMark = lit;
}

void KpEditorClick(br_actor *hit)
{
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    if (!r.editorOpen)
        return;
    unlight();
    o.hoverMark = nullptr;
    const Hit h = classify(hit);
    if (g_held == KP_TOOL_NONE) {
        switch (h.kind) {
        case T_TOOL:
            held(h.index);
            break;
        case T_PATTERN:
            held(KpPickUpPattern(r, h.index / 5, h.index % 5));
            break;
        case T_PALETTE:
            held(KpPickUpPalette(r, h.index));
            break;
        case T_BOARD_CUBE:
        case T_TILE:
            held(KpPickUpBoard(r, h.x, h.z));
            break;
        default:
            break;
        }
    } else {
        switch (h.kind) {
        case T_TOOL:
            // Another tool is taken; the held one clicked again goes, but the exit tool stays.
            held(h.index != g_held || g_held == KP_TOOL_EXIT ? h.index : KP_TOOL_NONE);
            break;
        case T_PATTERN:
            KpDropOnPattern(r, g_held, h.index / 5, h.index % 5);
            break;
        case T_PALETTE:
            KpDropOnPalette(r, g_held, h.index);
            break;
        case T_BOARD_CUBE:
        case T_TILE:
            KpDropOnBoard(r, g_held, h.x, h.z);
            break;
        default:
            held(KP_TOOL_NONE);
            break;
        }
    }
    char line[96];
    snprintf(line, sizeof line, "%s %d %d %d held %d", kTargetNames[h.kind], h.index, h.x, h.z, g_held);
    KpLogLine("editor click", line);
    KpLayoutTools();
    redrawAll();
}

void KpEditorSelect(br_actor *hit)
{
    KpEditorClick(hit);
}

void KpEditorDrop()
{
    held(KP_TOOL_NONE);
    unlight();
    kpObjects().hoverMark = nullptr;
}

int KpNewLevel(KpButton *)
{
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    if (r.replayPlaying)
        return 0;
    kpSwitches().backgroundSwitch = 1;
    KpEditorDrop();
    KpClearLevel(r);
    o.editorOpen = r.editorOpen;
    KpLayoutTools();
    r.levelRunning = o.levelRunning = 0;
    if (kpModule().gameWindow != nullptr)
        SendMessageA(kpModule().gameWindow, WM_COMMAND, 40005, 0);
    kpSwitches().sceneLive = 1;
    redrawAll();
    return 0;
}

bool KpBrowseLevel(int mode, const char *title, const char *filter, const char *pattern, const char *extension,
                   char *name, size_t size)
{
    // One description and one pattern, each ended by a zero, and a zero after the list.
    char list[96] = {};
    const size_t a = strlen(filter), b = strlen(pattern);
    if (a + b + 3 > sizeof list)
        return false;
    memcpy(list, filter, a);
    memcpy(list + a + 1, pattern, b);
    browserOverGame();
    OPENFILENAMEA o = {};
    o.lStructSize = 76;
    o.hwndOwner = kpModule().gameWindow;
    o.lpstrFilter = list;
    o.nFilterIndex = 1;
    o.lpstrFile = name;
    o.nMaxFile = DWORD(size);
    o.nMaxFileTitle = 128;
    o.lpstrTitle = title;
    // A save names a file that need not be there yet: only an open asks for an existing one.
    o.Flags = mode == KP_BROWSE_SAVE ? 0x80804 : 0x81804;
    o.lpstrDefExt = extension != nullptr && extension[0] == '.' ? extension + 1 : extension;
    const int chosen = mode == KP_BROWSE_SAVE ? VokGetSaveFileName(&o) : VokGetOpenFileName(&o);
    kpSwitches().fullRedraw = 1;
    return chosen != 0;
}

void KpOpenWorkLevel()
{
    KpEditorDrop();
    KpOpenWorkLevel(kpRules());
    afterFile();
}

void KpSaveWorkLevel()
{
    KpSaveWorkLevel(kpRules());
    redrawAll();
}

void KpSaveLevel()
{
    KpSaveLevel(kpRules());
    redrawAll();
}

void KpEditorNewGame()
{
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    KpEditorDrop();
    if (r.gameKind != 102) {
        KpLayoutTools();
        return;
    }
    if (r.levelFamily == 0 || r.levelFamily == 2) {
        // The editor's own levels: a trial run with the editor open, the level empty.
        r.trialRun = o.trialRun = 1;
        r.editorOpen = o.editorOpen = 1;
        KpDefaultHeader(r.header);
        if (r.levelFamily == 2) {
            r.patternInUse = 1;
            r.header[KP_H_STREAKS] = 0;
        }
        for (int i = 0; i < 30; i++)
            r.cubes->setColour(kKpFirstPatternCube + i, KP_CLEAR);
        for (int p = 0; p < 7; p++)
            r.cubes->setColour(kKpFirstPaletteCube + p, KP_CLEAR);
        r.clearBoardOnSetup = 1;
        int colours[7];
        KpPaletteColours(r, colours);
        if (r.patternInUse)
            KpCheckStreaks(r);
        else
            KpCountColours(r, colours);
    } else if (r.levelFamily == 1) {
        // A playable level chosen in the browser, played as it stands.
        browserOverGame();
        KpOpenLevel(r);
        logLevel("opened level");
    }
    KpLayoutTools();
}
