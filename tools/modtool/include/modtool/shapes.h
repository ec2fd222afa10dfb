// Models made in code for the game data: each face given explicitly, in a fixed order, with its own
// vertices, texture coordinates in 0 .. uv_max and its smoothing groups.
#pragma once

#include <string>

#include <brondel/brmodel.h>

namespace modtool {

struct ShapeOptions {
    std::string name;          // identifier; empty: the shape's name
    br_vector3 size = {{1.0f, 1.0f, 1.0f}}; // extents along x, y, z
    bool smooth = false;       // one smoothing group for the whole model, else one per side
    br_scalar uv_max = 0.99f;  // texture coordinates stay below 1 so a repeating map never wraps
    int segments = 16;         // sphere: around; plate: cells per side
    int rings = 8;             // sphere: from pole to pole
};

// Every shape sits on y = 0 (sphere and cube centred at the origin), x and z centred.
//   cube:   a box centred at the origin; sides in order +z, -z, +x, -x, +y, -y, two faces each.
//   plate:  a square in y = 0 facing +y, segments x segments cells, two faces each.
//   slope:  a wedge rising from height 0 at -z to size.y at +z: top, bottom, back (+z), left, right.
//   corner: a pyramid on the base square with its apex above the +x,+z corner: sides facing -z, -x
//           (the slanted pair), then the +x and +z walls, then the bottom.
//   sphere: a globe of radius size.x / 2 centred at the origin, rings x segments quads (triangles at
//           the poles), smoothed as one.
// Null for an unknown name. The model is allocated (not registered) and keeps its source data.
br_model *ShapeMake(const std::string &shape, const ShapeOptions &options);

// The names ShapeMake knows, separated by spaces.
const char *ShapeNames();

} // namespace modtool
