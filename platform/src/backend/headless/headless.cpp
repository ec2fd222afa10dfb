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
    // Nothing to keep per window: every surface is this backend itself.
    void* create(const TopWindow&) override { return this; }
    void update(void*, const TopWindow&) override {}
    void destroy(void*) override {}
    void present(void*, std::vector<uint32_t>&, int, int) override {}
    void poll(std::vector<InputEvent>&) override {}
};

}  // namespace

std::unique_ptr<Backend> make_headless_backend() { return std::make_unique<Headless>(); }

}  // namespace plat
