// The camera keys: turning, zooming and (in the editor, with Ctrl) panning the orbit about the
// field, held inside limits that keep the field in view.
#include <cmath>

#include <brondel/bractor.h>
#include <brondel/brmatrix.h>

#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "win32/winuser.h"

namespace {

TrCamera g_camera = {0.0f, 0.0f, TR_CAM_PITCH, TR_CAM_YAW, TR_CAM_DISTANCE, 0, nullptr, nullptr, TR_CAM_HEIGHT, 1};

float g_orbit[2] = {0.0f, 0.0f};  // the drag's increments key 88 applies

bool held(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

float clampf(float v, float lo, float hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

// The eye's height over the field for the hover work: the distance counts only between 1.7 and 2.2.
void derive_eye_height()
{
    const float d = clampf(g_camera.distance, 1.7f, 2.2f);
    g_camera.eyeHeight = g_camera.height + d * std::sin((360.0f - g_camera.pitch) * float(M_PI) / 180.0f);
}

// Places the main camera by the orbit and gives the copy world's camera the same transform.
void place()
{
    derive_eye_height();
    TrShell *s = TrGetShell();
    if (s->cameras[0] == nullptr)
        return;
    TrOrbit o{};
    o.x = g_camera.pan;
    o.y = g_camera.height;
    o.tilt = g_camera.pitch;
    o.turn = g_camera.yaw;
    o.distance = g_camera.distance;
    o.camera = s->cameras[0];
    Orbit_Apply(&o);
    BrMatrix34PostRotateY(&s->cameras[0]->t.t.mat, br_angle(int32_t(o.turn * 182.0f)));
    if (s->cameras[1] != nullptr) {
        s->cameras[1]->t = s->cameras[0]->t;
        *(br_camera *)s->cameras[1]->type_data = *(br_camera *)s->cameras[0]->type_data;
    }
}

}  // namespace

extern "C" {

TrCamera *TrCameraGet(void)
{
    return &g_camera;
}

void TrCameraReset(void)
{
    g_camera.pan = 0.0f;
    g_camera.height = TR_CAM_HEIGHT;
    g_camera.pitch = TR_CAM_PITCH;
    g_camera.yaw = TR_CAM_YAW;
    g_camera.distance = TR_CAM_DISTANCE;
    g_camera.lookDown = 0;
}

void TrCameraOrbit(float dx, float dy)
{
    g_orbit[0] = dx * 0.5f;
    g_orbit[1] = dy * 0.5f;
}

void TrCameraKey(int32_t key)
{
    TrCameraKeyWith(key, held(VK_SHIFT), held(VK_CONTROL));
}

void TrCameraKeyWith(int32_t key, int32_t shift, int32_t ctrlHeld)
{
    const bool game = TrPlayModeGet()->game != 0;
    const bool ctrl = !game && ctrlHeld;
    const float step = shift ? TR_CAM_STEP / 3.0f : TR_CAM_STEP;
    const float pitch = g_camera.pitch;
    switch (key) {
    case VK_PRIOR:
        g_camera.distance *= 0.97087383f;
        break;
    case VK_NEXT:
        g_camera.distance *= 1.03f;
        break;
    case VK_LEFT:
        if (ctrl)
            g_camera.pan += TR_CAM_PAN_STEP;
        else
            g_camera.yaw -= step;
        break;
    case VK_RIGHT:
        if (ctrl)
            g_camera.pan -= TR_CAM_PAN_STEP;
        else
            g_camera.yaw += step;
        break;
    case VK_UP:
        if (ctrl)
            g_camera.height -= TR_CAM_PAN_STEP;
        else
            g_camera.pitch += step;
        break;
    case VK_DOWN:
        if (ctrl)
            g_camera.height += TR_CAM_PAN_STEP;
        else
            g_camera.pitch -= step;
        break;
    case 82:
        TrCameraReset();
        break;
    case 88:
        g_camera.yaw += g_orbit[0];
        g_camera.pitch += g_orbit[1];
        g_orbit[0] = g_orbit[1] = 0.0f;
        break;
    default:
        break;  // 0: placed again as it stands
    }
    if (g_camera.limits) {
        if (g_camera.pitch < 270.0f || g_camera.pitch > (game ? 355.0f : 356.0f))
            g_camera.pitch = pitch;
        g_camera.distance = clampf(g_camera.distance, 1.2f, 3.2f);
        g_camera.pan = clampf(g_camera.pan, -0.45f, 0.45f);
        g_camera.height = clampf(g_camera.height, -0.3f, 0.0f);
    }
    place();
    TrCopiesViewChanged(key != 0 ? 1 : 0);
}

void TrCameraFromField(void)
{
    const TrPalya *f = Palya_Current();
    if (f == nullptr)
        f = TrGetShell()->field;
    if (f == nullptr) {
        TrCameraReset();
    } else {
        g_camera.pitch = f->pitch;
        g_camera.yaw = f->yaw;
        g_camera.distance = f->distance;
        g_camera.height = f->height;
        g_camera.pan = f->pan;
    }
    g_camera.limits = 1;
    place();
}

void TrCameraToField(void)
{
    TrPalya *f = Palya_Current();
    if (f == nullptr)
        return;
    f->pitch = g_camera.pitch;
    f->yaw = g_camera.yaw;
    f->distance = g_camera.distance;
    f->height = g_camera.height;
    f->pan = g_camera.pan;
    f->cameraSaved = 1;
}

int32_t TrCameraQuarter(void)
{
    int32_t deg = (int32_t)std::floor(g_camera.yaw) + 90;
    deg %= 360;
    if (deg < 0)
        deg += 360;
    return deg / 90;
}

}  // extern "C"
