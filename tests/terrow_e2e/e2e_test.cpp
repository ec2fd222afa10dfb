// Terrow end to end through the real main program, headless on the virtual clock, driven by
// tests/terrow_e2e/play.script: the menu, the name, Terrow's game screen 17, the first challenge field
// solved with the supplied ball, the game-over popup, screen 17 with the field marked solved, the
// editor placing a block and saving it through the browser, `trfield dump` of the saved file, the exit.
#include <gtest/gtest.h>
#include <png.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>

#include "pannix/ffpack.h"
#include "pannix/pxpix.h"
#include "terrow/tredit.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "win32/winuser.h"
#include "../common/capture.h"

// The catalogue's groups beside the field, placed about the layout's pair of positions.
void tr_place_catalogue_nodes();

namespace {

namespace fs = std::filesystem;

using capture::count;
using capture::load;
using capture::Shot;
using capture::slurp;

// Pixels of a rectangle that differ clearly between two pictures.
int changed(const Shot &a, const Shot &b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            const uint8_t *p = a.at(x, y), *q = b.at(x, y);
            n += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 60;
        }
    return n;
}


// The start button's generated frames from the picture pack: each frame's pixels and its mask.
struct Frames {
    int w = 0, h = 0;
    std::vector<std::vector<uint8_t>> rgb, mask;
};

Frames start_frames(const fs::path &pack)
{
    Frames out;
    FFPACKHANDLE *h = FFOpenPack(pack.c_str(), 0);
    if (h == nullptr)
        return out;
    FFSetCurrentPack(h);
    for (int f = 0; f < 13; f++) {
        char name[64];
        snprintf(name, sizeof name, "start\\co%04d.pix", f);
        br_pixelmap *pic = FFLoadPix(name, 1);
        snprintf(name, sizeof name, "start\\a_co%04d.bmp", f);
        br_pixelmap *mask = FFLoadPix(name, 1);
        if (pic == nullptr || mask == nullptr || pic->type != BR_PMT_RGB_565 || mask->type != BR_PMT_INDEX_8 ||
            mask->width != pic->width || mask->height != pic->height) {
            out.rgb.clear();
        } else {
            out.w = pic->width;
            out.h = pic->height;
            std::vector<uint8_t> rgb, m;
            for (int y = 0; y < pic->height; y++)
                for (int x = 0; x < pic->width; x++) {
                    uint16_t v;
                    std::memcpy(&v, static_cast<const uint8_t *>(pic->pixels) + y * pic->row_bytes + x * 2, 2);
                    rgb.push_back(uint8_t((v >> 11) * 255 / 31));
                    rgb.push_back(uint8_t(((v >> 5) & 63) * 255 / 63));
                    rgb.push_back(uint8_t((v & 31) * 255 / 31));
                    m.push_back(static_cast<const uint8_t *>(mask->pixels)[y * mask->row_bytes + x]);
                }
            out.rgb.push_back(std::move(rgb));
            out.mask.push_back(std::move(m));
        }
        if (pic != nullptr)
            PxFreePix(pic);
        if (mask != nullptr)
            PxFreePix(mask);
        if (out.rgb.empty())
            break;
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(h);
    return out;
}

// The generated frame a capture shows at (x0, y0), by the mean difference inside the frame's mask:
// {frame, mean difference per channel}.
std::pair<int, double> closest_frame(const Shot &s, const Frames &fr, int x0, int y0)
{
    std::pair<int, double> best{-1, 1e9};
    for (size_t f = 0; f < fr.rgb.size(); f++) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < fr.h; y++)
            for (int x = 0; x < fr.w; x++) {
                const size_t i = size_t(y) * fr.w + x;
                if (fr.mask[f][i] == 0 || x0 + x >= s.w || y0 + y >= s.h)
                    continue;
                const uint8_t *p = s.at(x0 + x, y0 + y);
                for (int k = 0; k < 3; k++)
                    sum += std::abs(int(p[k]) - int(fr.rgb[f][i * 3 + k]));
                n += 3;
            }
        const double mean = n > 0 ? sum / n : 1e9;
        if (mean < best.second)
            best = {int(f), mean};
    }
    return best;
}

// Where the script clicks, worked out as the game shows its scene: the field and the catalogue
// placed by the game's own code, the camera as the field gives it (and as the script's keys move
// it), each point projected into the 640 x 451 view above the status strip, which is also the
// frame the game's picking reads.
struct Points {
    int ball[2], start[2], marker[2];  // the first challenge: the supplied ball's slot, its start, the arrow
    int block[2], cell[2];             // the editor: the catalogue's block, the top of floor cell (3, 0, 5)
    std::string error;
};

void plain_look(TrElem *e)
{
    if (e->actor == nullptr)
        e->actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
}

struct Scene {
    br_pixelmap view{};
    br_actor *world, *camera, *root, *opaque, *translucent;
    TrSceneRoots roots{};

    Scene()
    {
        view.width = 640;
        view.height = 480 - TR_STATUS_HEIGHT;
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        auto *c = static_cast<br_camera *>(camera->type_data);
        c->hither_z = 0.1f;
        c->yon_z = 20.0f;
        c->field_of_view = 7280;
        c->aspect = float(view.width) / float(view.height);
        root = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        opaque = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        translucent = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        // The selection's tree as the set-up builds it: the ball slot, the slopes' parent, five nodes.
        roots.second = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        roots.selection = BrActorAdd(roots.second, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        for (br_actor *&a : roots.selectionParents)
            a = BrActorAdd(roots.selection, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        for (br_actor *&a : roots.nodes)
            a = BrActorAdd(roots.selection, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        *TrSceneRootsGet() = roots;
        TrPlayModeGet()->selectionParents[0] = roots.selectionParents[0];
        TrPlayModeGet()->selectionParents[1] = roots.selectionParents[1];
        TrGetShell()->cameras[0] = camera;
        TrGetShell()->cameras[1] = nullptr;
    }
    ~Scene()
    {
        Edit_Reset();
        Palya_Release();
        TrCatalogueFree();
        *TrSceneRootsGet() = TrSceneRoots{};
        TrPlayModeGet()->selectionParents[0] = TrPlayModeGet()->selectionParents[1] = nullptr;
        TrGetShell()->cameras[0] = nullptr;
        BrActorFree(world);
        TrSetPlayHooks(nullptr);
    }
    void catalogue()
    {
        TrCatalogueParents p{};
        p.ballSlot = roots.selectionParents[0];
        p.selection = roots.selectionParents[1];
        for (int i = 0; i < 5; i++)
            p.nodes[i] = roots.nodes[i];
        TrCatalogueBuild(&p);
    }
    // A point in an actor's frame on the view; false when it is not on it.
    bool project(br_actor *actor, const float p[3], int out[2]) const
    {
        int32_t x = -1, y = -1;
        if (!View_ProjectXY(actor, p, &x, &y, camera, const_cast<br_pixelmap *>(&view)))
            return false;
        out[0] = x;
        out[1] = y;
        return x >= 0 && x < view.width && y >= 0 && y < view.height;
    }
};

// `stepsBack`: the script's PageDown presses on the field before its first click there.
Points click_points(const std::string &fieldPath, int stepsBack)
{
    Points pt{};
    TrPlayHooks h{};
    h.lookMake = plain_look;
    TrSetPlayHooks(&h);
    // The solution: the field file holds its supplied ball where it solves the field, turned the way
    // it must roll; the game hands it to the player instead.
    TrPalya *solution = Palya_FOpenLoad(fieldPath.c_str());
    if (solution == nullptr)
        return {{}, {}, {}, {}, {}, "cannot read " + fieldPath};
    const EIo *ball = nullptr;
    for (int32_t i = 0; i < solution->count; i++) {
        const EIo *io = solution->elements[i]->io;
        if ((io->flags & EF_BALL) && !(io->flags & EF_LEVEL_PART))
            ball = io;
    }
    if (ball == nullptr) {
        Palya_Free(solution);
        return {{}, {}, {}, {}, {}, "no supplied ball in " + fieldPath};
    }
    const EIo sol = *ball;
    Palya_Free(solution);
    {
        Scene s;
        TrPlayModeGet()->game = 1;
        s.catalogue();
        if (Palya_Replace(fieldPath.c_str(), s.opaque, s.translucent, s.root) != 1)
            return {{}, {}, {}, {}, {}, "cannot install " + fieldPath};
        TrCatalogueLayoutGame();
        tr_place_catalogue_nodes();
        TrCameraFromField();
        for (int i = 0; i < stepsBack; i++)
            TrCameraKeyWith(VK_NEXT, 0, 0);
        const float origin[3] = {0, 0, 0};
        const TrElem *sample = TrCatalogueFind(sol.type, 0);
        if (sample == nullptr || !s.project(sample->actor, origin, pt.ball))
            pt.error += "the ball's slot is off the view; ";
        // The top face's centre of the start cell under the ball.
        const float top[3] = {0.05f + 0.1f * sol.x, 0.055f * float(sol.y - 1), 0.05f + 0.1f * sol.z};
        if (!s.project(s.root, top, pt.start))
            pt.error += "the start cell is off the view; ";
        // The ball as the game places it there, and the arrow of its direction about it.
        TrElem *placed = Elem_New(sol.x, sol.y, sol.z, TR_DIR_UNSET, sol.type, EF_BALL);
        plain_look(placed);
        BrActorAdd(s.opaque, placed->actor);
        Palya_Place(placed, 1);
        Dir_Begin(placed);
        const TrElem *arrow = Dir_Marker(sol.direction);
        if (arrow == nullptr || !s.project(arrow->actor, origin, pt.marker))
            pt.error += "the direction's arrow is off the view; ";
        Dir_End(placed);
        Edit_Reset();
        BrActorRemove(placed->actor);
        BrActorFree(placed->actor);
        placed->actor = nullptr;
        Elem_Free(placed);
    }
    {
        // The editor: a new field, the camera reset, every sample shown in the editor's layout.
        Scene s;
        TrPlayModeGet()->game = 0;
        s.catalogue();
        Palya_Install(Palya_New(), s.opaque, s.translucent, s.root);
        TrCatalogueLayoutEditor();
        tr_place_catalogue_nodes();
        TrCameraFromField();
        TrCameraKeyWith(82, 0, 0);
        const float origin[3] = {0, 0, 0};
        const TrElem *block = TrCatalogueFind(TY_T_SIMA, 0);
        if (block == nullptr || !s.project(block->actor, origin, pt.block))
            pt.error += "the catalogue's block is off the view; ";
        const float top[3] = {0.05f + 0.1f * 3, 0.0f, 0.05f + 0.1f * 5};
        if (!s.project(s.root, top, pt.cell))
            pt.error += "the floor cell is off the view; ";
    }
    return pt;
}

std::string xy(const int p[2])
{
    return std::to_string(p[0]) + " " + std::to_string(p[1]);
}

TEST(TerrowE2e, FirstChallengeSolvedFromTheMenuThenABlockSavedInTheEditor)
{
    const fs::path bin = fs::path(MAVREL_PATH).parent_path();
    const fs::path dir = fs::temp_directory_path() / ("terrow_e2e_" + std::to_string(getpid()));
    std::string script = capture::script_into(TERROW_PLAY_SCRIPT, dir);
    ASSERT_FALSE(script.empty());
    fs::create_directories(dir / "run");
    chmod((dir / "run").c_str(), 0700);
    // A player of this run's own, so that no earlier result marks the field solved beforehand.
    const std::string player = "TrE2e" + std::to_string(getpid() % 100000);
    // The first challenge field, "First Roll", and the click points its scene gives.
    fs::path first;
    for (const auto &e : fs::directory_iterator(bin / "fw" / "Fields"))
        if (e.path().filename().string().size() > 6 && e.path().filename().string().substr(e.path().filename().string().size() - 6) == "Fi.trl")
            first = e.path();
    ASSERT_FALSE(first.empty());
    int stepsBack = 0;
    for (size_t at = script.find(" key NEXT\n"); at != std::string::npos; at = script.find(" key NEXT\n", at + 1))
        stepsBack++;
    const Points pt = click_points(first.string(), stepsBack);
    ASSERT_EQ(pt.error, "");
    for (const auto &[token, p] : {std::pair<const char *, const int *>{"@BALL", pt.ball}, {"@START", pt.start},
                                   {"@MARKER", pt.marker}, {"@BLOCK", pt.block}, {"@CELL", pt.cell}}) {
        ASSERT_NE(script.find(token), std::string::npos) << token;
        script = std::regex_replace(script, std::regex(token), xy(p));
    }
    script = std::regex_replace(script, std::regex("char NAME"), "char " + player);
    // The editor saves into the program folder's "Fields" (the test's lock keeps other runs out).
    const std::string fieldName = "tre2e" + std::to_string(getpid() % 100000);
    const fs::path saved = bin / "Fields" / (fieldName + ".trl");
    fs::remove(saved);
    script = std::regex_replace(script, std::regex("char FIELD"), "char " + fieldName);
    std::ofstream(dir / "play.script") << script;
    // The run makes its player the last one in players.lst (whose first line also holds Kelpa's
    // speed); the file is put back afterwards.
    const fs::path players = bin / "players.lst";
    const bool hadPlayers = fs::exists(players);
    struct PutBack {
        fs::path path;
        bool had;
        std::string data;
        ~PutBack()
        {
            if (had)
                std::ofstream(path, std::ios::binary) << data;
        }
    } putBack{players, hadPlayers, hadPlayers ? slurp(players) : std::string()};
    // The main program is one copy a desktop: its window and atom live under a runtime folder of this
    // run's own, so another program's test running beside this one is no other copy.
    const std::string command = "cd '" + bin.string() + "' && XDG_RUNTIME_DIR='" + (dir / "run").string() +
                                "' VOK_ATOM_DIR='" + (dir / "run").string() +
                                "' VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 timeout -k 5 400 env VOK_INPUT_SCRIPT='" +
                                (dir / "play.script").string() + "' VOK_LOG='" + (dir / "log.txt").string() +
                                "' ./mavrel -q > '" + (dir / "out.txt").string() + "' 2>&1";
    const int status = system(command.c_str());
    const std::string log = slurp(dir / "log.txt");
    // The player's saved positions go with the run.
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(bin / "save" / "fenlw", ec))
        if (e.path().filename().string().find("P^" + player + "L^") != std::string::npos)
            fs::remove(e.path());
    ASSERT_EQ(status, 0) << command << "\n" << slurp(dir / "out.txt") << "\n" << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;

    // The saved field through the project's field tool: the new field's floor of 10 x 10 blocks and
    // the one block placed on it, at the cell the click met (x 3, layer 1, z 5).
    ASSERT_TRUE(fs::exists(saved)) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    const std::string dump = (dir / "dump.txt").string();
    ASSERT_EQ(system(("'" + (bin / "trfield").string() + "' dump '" + saved.string() + "' > '" + dump + "' 2>&1").c_str()), 0);
    const std::string text = slurp(dump);
    fs::remove(saved);
    EXPECT_NE(text.find("# 101 elements"), std::string::npos) << text;
    const std::regex above("\\nelem [0-9]+ [1-9][0-9]* [0-9]+ [0-9]+ [a-z]+");
    std::vector<std::string> above_floor;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), above); it != std::sregex_iterator(); ++it)
        above_floor.push_back(it->str().substr(1));
    EXPECT_EQ(above_floor, std::vector<std::string>{"elem 3 1 5 0 block"}) << text;
    EXPECT_NE(log.find("window destroy"), std::string::npos);

    Shot menu, screen17, field, placed, won, back, editor, block, editmenu, browser, back2, main;
    ASSERT_TRUE(load(dir / "terrow_e2e_menu.png", menu));
    ASSERT_TRUE(load(dir / "terrow_e2e_screen17.png", screen17));
    ASSERT_TRUE(load(dir / "terrow_e2e_field.png", field));
    ASSERT_TRUE(load(dir / "terrow_e2e_placed.png", placed));
    ASSERT_TRUE(load(dir / "terrow_e2e_won.png", won));
    ASSERT_TRUE(load(dir / "terrow_e2e_back.png", back));
    ASSERT_TRUE(load(dir / "terrow_e2e_editor.png", editor));
    ASSERT_TRUE(load(dir / "terrow_e2e_block.png", block));
    ASSERT_TRUE(load(dir / "terrow_e2e_editmenu.png", editmenu));
    ASSERT_TRUE(load(dir / "terrow_e2e_browser.png", browser));
    ASSERT_TRUE(load(dir / "terrow_e2e_back2.png", back2));
    ASSERT_TRUE(load(dir / "terrow_e2e_main.png", main));
    for (const Shot *s : {&menu, &screen17, &field, &placed, &won, &back, &editor, &block, &editmenu, &browser, &back2, &main}) {
        ASSERT_EQ(s->w, 640);
        ASSERT_EQ(s->h, 480);
    }
    auto red = [](const uint8_t *p) { return p[0] > 140 && p[1] < 90 && p[2] < 90; };
    auto gold = [](const uint8_t *p) { return p[0] > 180 && p[1] > 130 && p[2] < 110; };
    auto white = [](const uint8_t *p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; };
    auto green = [](const uint8_t *p) { return p[1] > 100 && p[1] > p[0] + 40 && p[1] > p[2] + 40; };
    auto stone = [](const uint8_t *p) {
        const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
        return hi < 130 && hi - lo < 40;
    };
    // The menu: the red exit button at the top left; the main menu again at the end.
    EXPECT_GT(count(menu, 10, 8, 60, 30, red), 300);
    EXPECT_GT(count(main, 10, 8, 60, 30, red), 300);
    // Screen 17: the gold title "Terrow"; no field of the challenge list marked solved yet (the "*"
    // stands left of the first name once it is).
    EXPECT_GT(count(screen17, 220, 25, 420, 80, gold), 1500);
    EXPECT_GT(count(back, 220, 25, 420, 80, gold), 1500);
    // The field: its stone track in the middle, the status strip's text, the start button.
    EXPECT_GT(count(field, 200, 100, 420, 280, stone), 8000);
    EXPECT_GT(count(field, 150, 375, 490, 400, white), 100) << "the status line \"Get 1 ball to exit\"";
    // The ball on the start cell, where the supply's ball was the frame before.
    EXPECT_GT(changed(field, placed, pt.start[0] - 25, pt.start[1] - 24, pt.start[0] + 15, pt.start[1] + 11), 150);
    // The start button (72 x 69 at 0, 411): at rest it shows the generated rest frame; on its way in
    // it shows one of the generated press frames.
    const Frames start = start_frames(bin / "trb");
    ASSERT_EQ(start.rgb.size(), 13u);
    ASSERT_EQ(start.w, 72);
    const auto rest = closest_frame(placed, start, 0, 411);
    EXPECT_EQ(rest.first, 0);
    EXPECT_LT(rest.second, 6.0);
    // The animation only goes forward: the frames caught never go back. The button animates on its
    // own thread, so on a loaded machine the first capture can still show the pointer's hover picture.
    int pressed = 0, last = 0;
    for (const char *name : {"terrow_e2e_press1.png", "terrow_e2e_press2.png", "terrow_e2e_press3.png"}) {
        Shot press;
        ASSERT_TRUE(load(dir / name, press));
        const auto f = closest_frame(press, start, 0, 411);
        if (f.second >= 6.0) {
            EXPECT_EQ(pressed, 0) << name << " shows no generated frame of the start button after a press frame";
            continue;
        }
        EXPECT_GE(f.first, last) << name;
        last = f.first;
        if (f.first >= 1 && changed(placed, press, 0, 411, 72, 480) > 20)
            pressed++;
    }
    EXPECT_GT(pressed, 0) << "no capture caught the start button on its way in";
    // "Well done!" in gold over the field, the popup's green Menu button, and the track lit where
    // the ball went.
    EXPECT_GT(count(won, 16, 16, 416, 88, gold), 300);
    EXPECT_GT(count(won, 40, 412, 150, 456, green), 1500);
    EXPECT_GT(changed(placed, won, 220, 120, 410, 270), 1500);
    // Back on screen 17: the first field of the list carries its "*".
    EXPECT_LT(count(screen17, 250, 124, 262, 138, white), 5);
    EXPECT_GT(count(back, 250, 124, 262, 138, white), 10);
    // The editor: the new field's floor; the block stands where the click put it.
    EXPECT_GT(count(editor, 120, 80, 520, 380, stone), 40000);
    EXPECT_GT(changed(editor, block, pt.cell[0] - 30, pt.cell[1] - 45, pt.cell[0] + 20, pt.cell[1] + 5), 300);
    // The menu opened with its four members one below the other: Quit, Test run, Save, Load.
    // Each row carries its dark word; the editor's background has nothing that dark there.
    auto ink = [](const uint8_t *p) { return std::max({p[0], p[1], p[2]}) < 70; };
    for (int row = 0; row < 4; row++) {
        EXPECT_GT(count(editmenu, 60, 8 + 26 * row, 150, 26 + 26 * row, ink), 40) << "menu row " << row;
        EXPECT_LT(count(block, 60, 8 + 26 * row, 150, 26 + 26 * row, ink), 5) << "menu row " << row;
    }
    // The browser over the editor, then screen 17 again once the editor is left.
    EXPECT_GT(changed(block, browser, 100, 100, 540, 420), 50000);
    EXPECT_GT(count(back2, 220, 25, 420, 80, gold), 1500);
    fs::remove_all(dir);
}

}  // namespace
