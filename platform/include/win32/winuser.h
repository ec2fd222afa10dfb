/* Windows, classes, message queues, timers, input state and cursors of the Win32 subset. */
#ifndef WIN32_WINUSER_H
#define WIN32_WINUSER_H

#include "win32/wintypes.h"

WIN32_BEGIN

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK *TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA, *LPWNDCLASSA, WNDCLASS;

typedef struct tagWNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA, *LPWNDCLASSEXA, WNDCLASSEX;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG, *PMSG;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy, cx, y, x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA, CREATESTRUCT, *LPCREATESTRUCT;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagWINDOWPOS {
    HWND hwnd, hwndInsertAfter;
    int x, y, cx, cy;
    UINT flags;
} WINDOWPOS, *LPWINDOWPOS;

typedef struct tagMINMAXINFO {
    POINT ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
} MINMAXINFO, *LPMINMAXINFO;

/* Class styles. */
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_NOCLOSE 0x0200
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

/* Window styles. */
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_TILED WS_OVERLAPPED
#define WS_ICONIC WS_MINIMIZE
#define WS_SIZEBOX WS_THICKFRAME
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_CHILDWINDOW WS_CHILD

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_APPWINDOW 0x00040000L

#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_DESKTOP ((HWND)0)
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
#define HWND_BROADCAST ((HWND)0xffff)

/* ShowWindow commands. */
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

/* SetWindowPos flags. */
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200

/* Window longs. */
#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)
#define GCL_HCURSOR (-12)
#define GCL_HBRBACKGROUND (-10)
#define GCL_HICON (-14)
#define GCL_STYLE (-26)

/* Messages. */
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSDEADCHAR 0x0107
#define WM_KEYLAST 0x0108
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSELAST 0x0209
#define WM_CAPTURECHANGED 0x0215
#define WM_PALETTECHANGED 0x0311
#define WM_USER 0x0400
#define WM_APP 0x8000

/* WM_ACTIVATE states. */
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

/* WM_SIZE kinds. */
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

/* WM_SYSCOMMAND commands. */
#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100
#define SC_RESTORE 0xF120
#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170

/* Hit-test codes. */
#define HTERROR (-2)
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2

/* Mouse key flags. */
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

/* PeekMessage flags. */
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

/* Virtual keys. Letters and digits are their upper-case ASCII codes. */
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SELECT 0x29
#define VK_PRINT 0x2A
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_HELP 0x2F
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

/* System metrics. */
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXFIXEDFRAME 7
#define SM_CYFIXEDFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_MOUSEPRESENT 19
#define SM_CXMIN 28
#define SM_CYMIN 29
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXSIZEFRAME 32
#define SM_CYSIZEFRAME 33
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CMOUSEBUTTONS 43
#define SM_CXMAXIMIZED 61
#define SM_CYMAXIMIZED 62

/* SystemParametersInfo actions. */
#define SPI_GETWORKAREA 0x0030

/* Stock cursors and icons (resource ids of the system). */
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)

/* RedrawWindow flags. */
#define RDW_INVALIDATE 0x0001
#define RDW_INTERNALPAINT 0x0002
#define RDW_ERASE 0x0004
#define RDW_VALIDATE 0x0008
#define RDW_NOERASE 0x0020
#define RDW_ALLCHILDREN 0x0080
#define RDW_UPDATENOW 0x0100
#define RDW_ERASENOW 0x0200
#define RDW_FRAME 0x0400

/* DrawEdge. */
#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define BDR_OUTER 0x0003
#define BDR_INNER 0x000c
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_TOPLEFT (BF_TOP | BF_LEFT)
#define BF_BOTTOMRIGHT (BF_BOTTOM | BF_RIGHT)
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_MIDDLE 0x0800
#define BF_ADJUST 0x2000

/* System colours (GetSysColor, class brushes as COLOR_x + 1). */
#define COLOR_BACKGROUND 1
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22

/* Classes and windows. */
PLATFORM_API ATOM WINAPI RegisterClassA(const WNDCLASSA *wc);
PLATFORM_API ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc);
PLATFORM_API BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE inst);
PLATFORM_API BOOL WINAPI GetClassInfoA(HINSTANCE inst, LPCSTR name, WNDCLASSA *out);
PLATFORM_API int WINAPI GetClassNameA(HWND hwnd, LPSTR buf, int size);
PLATFORM_API DWORD WINAPI GetClassLongA(HWND hwnd, int index);
PLATFORM_API HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR cls, LPCSTR name, DWORD style, int x, int y,
                                         int w, int h, HWND parent, HMENU menu, HINSTANCE inst, LPVOID param);
#define CreateWindowA(cls, name, style, x, y, w, h, parent, menu, inst, param) \
    CreateWindowExA(0, cls, name, style, x, y, w, h, parent, menu, inst, param)
PLATFORM_API BOOL WINAPI DestroyWindow(HWND hwnd);
PLATFORM_API BOOL WINAPI IsWindow(HWND hwnd);
PLATFORM_API BOOL WINAPI IsWindowVisible(HWND hwnd);
PLATFORM_API BOOL WINAPI IsIconic(HWND hwnd);
PLATFORM_API BOOL WINAPI IsChild(HWND parent, HWND hwnd);
PLATFORM_API BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable);
PLATFORM_API BOOL WINAPI IsWindowEnabled(HWND hwnd);
PLATFORM_API HWND WINAPI GetParent(HWND hwnd);
PLATFORM_API HWND WINAPI GetDesktopWindow(void);
PLATFORM_API BOOL WINAPI ShowWindow(HWND hwnd, int cmd);
PLATFORM_API BOOL WINAPI UpdateWindow(HWND hwnd);
PLATFORM_API BOOL WINAPI RedrawWindow(HWND hwnd, const RECT *rect, HRGN rgn, UINT flags);
PLATFORM_API BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint);
PLATFORM_API BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int w, int h, UINT flags);
PLATFORM_API BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
PLATFORM_API BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect);
PLATFORM_API BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu);
PLATFORM_API BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);
PLATFORM_API BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT pt);
PLATFORM_API BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT pt);
PLATFORM_API int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count);
PLATFORM_API HWND WINAPI WindowFromPoint(POINT pt);
PLATFORM_API int WINAPI GetSystemMetrics(int index);
PLATFORM_API BOOL WINAPI SystemParametersInfoA(UINT action, UINT uparam, PVOID pparam, UINT winini);
PLATFORM_API DWORD WINAPI GetSysColor(int index);
PLATFORM_API HWND WINAPI FindWindowA(LPCSTR cls, LPCSTR title);
PLATFORM_API BOOL WINAPI SetForegroundWindow(HWND hwnd);
PLATFORM_API HWND WINAPI GetForegroundWindow(void);
PLATFORM_API HWND WINAPI GetActiveWindow(void);
PLATFORM_API HWND WINAPI SetActiveWindow(HWND hwnd);
PLATFORM_API HWND WINAPI SetFocus(HWND hwnd);
PLATFORM_API HWND WINAPI GetFocus(void);
PLATFORM_API BOOL WINAPI BringWindowToTop(HWND hwnd);
PLATFORM_API LONG WINAPI GetWindowLongA(HWND hwnd, int index);
PLATFORM_API LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value);
PLATFORM_API LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index);
PLATFORM_API LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
PLATFORM_API WORD WINAPI GetWindowWord(HWND hwnd, int index);
PLATFORM_API WORD WINAPI SetWindowWord(HWND hwnd, int index, WORD value);
PLATFORM_API LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API int WINAPI GetWindowTextA(HWND hwnd, LPSTR buf, int size);
PLATFORM_API int WINAPI GetWindowTextLengthA(HWND hwnd);
PLATFORM_API BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text);
PLATFORM_API BOOL WINAPI SetMenu(HWND hwnd, HMENU menu);
PLATFORM_API HMENU WINAPI GetMenu(HWND hwnd);
PLATFORM_API BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase);
PLATFORM_API BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect);
PLATFORM_API BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);
PLATFORM_API DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD pid);

/* Messages. */
PLATFORM_API BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API BOOL WINAPI PostThreadMessageA(DWORD thread, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
PLATFORM_API void WINAPI PostQuitMessage(int code);
PLATFORM_API BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove);
PLATFORM_API BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last);
PLATFORM_API BOOL WINAPI WaitMessage(void);
PLATFORM_API BOOL WINAPI TranslateMessage(const MSG *msg);
PLATFORM_API LRESULT WINAPI DispatchMessageA(const MSG *msg);
PLATFORM_API BOOL WINAPI InSendMessage(void);
PLATFORM_API DWORD WINAPI GetMessageTime(void);
PLATFORM_API UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc);
PLATFORM_API BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id);

/* Input state and cursors. */
PLATFORM_API SHORT WINAPI GetAsyncKeyState(int vk);
PLATFORM_API SHORT WINAPI GetKeyState(int vk);
PLATFORM_API BOOL WINAPI GetKeyboardState(PBYTE state);
PLATFORM_API BOOL WINAPI GetCursorPos(LPPOINT pt);
PLATFORM_API BOOL WINAPI SetCursorPos(int x, int y);
PLATFORM_API HWND WINAPI SetCapture(HWND hwnd);
PLATFORM_API BOOL WINAPI ReleaseCapture(void);
PLATFORM_API HWND WINAPI GetCapture(void);
PLATFORM_API int WINAPI ShowCursor(BOOL show);
PLATFORM_API HCURSOR WINAPI LoadCursorA(HINSTANCE inst, LPCSTR name);
PLATFORM_API HICON WINAPI LoadIconA(HINSTANCE inst, LPCSTR name);
PLATFORM_API HCURSOR WINAPI SetCursor(HCURSOR cursor);
PLATFORM_API HCURSOR WINAPI GetCursor(void);
PLATFORM_API UINT WINAPI GetDoubleClickTime(void);

/* Painting. */
PLATFORM_API HDC WINAPI GetDC(HWND hwnd);
PLATFORM_API HDC WINAPI GetWindowDC(HWND hwnd);
PLATFORM_API int WINAPI ReleaseDC(HWND hwnd, HDC dc);
PLATFORM_API HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps);
PLATFORM_API BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *ps);
PLATFORM_API int WINAPI FillRect(HDC dc, const RECT *rect, HBRUSH brush);
PLATFORM_API BOOL WINAPI DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
PLATFORM_API HBRUSH WINAPI GetSysColorBrush(int index);
PLATFORM_API BOOL WINAPI SetRect(LPRECT rect, int l, int t, int r, int b);
PLATFORM_API BOOL WINAPI SetRectEmpty(LPRECT rect);
PLATFORM_API BOOL WINAPI IsRectEmpty(const RECT *rect);
PLATFORM_API BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy);
PLATFORM_API BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy);
PLATFORM_API BOOL WINAPI IntersectRect(LPRECT out, const RECT *a, const RECT *b);
PLATFORM_API BOOL WINAPI UnionRect(LPRECT out, const RECT *a, const RECT *b);
PLATFORM_API BOOL WINAPI PtInRect(const RECT *rect, POINT pt);
PLATFORM_API BOOL WINAPI CopyRect(LPRECT out, const RECT *in);
PLATFORM_API BOOL WINAPI EqualRect(const RECT *a, const RECT *b);

#define RegisterClass RegisterClassA
#define RegisterClassEx RegisterClassExA
#define UnregisterClass UnregisterClassA
#define GetClassInfo GetClassInfoA
#define GetClassName GetClassNameA
#define GetClassLong GetClassLongA
#define CreateWindowEx CreateWindowExA
#define CreateWindow CreateWindowA
#define FindWindow FindWindowA
#define GetWindowLong GetWindowLongA
#define SetWindowLong SetWindowLongA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA
#define CallWindowProc CallWindowProcA
#define DefWindowProc DefWindowProcA
#define GetWindowText GetWindowTextA
#define GetWindowTextLength GetWindowTextLengthA
#define SetWindowText SetWindowTextA
#define PostMessage PostMessageA
#define PostThreadMessage PostThreadMessageA
#define SendMessage SendMessageA
#define SendNotifyMessage SendNotifyMessageA
#define PeekMessage PeekMessageA
#define GetMessage GetMessageA
#define DispatchMessage DispatchMessageA
#define LoadCursor LoadCursorA
#define LoadIcon LoadIconA
#define SystemParametersInfo SystemParametersInfoA

WIN32_END

#endif
