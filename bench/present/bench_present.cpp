// The present the games do every frame: a 640x480 16-bit DIB (5-6-5 bit fields or 5-5-5) handed to
// SetDIBitsToDevice or StretchDIBits 1:1 into a window, against memcpy of the same 614,400 bytes.
// The run measures the headless backend first, then starts itself again on the sdl backend (on
// $DISPLAY, or on an Xvfb of its own when there is none and Xvfb is installed), where each frame is
// also pumped: composed, uploaded into the window's texture and shown. There the time column is the
// transfer plus the pump's composing and texture upload (VokPresentWork); the display's own swap is
// the `shown_us` counter (the whole frame, swap included). Compare the time columns with BM_Memcpy
// of the same part.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "vokplat/window.h"
#include "win32/windows.h"

extern char** environ;

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = size_t{kW} * kH * 2;

void finish(benchmark::State& state) { state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes)); }

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> a(kBytes, 1), b(kBytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kBytes);
        benchmark::ClobberMemory();
    }
    finish(state);
}

// A plain 5-6-5 -> 0x00RRGGBB loop over the same pixels: what any converter must at least do.
void BM_Convert565Loop(benchmark::State& state) {
    std::vector<uint16_t> a(size_t{kW} * kH, 0x1234);
    std::vector<uint32_t> b(a.size());
    for (auto _ : state) {
        for (size_t i = 0; i < a.size(); ++i) {
            uint32_t v = a[i];
            b[i] = (v >> 11) << 19 | ((v >> 5) & 63) << 10 | (v & 31) << 3;
        }
        benchmark::ClobberMemory();
    }
    finish(state);
}

struct Frame {
    std::vector<uint8_t> info;
    std::vector<uint16_t> bits;
    const BITMAPINFO* bmi() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

// A bottom-up picture of random colours, 5-6-5 as bit fields or 5-5-5 as BI_RGB.
Frame frame(bool is565) {
    Frame f;
    f.info.assign(sizeof(BITMAPINFOHEADER) + 12, 0);
    BITMAPINFOHEADER hd{sizeof(BITMAPINFOHEADER), kW, kH, 1, 16, DWORD(is565 ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 0, 0};
    std::memcpy(f.info.data(), &hd, sizeof hd);
    if (is565) {
        uint32_t m[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(f.info.data() + sizeof hd, m, sizeof m);
    }
    std::mt19937 rng(7);
    f.bits.resize(size_t{kW} * kH);
    for (uint16_t& p : f.bits) p = uint16_t(rng());
    return f;
}

HWND window() {
    static HWND w = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "bench_present";
        RegisterClassA(&wc);
        HWND h = CreateWindowExA(0, "bench_present", "bench_present", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr,
                                 nullptr, nullptr, nullptr);
        VokPump();
        return h;
    }();
    return w;
}

bool g_pump = false;  // the sdl run: every frame is also shown

void present(benchmark::State& state, bool is565, bool stretch) {
    Frame f = frame(is565);
    HWND h = window();
    HDC dc = GetDC(h);
    using Clock = std::chrono::steady_clock;
    double shown = 0, pumped = 0;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        if (stretch)
            StretchDIBits(dc, 0, 0, kW, kH, 0, 0, kW, kH, f.bits.data(), f.bmi(), DIB_RGB_COLORS, SRCCOPY);
        else
            SetDIBitsToDevice(dc, 0, 0, kW, kH, 0, 0, 0, kH, f.bits.data(), f.bmi(), DIB_RGB_COLORS);
        Clock::time_point t1 = Clock::now();
        if (g_pump) {
            unsigned long long before = 0, after = 0;
            VokPresentWork(nullptr, &before);
            VokPump();
            VokPresentWork(nullptr, &after);
            shown += std::chrono::duration<double>(Clock::now() - t0).count();
            pumped += double(after - before) * 1e-9;
            state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count() + double(after - before) * 1e-9);
        }
        benchmark::ClobberMemory();
    }
    ReleaseDC(h, dc);
    if (g_pump) {
        state.counters["pump_us"] = benchmark::Counter(pumped * 1e6 / double(state.iterations()));
        state.counters["shown_us"] = benchmark::Counter(shown * 1e6 / double(state.iterations()));
    }
    finish(state);
}

void BM_SetDIBitsToDevice565(benchmark::State& s) { present(s, true, false); }
void BM_SetDIBitsToDevice555(benchmark::State& s) { present(s, false, false); }
void BM_StretchDIBits565(benchmark::State& s) { present(s, true, true); }
void BM_StretchDIBits555(benchmark::State& s) { present(s, false, true); }

// SDL's own upload of the same frame (32-bit, 1,228,800 bytes) into a streaming texture of the
// renderer it picks here: the floor under the sdl backend's present on this display.
void BM_SdlUpdateTexture(benchmark::State& state) {
    SDL_Window* w = SDL_CreateWindow("upload", 0, 0, kW, kH, SDL_WINDOW_HIDDEN);
    SDL_Renderer* r = w ? SDL_CreateRenderer(w, -1, 0) : nullptr;
    SDL_Texture* t = r ? SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kW, kH) : nullptr;
    if (!t) {
        state.SkipWithError("no SDL texture");
    } else {
        std::vector<uint32_t> px(size_t{kW} * kH, 0x123456);
        for (auto _ : state) {
            SDL_UpdateTexture(t, nullptr, px.data(), kW * 4);
            benchmark::ClobberMemory();
        }
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(r, &info) == 0) state.SetLabel(info.name);
    }
    if (t) SDL_DestroyTexture(t);
    if (r) SDL_DestroyRenderer(r);
    if (w) SDL_DestroyWindow(w);
    finish(state);
}

void register_all(const char* part) {
    auto name = [&](const char* n) { return std::string(n) + "/" + part; };
    benchmark::RegisterBenchmark(name("BM_Memcpy").c_str(), BM_Memcpy);
    if (!g_pump) benchmark::RegisterBenchmark(name("BM_Convert565Loop").c_str(), BM_Convert565Loop);
    using Fn = void (*)(benchmark::State&);
    const std::pair<const char*, Fn> all[] = {{"BM_SetDIBitsToDevice565", BM_SetDIBitsToDevice565},
                                              {"BM_SetDIBitsToDevice555", BM_SetDIBitsToDevice555},
                                              {"BM_StretchDIBits565", BM_StretchDIBits565},
                                              {"BM_StretchDIBits555", BM_StretchDIBits555}};
    for (auto [n, fn] : all) {
        auto* b = benchmark::RegisterBenchmark(name(n).c_str(), fn);
        if (g_pump) b->UseManualTime();
    }
    if (g_pump) benchmark::RegisterBenchmark(name("BM_SdlUpdateTexture").c_str(), BM_SdlUpdateTexture);
}

pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Starts an Xvfb of our own on a free display; its pid, or -1.
pid_t start_xvfb(std::string& display) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten",
                       "tcp"});
    close(fds[1]);
    char buf[32] = {};
    ssize_t n = pid > 0 ? read(fds[0], buf, sizeof buf - 1) : -1;
    close(fds[0]);
    if (n <= 0) {
        if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
        return -1;
    }
    display = ":" + std::to_string(std::atoi(buf));
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    bool sdl = argc > 1 && std::strcmp(argv[1], "--sdl") == 0;
    std::vector<char*> rest{argv[0]};
    for (int i = sdl ? 2 : 1; i < argc; ++i) rest.push_back(argv[i]);
    int n = int(rest.size());
    g_pump = sdl;
    setenv("VOK_BACKEND", sdl ? "sdl" : "headless", 1);
    benchmark::Initialize(&n, rest.data());
    register_all(sdl ? "sdl" : "headless");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (sdl) return 0;

    // The same frames through the sdl backend, in a process of their own (one backend per process).
    std::fflush(stdout);
    pid_t xvfb = -1;
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) {
        std::string display;
        xvfb = start_xvfb(display);
        if (xvfb < 0) {
            std::printf("sdl part skipped: no DISPLAY and no Xvfb\n");
            return 0;
        }
        setenv("DISPLAY", display.c_str(), 1);
    }
    setenv("SDL_RENDER_VSYNC", "0", 1);  // frames as fast as they come, not at the screen's rate
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<std::string> args{"/proc/self/exe", "--sdl"};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    pid_t child = spawn(args);
    int status = 1;
    if (child > 0) waitpid(child, &status, 0);
    if (xvfb > 0) kill(xvfb, SIGTERM), waitpid(xvfb, nullptr, 0);
    return child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
