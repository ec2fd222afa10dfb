// The physics' boxes go through a replaceable reporter so runs without a screen and tests can answer
// them; the debug text buffer grows before every write that would not fit with its terminator.
#include "terrow/phys/phmsg.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "win32/winmisc.h"
#include "win32/winuser.h"

namespace {

HWND g_main_window;

int platform_box(const char *text, const char *caption, unsigned type)
{
    return MessageBoxA(nullptr, text, caption, type);
}

void platform_end(int code)
{
    if (g_main_window != nullptr)
        SendMessageA(g_main_window, WM_CLOSE, 0, 0);
    exit(code);
}

const PhReporter k_platform = {platform_box, platform_end};
PhReporter g_reporter = k_platform;

}  // namespace

PhReporter Phys_SetReporter(const PhReporter *r)
{
    PhReporter old = g_reporter;
    g_reporter = r != nullptr ? *r : k_platform;
    return old;
}

void Phys_SetMainWindow(HWND window) { g_main_window = window; }

void Phys_Warning(const char *text)
{
    MessageBeep(MB_ICONEXCLAMATION);
    if (g_reporter.box(text, "WARNING", MB_OKCANCEL | MB_TASKMODAL) == IDCANCEL) {
        g_reporter.end(10);
        return;
    }
    MessageBeep(0);
}

void Phys_Error(const char *text)
{
    g_reporter.box(text, "ERROR", MB_OK | MB_TASKMODAL);
    g_reporter.end(10);
}

PhText::PhText() : capacity(0), free(0), base(nullptr), cursor(nullptr)
{
    base = static_cast<char *>(malloc(100));
    if (base == nullptr)
        return;
    capacity = free = 100;
    cursor = base;
    *cursor = 0;
}

PhText::~PhText()
{
    ::free(base);
    capacity = free = 0;
    base = cursor = nullptr;
}

void PhText::Grow(int32_t n)
{
    if (base == nullptr || n <= 0)
        return;
    ptrdiff_t used = cursor - base;
    char *p = static_cast<char *>(realloc(base, static_cast<size_t>(capacity) + n));
    if (p == nullptr) {
        ::free(base);
        capacity = free = 0;
        base = cursor = nullptr;
        return;
    }
    base = p;
    cursor = p + used;
    capacity += n;
    free += n;
}

PhText &PhText::operator<<(char c)
{
    if (base == nullptr)
        return *this;
    if (c == '\f') {
        cursor = base;
        free = capacity;
        *cursor = 0;
        return *this;
    }
    if (free < 2)  // the character and the terminator
        Grow(10);
    if (base == nullptr)
        return *this;
    *cursor++ = c;
    *cursor = 0;
    free--;
    return *this;
}

PhText &PhText::operator<<(const char *s)
{
    if (base == nullptr || s == nullptr)
        return *this;
    if (*s == '\f') {
        *this << '\f';
        s++;
    }
    int32_t len = static_cast<int32_t>(strlen(s));
    if (free < len + 1)
        Grow(len - free + 10);
    if (base == nullptr)
        return *this;
    memcpy(cursor, s, static_cast<size_t>(len) + 1);
    cursor += len;
    free -= len;
    return *this;
}

PhText &PhText::operator<<(int16_t v)
{
    char digits[16];
    int n = snprintf(digits, sizeof digits, "%5i ", static_cast<int>(v));
    if (base == nullptr)
        return *this;
    if (free < n + 1)
        Grow(12);
    return *this << static_cast<const char *>(digits);
}
