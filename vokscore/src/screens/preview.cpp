// The live preview of the results screens: the game's producer thread draws into screenPix and
// hands each picture over through imgFlags and the two events; the scene loop takes it into the
// backdrop session on the main thread, and the end of the page stops the producer.
#include "preview.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokpath.h"
#include "win32/process.h"
#include "win32/windows.h"

namespace vok {

namespace {

constexpr uint32_t kFrameStepMs = 50;
constexpr uint32_t kStopWaitMs = 1000;
// Session flag of the button session while the first picture is awaited.
constexpr uint32_t kSessionHeld = 0x100;
constexpr int kButtonSave = 22, kButtonReplay = 9;
constexpr int kDunmar = 4;
// Entries 0..5 show the full frame picture, later ones the small one.
constexpr int kLastFullFrameEntry = 5;

struct Game {
    const char *pack, *frame, *frameIkon, *smallFrame;
};
const Game kGames[] = {{"winvn", "vnsav", "vnsav1", "vnsav0"},
                       {"winmk", "mksav", "mksav1", "mksav0"},
                       {"winfw", "trsav", "trsav1", "trsav0"},
                       {"winkp", "kpsav", "kpsav1", "kpsav0"},
                       {"windm", "dmsav", "dmsav1", "dmsav0"}};

// One preview page at a time; cleared at its end. The producer handle of a thread that missed its
// stop outlives the page until it is joined.
struct Preview {
    VokSession *backdrop = nullptr; // the session the pictures go into
    VokSession *buttons = nullptr;
    bool producer = false;
    bool waitingFirst = false;
    bool fullRedraw = false;
    bool framesStarted = false;
    int frameCounter = 0;
    uint32_t frameTimer = 0;
    HANDLE thread = nullptr;        // joinable handle of the producer of this page
    HANDLE abandoned = nullptr;     // a producer that did not acknowledge its stop
};

Preview &preview()
{
    static Preview p;
    return p;
}

unsigned producer_main(void *arg)
{
    VokImgThreadProc proc;
    memcpy(&proc, &arg, sizeof proc);
    proc(nullptr);
    return 0;
}

void join(HANDLE &h)
{
    if (!h)
        return;
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    h = nullptr;
}

int entry_of(VokScene *scene)
{
    VokScene *desc = scene->source ? scene->source : scene;
    for (int i = 0; i < VOK_INTERFACE_SCREENS; i++) {
        VokScene *d = interface_screen(i);
        if (d == desc)
            return i;
    }
    return -1;
}

int game_of(uint32_t gameId)
{
    int n = int(gameId & 0xFF);
    return n >= 0 && n < VOK_GAME_COUNT ? n : 0;
}

// The whole of screenPix into the backdrop session's background and picture.
void take_picture(VokSession *b, br_pixelmap *src)
{
    for (br_pixelmap *d : {b->backgroundPix, b->pix})
        if (d)
            CopyRectangle(d, 0, 0, src, 0, 0, std::min<int>(src->width, d->width),
                          std::min<int>(src->height, d->height));
}

void redraw_rect(VokSession *b, VokImgRect r, br_pixelmap *src)
{
    if (r.width == 0)
        r.x = 0, r.width = src->width;
    if (r.height == 0)
        r.y = 0, r.height = src->height;
    VokRect sr{b->place.x + r.x, b->place.y + r.y, r.width, r.height};
    if (VokScene *scene = engine().running)
        VokAddSceneDirtyRect(scene, &sr);
}

void drain(HANDLE ev)
{
    while (ev && WaitForSingleObject(ev, 0) == WAIT_OBJECT_0) {
    }
}

}  // namespace

void preview_join()
{
    Preview &p = preview();
    // A producer whose page never reached its end is still drawing: it is told to stop first.
    if (p.thread) {
        VokImgFlagsSet(&iface(), VOK_IMG_STOP);
        join(p.thread);
        p.producer = false;
    }
    join(p.abandoned);
}

void preview_full_redraw()
{
    preview().fullRedraw = true;
}

bool preview_waiting_first()
{
    return preview().waitingFirst;
}

}  // namespace vok

using namespace vok;

VOK_EXPORT int VokPreviewInit(VokSession *session)
{
    VokInterFace &f = iface();
    Preview &p = preview();
    // A producer left from an earlier page is joined before the next one starts.
    preview_join();
    VokImgFlagsClear(&f, VOK_IMG_STOP | VOK_IMG_MOUSE | VOK_IMG_WANTED);
    p.fullRedraw = p.framesStarted = false;
    runner().choiceMade = false;
    p.frameCounter = 0;
    p.backdrop = session;
    p.buttons = nullptr;
    p.waitingFirst = false;
    const Game &g = kGames[game_of(f.gameId)];
    VokScene *scene = engine().running;
    if (scene) {
        // The game's pack replaces the scene's own data pack, which is closed first.
        if (scene->dataPackHandle) {
            if (FFGetCurrentPack() == scene->dataPackHandle)
                FFSetCurrentPack(nullptr);
            FFClosePack(scene->dataPackHandle);
        }
        scene->dataPackHandle = FFOpenPack(VokMakeDataPath(g.pack), 0);
        if (scene->dataPackHandle)
            FFSetCurrentPack(scene->dataPackHandle);
        if (scene->sessionCount > 2) {
            VokSession &third = scene->sessions[2];
            bool full = entry_of(scene) >= 0 && entry_of(scene) <= kLastFullFrameEntry;
            third.background = full ? g.frame : g.smallFrame;
            if (full && third.ikonCount > 0)
                third.ikons[0].picture = g.frameIkon;
        }
    }
    p.producer = false;
    if (f.imgThreadProc) {
        void *arg;
        VokImgThreadProc proc = f.imgThreadProc;
        memcpy(&arg, &proc, sizeof arg);
        uintptr_t h = _beginthreadex(nullptr, 0, producer_main, arg, 0, nullptr);
        if (h) {
            p.thread = reinterpret_cast<HANDLE>(h);
            p.producer = true;
        }
    }
    if (!p.producer)
        VokImgFlagsSet(&f, VOK_IMG_WANTED);
    return 1;
}

VOK_EXPORT int VokPreviewSessionInit(VokSession *session)
{
    VokInterFace &f = iface();
    Preview &p = preview();
    p.buttons = session;
    if (p.producer && p.backdrop && (p.backdrop->state & VOK_SST_BUILT)) {
        HideSession(p.backdrop);
        p.waitingFirst = true;
        session->flags |= kSessionHeld;
    } else {
        session->flags &= ~kSessionHeld;
    }
    if (!AddProcToSession(session, nullptr, VokPreviewFrame, nullptr, VokPreviewEnd))
        return 0;
    if (!(f.replayProc && (VokImgFlags(&f) & VOK_IMG_REPLAY)))
        HideIkon(session, FindIkon(session, kButtonSave));
    if ((f.gameId & 0xFF) == uint32_t(kDunmar))
        HideIkon(session, FindIkon(session, kButtonReplay));
    return 1;
}

VOK_EXPORT int VokPreviewFrame(VokSessionProc *)
{
    VokInterFace &f = iface();
    Preview &p = preview();
    VokSession *b = p.backdrop;
    if (VokImgFlags(&f) & VOK_IMG_MOUSE)
        VokImgFlagsSet(&f, VOK_IMG_WANTED);
    if (f.imgFrameList) {
        uint32_t now = timeGetTime();
        if (!p.framesStarted) {
            p.framesStarted = true;
            VokImgFlagsSet(&f, VOK_IMG_FRAMES);
            p.frameCounter = 0;
            p.frameTimer = now;
        }
        if (p.frameCounter < f.imgFrameCount) {
            if (now - p.frameTimer > kFrameStepMs) {
                br_pixelmap *frame = f.imgFrameList[p.frameCounter];
                if (frame && b) {
                    take_picture(b, frame);
                    if (VokScene *scene = engine().running)
                        VokAddSceneDirtyRect(scene, &b->place);
                }
                p.frameTimer = now;
                p.frameCounter++;
            }
        }
        if (p.frameCounter >= f.imgFrameCount) {
            drain(f.imgReadyEvent);
            f.imgFrameList = nullptr;
            p.framesStarted = false;
            VokImgFlagsClear(&f, VOK_IMG_READY | VOK_IMG_FRAMES);
            PulseEvent(f.imgDoneEvent);
        }
        return 0;
    }
    bool ready = (f.imgReadyEvent && WaitForSingleObject(f.imgReadyEvent, 0) == WAIT_OBJECT_0) ||
                 (VokImgFlags(&f) & VOK_IMG_READY);
    if (!ready)
        return 0;
    if (!f.screenPix) {
        VokImgFlagsClear(&f, VOK_IMG_READY);
        return 0;
    }
    VokImgRect rect{};
    if (b)
        take_picture(b, f.screenPix);
    rect = f.imgRect;
    VokImgFlagsClear(&f, VOK_IMG_READY);
    PulseEvent(f.imgDoneEvent);
    if (!b)
        return 0;
    if (p.waitingFirst) {
        p.waitingFirst = false;
        ShowSession(b);
        b->state |= VOK_SST_FULL;
        if (p.buttons)
            p.buttons->flags &= ~kSessionHeld;
    } else if (!runner().choiceMade) {
        if (p.fullRedraw) {
            rect.width = rect.height = 0;
            p.fullRedraw = false;
        }
        redraw_rect(b, rect, f.screenPix);
    }
    return 0;
}

VOK_EXPORT void VokPreviewEnd(VokSessionProc *)
{
    VokInterFace &f = iface();
    Preview &p = preview();
    VokImgFlagsStore(&f, VOK_IMG_STOP);
    if (f.imgEndProc)
        f.imgEndProc();
    if (p.thread) {
        uint32_t start = timeGetTime();
        while ((VokImgFlags(&f) & VOK_IMG_STOP) && timeGetTime() - start <= kStopWaitMs)
            Sleep(1);
        if (VokImgFlags(&f) & VOK_IMG_STOP) {
            // Not stopped in time: the page goes on; the thread is joined before the next producer
            // starts or when the interface closes.
            OutputDebugStringA("VokScore: the preview producer did not stop within 1000 ms\n");
            join(p.abandoned);
            p.abandoned = p.thread;
            p.thread = nullptr;
        } else {
            join(p.thread);
        }
    }
    f.imgThreadProc = nullptr;
    f.imgEndProc = nullptr;
    f.replayProc = nullptr;
    f.imgFrameList = nullptr;
    f.imgRect = VokImgRect{};
    p.backdrop = p.buttons = nullptr;
    p.producer = p.waitingFirst = p.framesStarted = false;
}

namespace {

struct Register {
    Register()
    {
        add_routine("VokPreviewInit", kRoutineSession, reinterpret_cast<void *>(VokPreviewInit));
        add_routine("VokPreviewSessionInit", kRoutineSession, reinterpret_cast<void *>(VokPreviewSessionInit));
    }
} g_register;

}  // namespace
