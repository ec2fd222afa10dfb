/* The physics tuning values, their file "Final.phy" and the constants derived from them. */
#ifndef TERROW_PHYS_PHPARAMS_H
#define TERROW_PHYS_PHPARAMS_H

#include <stdint.h>
#include <stdio.h>

#include "terrow/phys/phmath.h"

/* Physics kind codes of the material table. */
enum { TY_FAL = 4, TY_TALAJ = 5, PHY_KINDS = 6 };

struct PhyMaterial {
    float mass;
    float rollFriction;
    float staticFriction;
    float restitution;
};

/* In the order of the file. */
struct PhyParamSet {
    float launchSpeed;      // 1
    float gravity;          // 2
    float classifyReach;    // 3
    float magnetGain;       // 4
    float classifyMargin;   // 5
    uint32_t unused6;       // 6, overwritten by the derivation
    float cellDiagonal;     // 7, overwritten by the derivation
    int32_t bounceMode;     // 8
    int32_t grazingAngle;   // 9
    int32_t slopeAngle;     // 10
    int32_t spareAngle11;   // 11
    PhyMaterial material[PHY_KINDS];  // 12-29 (mass, rolling, restitution), 38-43 (static)
    float epsilon;          // 30
    int32_t unused31;       // 31
    int32_t spareAngle32;   // 32
    uint32_t unused33;      // 33
    float bombImpactSpeed;  // 34
    float frictionVertical; // 35
    uint32_t unused36;      // 36
    float staticSpeed;      // 37
    float damping;          // 44
    float slowBounceSpeed;  // 45
    float slowBounceFactor; // 46
};

enum { PHY_FILE_VALUES = 46, PHY_FILE_SIZE = 184 };

extern PhyParamSet PhyParams;

/* The built-in defaults. */
const PhyParamSet &Phy_Defaults();

/* Derived constants: valid after Phy_Derive, except PhyDown which is valid from the start. */
struct PhyDerivedSet {
    FV3 gravity;
    FV3 smallOffset;
    FV3 slopeDir[4];
    FV3 zero;
    M33 matrices[3];
    float sinGrazing, sinSlope, sin11, sin32;
    float halfRoot2;  // kept where file value 6 was
    float ballRadius;
    float slopeAngleDeg, radiusOffsetTan, radiusOffsetSin;
};
extern PhyDerivedSet PhyDerived;
extern FV3 PhyDown;

/* Reads up to 46 four-byte values into PhyParams; stops at the first short one. Always 0. */
int Phy_Read(FILE *f);
/* The 184 bytes of `p` in file order, little-endian. */
void Phy_Encode(const PhyParamSet &p, unsigned char out[PHY_FILE_SIZE]);
void Phy_Derive();
/* Opens "Final.phy" in the current folder; a missing file (or a folder of that name) warns and keeps
 * the values. */
void Phy_FLoad();
/* Called after a successful load; empty unless set. */
void Phy_SetRefreshHook(void (*hook)());

#endif
