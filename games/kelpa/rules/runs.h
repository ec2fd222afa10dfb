#pragma once

// Visits the cells of the same-coloured runs a cube at (x, z) joins: the four straight runs out of
// it, then the two runs across from each neighbour that matched. `at(cx, cz)` says whether a cell
// holds the colour; `visit(cx, cz)` sees each cell of a run once per run it lies on.
template <typename At, typename Visit>
void KpVisitRuns(int x, int z, At at, Visit visit)
{
    auto walk = [&](int cx, int cz, int dx, int dz) {
        for (cx += dx, cz += dz; at(cx, cz); cx += dx, cz += dz)
            visit(cx, cz);
    };
    static const int kDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    bool matched[4];
    for (int d = 0; d < 4; d++) {
        matched[d] = at(x + kDirs[d][0], z + kDirs[d][1]);
        walk(x, z, kDirs[d][0], kDirs[d][1]);
    }
    for (int d = 0; d < 4; d++) {
        if (!matched[d])
            continue;
        const int nx = x + kDirs[d][0], nz = z + kDirs[d][1];
        if (kDirs[d][0] != 0) {
            walk(nx, nz, 0, 1);
            walk(nx, nz, 0, -1);
        } else {
            walk(nx, nz, 1, 0);
            walk(nx, nz, -1, 0);
        }
    }
}
