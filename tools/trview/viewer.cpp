#include "viewer.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brcore.h>
#include <brondel/brfw.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "vokplat/png.h"
#include "win32/windows.h"

namespace trview {

namespace {

void diag(const char *message)
{
    fprintf(stderr, "trview: %s\n", message != nullptr ? message : "3D library failure");
}
br_diaghandler g_diag = {"trview", diag, diag};

int box_hook(const char *text, unsigned)
{
    fprintf(stderr, "trview: %s\n", text != nullptr ? text : "");
    return IDOK;
}

Viewer *g_viewer = nullptr;
long (*g_key)(Viewer &, uintptr_t) = nullptr;
bool g_dirty = true;
int g_lastX = -1, g_lastY = -1;
std::string g_lastText;

LRESULT CALLBACK window_proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    Viewer *v = g_viewer;
    switch (m) {
    case WM_KEYDOWN: {
        TrOrbit &o = v->orbit();
        switch (wp) {
        case VK_ESCAPE: DestroyWindow(w); return 0;
        case VK_LEFT: o.turn -= 10; break;
        case VK_RIGHT: o.turn += 10; break;
        case VK_UP: o.tilt -= 5; break;
        case VK_DOWN: o.tilt += 5; break;
        case VK_PRIOR: o.distance *= 0.9f; break;
        case VK_NEXT: o.distance *= 1.1f; break;
        case 'P': o.parallel = !o.parallel; break;
        default:
            if (g_key != nullptr && g_key(*v, wp) != 0)
                g_dirty = true;
            return 0;
        }
        v->apply_orbit();
        printf("orbit: tilt %.0f turn %.0f distance %.2f %s\n", o.tilt, o.turn, o.distance,
               o.parallel ? "parallel" : "perspective");
        fflush(stdout);
        g_dirty = true;
        return 0;
    }
    case WM_MOUSEMOVE: {
        g_lastX = (short)LOWORD(lp);
        g_lastY = (short)HIWORD(lp);
        std::string text = v->describe_point(g_lastX, g_lastY);
        if (text != g_lastText && !text.empty()) {
            printf("%s\n", text.c_str());
            fflush(stdout);
        }
        g_lastText = text;
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        TrSetPaintState(2);
        TrDibPresent(dc);
        EndPaint(w, &ps);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

}  // namespace

const char *cube_side_name(int face)
{
    static const char *const names[6] = {"+y (top)", "+x", "-z", "-x", "+z", "-y (bottom)"};
    return face >= 0 && face < 12 ? names[face / 2] : "?";
}

bool Viewer::begin(const std::string &readRoot, int width, int height)
{
    width_ = width;
    height_ = height;
    TrSetBoxHook(box_hook);
    if (BrBegin() != BRE_OK)
        return false;
    begun_ = true;
    BrDiagHandlerSet(&g_diag);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    char cwd[1024] = "";
    if (getcwd(cwd, sizeof cwd) == nullptr || chdir(readRoot.c_str()) != 0) {
        fprintf(stderr, "trview: no data folder %s\n", readRoot.c_str());
        return false;
    }
    const bool ok = Look_LoadAll() != 0;
    if (chdir(cwd) != 0 || !ok)
        return false;

    void *pixels = TrDibCreate(width, height, BR_PMT_RGB_565);
    if (pixels == nullptr)
        return false;
    const int32_t rb = TrDibRowBytes(width, 16);
    // The DIB's rows run bottom-up: the view starts at its last row and steps back.
    view_ = BrPixelmapAllocate(BR_PMT_RGB_565, width, height, pixels, PIXELMAP_ALLOCATE_INVERTED);
    view_->row_bytes = (br_int_16)-rb;
    view_->pixels = (char *)pixels + (size_t)rb * (height - 1);
    onDib_ = true;
    view_->origin_x = (br_int_16)(width / 2);
    view_->origin_y = (br_int_16)(height / 2);
    depth_ = BrPixelmapMatch(view_, BR_PM_USE_DEPTH_16);

    world_ = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    root_ = BrActorAdd(world_, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    centre_ = BrActorAdd(world_, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    pivot_ = BrActorAdd(centre_, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    camera_ = BrActorAdd(pivot_, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    auto *c = (br_camera *)camera_->type_data;
    c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    c->hither_z = 0.05f;
    c->yon_z = 30.0f;
    c->field_of_view = 7280;
    c->aspect = (float)width / (float)height;
    for (int i = 0; i < 3; i++) {
        lights_[i] = BrActorAdd(centre_, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        auto *l = (br_light *)lights_[i]->type_data;
        l->type = BR_LIGHT_DIRECT;
        l->colour = i == 2 ? 0x606060 : 0xFFFFFF;
        l->attenuation_c = 1.0f;
        br_matrix34 *m = &lights_[i]->t.t.mat;
        // A direct light shines along its -z axis: aim it at the centre.
        BrMatrix34RotateX(m, (br_angle)(i == 2 ? -16384 : -9000));
        BrMatrix34PostRotateY(m, (br_angle)(i == 0 ? -6000 : i == 1 ? 24000 : 0));
        BrLightEnable(lights_[i]);
    }
    orbit_ = {0.0f, 0.0f, 320.0f, 0.0f, 1.4f, 0, camera_, pivot_};
    apply_orbit();
    PickInit(world_, camera_, view_, 0);
    g_viewer = this;
    return true;
}

void Viewer::end()
{
    if (!begun_)
        return;
    PickReset();
    if (world_ != nullptr)
        BrActorFree(world_);
    world_ = nullptr;
    Look_FreeAll();
    Model_FreeAll();
    OwnFs_ClosePack();
    if (depth_ != nullptr)
        BrPixelmapFree(depth_);
    if (view_ != nullptr) {
        if (onDib_)
            view_->pixels = nullptr;
        BrPixelmapFree(view_);
    }
    depth_ = view_ = nullptr;
    TrDibFree();
    Br_ReleaseAll();
    BrZbEnd();
    BrEnd();
    begun_ = false;
    g_viewer = nullptr;
}

void Viewer::set_centre(float x, float y, float z)
{
    BrMatrix34Translate(&centre_->t.t.mat, x, y, z);
}

void Viewer::apply_orbit()
{
    Orbit_Apply(&orbit_);
}

void Viewer::render()
{
    for (int y = 0; y < view_->height; y++) {
        int t = y * 255 / (view_->height > 1 ? view_->height - 1 : 1);
        uint16_t c = (uint16_t)((((60 - t / 8) >> 3) << 11) | (((68 - t / 8) >> 2) << 5) | ((90 - t / 6) >> 3));
        auto *row = (uint16_t *)((char *)view_->pixels + (ptrdiff_t)y * view_->row_bytes);
        for (int x = 0; x < view_->width; x++)
            row[x] = c;
    }
    BrPixelmapFill(depth_, 0xFFFFFFFF);
    BrZbSceneRender(world_, camera_, view_, depth_);
}

bool Viewer::write_png(const std::string &path) const
{
    std::vector<unsigned char> rgb((size_t)width_ * height_ * 3);
    for (int y = 0; y < height_; y++) {
        const auto *row = (const uint16_t *)((const char *)view_->pixels + (ptrdiff_t)y * view_->row_bytes);
        for (int x = 0; x < width_; x++) {
            const uint16_t p = row[x];
            unsigned char *o = &rgb[((size_t)y * width_ + x) * 3];
            o[0] = (unsigned char)((p >> 11) * 255 / 31);
            o[1] = (unsigned char)(((p >> 5) & 63) * 255 / 63);
            o[2] = (unsigned char)((p & 31) * 255 / 31);
        }
    }
    return PlatWritePngRgb(path.c_str(), width_, height_, rgb.data()) != FALSE;
}

std::string Viewer::describe_point(int x, int y)
{
    TrPickResult *r = Pick_Record(x, y);
    if (r == nullptr)
        return "";
    char line[256];
    TrElem *e = Look_ElemOfActor(r->actor);
    const char *model = r->model != nullptr && r->model->identifier != nullptr ? r->model->identifier : "?";
    const bool cube = r->model != nullptr && r->model == Model_Get("kocka.mod", 0);
    if (e != nullptr)
        snprintf(line, sizeof line, "type %d variant %d: model %s face %d%s%s", e->io->type, e->io->variant, model,
                 r->face, cube ? " side " : "", cube ? cube_side_name(r->face) : "");
    else
        snprintf(line, sizeof line, "model %s face %d", model, r->face);
    return line;
}

int Viewer::run_window(const char *title, void (*tick)(Viewer &, uint32_t), long (*key)(Viewer &, uintptr_t))
{
    g_key = key;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.lpszClassName = "TrView";
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    RECT r = {0, 0, width_, height_};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowA("TrView", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (w == nullptr) {
        fprintf(stderr, "trview: no window\n");
        return 1;
    }
    HDC dc = GetDC(w);
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ReleaseDC(w, dc);
                UnregisterClassA("TrView", nullptr);
                return 0;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (tick != nullptr) {
            tick(*this, GetTickCount());
            g_dirty = true;
        }
        if (g_dirty) {
            render();
            TrSetPaintState(2);
            TrDibPresent(dc);
            g_dirty = false;
        }
        // Nothing is due before the next frame.
        Sleep(15);
    }
}

}  // namespace trview
