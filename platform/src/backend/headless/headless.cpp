// The headless backend: windows exist only in memory, nothing is shown and no input arrives except
// what the input script and the test helpers inject. Message boxes are not asked here.
#include "backend/backend.h"

namespace plat {
namespace {

class Headless final : public Backend {
public:
    const char* name() const override { return "headless"; }
    void screen_size(int& w, int& h) override {
        w = 1024;
        h = 768;
    }
    int screen_bits() override { return 32; }
    void* create(const TopWindow& w) override { return new TopWindow(w); }
    void update(void* s, const TopWindow& w) override { *static_cast<TopWindow*>(s) = w; }
    void destroy(void* s) override { delete static_cast<TopWindow*>(s); }
    void present(void*, const uint32_t*, int, int, int) override {}
    void poll(std::vector<InputEvent>&) override {}
};

}  // namespace

std::unique_ptr<Backend> make_headless_backend() { return std::make_unique<Headless>(); }

}  // namespace plat
