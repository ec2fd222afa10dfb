// Tuning values and Final.phy: 46 little-endian words, copied bit for bit with no range check.
#include "terrow/phys/phparams.h"

#include <math.h>
#include <string.h>
#include <sys/stat.h>

#include "terrow/phys/phmsg.h"

namespace {

constexpr PhyParamSet k_defaults = {
    1.5f, 4.5f, 0.75f, 1.5f, 0.05f, 0, 0.0f, 0, 35, 50, 10,
    {{3.0f, 0.03f, 0.1f, 0.6f},
     {1.0f, 0.03f, 0.1f, 0.999f},
     {1.0f, 0.03f, 0.1f, 0.999f},
     {1.0f, 0.03f, 0.1f, 0.999f},
     {0.0f, 0.001f, 0.001f, 1.0f},
     {0.0f, 0.001f, 0.001f, 0.5f}},
    1e-6f, 1, 30, 0, 0.25f, 0.15f, 0, 0.04f, 0.998f, 0.25f, 0.01f};

void (*g_refresh)();

// The words of `p` in file order.
template <typename P, typename F>
void each_word(P &p, F &&f)
{
    f(&p.launchSpeed);
    f(&p.gravity);
    f(&p.classifyReach);
    f(&p.magnetGain);
    f(&p.classifyMargin);
    f(&p.unused6);
    f(&p.cellDiagonal);
    f(&p.bounceMode);
    f(&p.grazingAngle);
    f(&p.slopeAngle);
    f(&p.spareAngle11);
    for (auto &m : p.material) {
        f(&m.mass);
        f(&m.rollFriction);
        f(&m.restitution);
    }
    f(&p.epsilon);
    f(&p.unused31);
    f(&p.spareAngle32);
    f(&p.unused33);
    f(&p.bombImpactSpeed);
    f(&p.frictionVertical);
    f(&p.unused36);
    f(&p.staticSpeed);
    for (auto &m : p.material)
        f(&m.staticFriction);
    f(&p.damping);
    f(&p.slowBounceSpeed);
    f(&p.slowBounceFactor);
}

// The angle is whole degrees; the subtraction is done wide so a wild file value cannot overflow it.
float sine_of_degrees(int32_t angle)
{
    return static_cast<float>(cos(static_cast<double>(90 - static_cast<int64_t>(angle)) * 0.017453292519943295));
}

}  // namespace

PhyParamSet PhyParams = k_defaults;
PhyDerivedSet PhyDerived;
FV3 PhyDown(0, -1, 0);

const PhyParamSet &Phy_Defaults() { return k_defaults; }

void Phy_SetRefreshHook(void (*hook)()) { g_refresh = hook; }

int Phy_Read(FILE *f)
{
    bool stopped = false;
    each_word(PhyParams, [&](auto *field) {
        static_assert(sizeof *field == 4, "file words are 4 bytes");
        unsigned char b[4];
        if (stopped || fread(b, 1, 4, f) != 4) {
            stopped = true;
            return;
        }
        uint32_t w = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
        memcpy(field, &w, 4);
    });
    return 0;
}

void Phy_Encode(const PhyParamSet &p, unsigned char out[PHY_FILE_SIZE])
{
    int at = 0;
    each_word(p, [&](const auto *field) {
        uint32_t w;
        memcpy(&w, field, 4);
        for (int i = 0; i < 4; i++)
            out[at++] = static_cast<unsigned char>(w >> (8 * i));
    });
}

void Phy_Derive()
{
    PhyDerivedSet &d = PhyDerived;
    PhyParams.cellDiagonal = static_cast<float>(sqrt(2.3025));
    d.halfRoot2 = static_cast<float>(sqrt(2.0) * 0.5);
    d.smallOffset << 0.1f << 0.1f << 0.1f;
    d.gravity << 0.0f << -PhyParams.gravity << 0.0f;
    d.sinGrazing = sine_of_degrees(PhyParams.grazingAngle);
    d.sinSlope = sine_of_degrees(PhyParams.slopeAngle);
    d.sin32 = sine_of_degrees(PhyParams.spareAngle32);
    d.sin11 = sine_of_degrees(PhyParams.spareAngle11);
    static const float dirs[4][3] = {{0, -1, -0.55f}, {-0.55f, -1, 0}, {0, -1, 0.55f}, {0.55f, -1, 0}};
    for (int k = 0; k < 4; k++) {
        d.slopeDir[k] << dirs[k][0] << dirs[k][1] << dirs[k][2];
        d.slopeDir[k].Normalise();
    }
    d.ballRadius = 0.35f;
    double angle = atan2(0.55, 1.0);
    d.slopeAngleDeg = static_cast<float>(angle * 180.0 / M_PI);
    d.radiusOffsetTan = static_cast<float>(0.35 * tan(angle / 2));
    d.radiusOffsetSin = static_cast<float>(0.35 * sin(angle));
    d.zero.Zero();
    static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    d.matrices[0] = M33();
    d.matrices[1] = M33(identity);
    d.matrices[2] = M33(identity);
}

void Phy_FLoad()
{
    FILE *f = fopen("Final.phy", "rb");
    struct stat st;
    if (f != nullptr && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
        fclose(f);  // a folder opens here but holds no values: as unopenable as a missing file
        f = nullptr;
    }
    if (f == nullptr) {
        Phys_Warning(PHMSG_OPEN_FAILED);
        return;
    }
    Phy_Read(f);
    Phy_Derive();
    if (g_refresh != nullptr)
        g_refresh();
    fclose(f);
}
