// Key and mouse bindings, checked while the keys are held in a scripted key state: the keys go to a
// window and the checks run when the key-down message arrives, as a game's window procedure does.
#include <vector>

#include "support.h"
#include "vokplat/window.h"
#include "win32/winuser.h"

namespace {

using vstest::Root;
using Keys = Root;

HWND key_window()
{
    static HWND h = nullptr;
    if (h == nullptr) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "vokscore_keys";
        RegisterClassA(&wc);
        h = CreateWindowExA(0, "vokscore_keys", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                            nullptr);
    }
    return h;
}

// Holds `modifiers`, presses `key`, and answers `check` at its key-down; then lets everything go.
template <class Check>
int with_keys(std::vector<int> modifiers, int key, Check check)
{
    HWND h = key_window();
    for (int m : modifiers)
        VokKey(h, m, TRUE);
    VokKey(h, key, TRUE);
    VokKey(h, key, FALSE);
    for (int m : modifiers)
        VokKey(h, m, FALSE);
    int answer = -2;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_KEYDOWN && int(msg.wParam) == key)
            answer = check(key);
        DispatchMessageA(&msg);
    }
    return answer;
}

TEST_F(Keys, GlobalAndGameBindingsAnswerWithTheirModifiers)
{
    TrSettings tr = *static_cast<TrSettings *>(vok::own_block(2));
    tr.keys[0] = VOK_KEY_CTRL | VK_F5;  // Ctrl+F5
    tr.keys[1] = VK_F5;                 // never reached: the first binding of a key decides
    tr.keys[2] = VK_F6;
    tr.keys[3] = VOK_KEY_SHIFT | 'Q';
    face->gameId = VOK_GAME_TERROW;
    face->generalSettings->gameBlocks[2] = &tr;
    face->generalSettings->globalKeys[3] = VOK_KEY_CTRL | VK_F1;

    const int CTRL = VK_CONTROL, SHIFT = VK_SHIFT;
    struct Case {
        std::vector<int> held;
        int key;
        int global;
        int game;
    } cases[] = {
        {{}, VK_RETURN, 0x100, 0x100},
        {{CTRL, SHIFT}, VK_ESCAPE, 0x104, 0x104},  // extra modifiers do not matter
        {{}, VK_RIGHT, 0x10A, 0x10A},
        {{CTRL}, VK_RIGHT, 0x10A, 0x10A},          // the global Right comes first
        {{}, VK_F1, -1, -1},                       // global Ctrl+F1 wants Ctrl
        {{CTRL}, VK_F1, 0x103, 0x103},
        {{}, VK_F5, -1, -1},                       // Ctrl+F5 does not answer F5 alone
        {{CTRL}, VK_F5, -1, 0},
        {{CTRL}, VK_F6, -1, 2},                    // F6 answers Ctrl+F6 too
        {{}, 'Q', -1, -1},
        {{SHIFT}, 'Q', -1, 3},
        {{}, 'Z', -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(with_keys(c.held, c.key, VokCheckGlobalKeydown), c.global);
        EXPECT_EQ(with_keys(c.held, c.key, VokCheckGameKeydown), c.game);
    }
    // Kelpa's three bindings; games without bindings answer only the global keys.
    face->gameId = VOK_GAME_KELPA;
    EXPECT_EQ(with_keys({}, VK_SPACE, VokCheckGameKeydown), 2);
    face->gameId = VOK_GAME_MOSSIK;
    EXPECT_EQ(with_keys({}, VK_SPACE, VokCheckGameKeydown), -1);
    EXPECT_EQ(with_keys({}, VK_HOME, VokCheckGameKeydown), 0x101);
}

TEST_F(Keys, MouseBindingsNeedAModifier)
{
    KpSettings kp = *static_cast<KpSettings *>(vok::own_block(3));
    kp.keys[0] = 1;                     // left button alone: never answers
    kp.keys[1] = VOK_KEY_CTRL | 1;      // Ctrl+left
    kp.keys[2] = VOK_KEY_SHIFT | 2;     // Shift+right
    face->gameId = VOK_GAME_KELPA;
    face->generalSettings->gameBlocks[3] = &kp;
    struct Case {
        UINT message;
        WPARAM flags;
        int answer;
    } cases[] = {
        {WM_LBUTTONDOWN, 0, -1},
        {WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 1},
        {WM_LBUTTONDOWN, MK_SHIFT, -1},
        {WM_RBUTTONDOWN, MK_SHIFT | MK_CONTROL, 2},
        {WM_MBUTTONDOWN, MK_CONTROL, -1},
        {WM_LBUTTONUP, MK_CONTROL, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VokCheckGameMouseclick(c.message, c.flags), c.answer) << c.message << " " << c.flags;
    face->gameId = VOK_GAME_VARNEL;
    EXPECT_EQ(VokCheckGameMouseclick(WM_LBUTTONDOWN, MK_CONTROL), -1);
}

}  // namespace
