#include "scene3d.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

namespace datagen::art {
namespace {

const float kCorner[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                             {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
const br_uint_16 kFace[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                 {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

br_angle degrees(float d) { return br_angle(br_int_32(d * 65536.0f / 360.0f)); }

// Four corners a side so each side is shaded flat with its own normal.
br_model* cube_model() {
  br_model* m = BrModelAllocate("artcube", 24, 12);
  if (m == nullptr) return nullptr;
  for (int s = 0; s < 6; s++) {
    const br_uint_16 *f0 = kFace[2 * s], *f1 = kFace[2 * s + 1];
    const br_uint_16 corner[4] = {f0[0], f0[1], f0[2], f1[2]};
    for (int k = 0; k < 4; k++) {
      const float* p = kCorner[corner[k]];
      BrVector3Set(&m->vertices[4 * s + k].p, p[0], p[1], p[2]);
    }
    const br_uint_16 faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int f = 0; f < 2; f++) {
      for (int c = 0; c < 3; c++) m->faces[2 * s + f].vertices[c] = br_uint_16(4 * s + faces[f][c]);
      m->faces[2 * s + f].smoothing = br_uint_16(1u << s);
    }
  }
  m->flags = BR_MODF_UPDATEABLE;
  return BrModelAdd(m);
}

}  // namespace

bool render_scene(const Scene3& scene, int w, int h, Canvas& colour, Mask& cover) {
  colour = Canvas(w, h);
  cover = Mask{0, 0, w, h, std::vector<float>(size_t(w) * size_t(h), 0.0f)};
  if (w <= 0 || h <= 0) return false;
  static std::mutex one_at_a_time;
  std::lock_guard<std::mutex> hold(one_at_a_time);
  // A library the caller has begun is not ours to use or to end: say so rather than leave the
  // cubes out of the picture.
  if (BrCoreBegin() != BRE_OK)
    throw std::runtime_error("picture recipes: the 3D library is already running in this process");
  if (BrV1dbBegin() != BRE_OK) {
    BrCoreEnd();
    throw std::runtime_error("picture recipes: the 3D library's scene database is already running");
  }
  // Twice the size where the library's 16-bit row length allows it, else one sample a pixel.
  const int k = w <= 4000 ? 2 : 1;
  const int W = k * w, H = k * h;
  br_pixelmap* target = BrPixelmapAllocate(BR_PMT_RGBX_888, W, H, nullptr, 0);
  br_pixelmap* depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, W, H, nullptr, 0);
  BrZbBegin(BR_PMT_RGBX_888, BR_PMT_DEPTH_16);
  bool ok = target != nullptr && depth != nullptr && BrV1dbRendererQuery() != nullptr;
  br_actor* world = nullptr;
  if (ok) {
    target->origin_x = br_int_16(W / 2);  // W <= 8000
    target->origin_y = br_int_16(H / 2);
    world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor* camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    br_camera* cam = static_cast<br_camera*>(camera->type_data);
    cam->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    cam->field_of_view = degrees(scene.fov);
    cam->hither_z = 0.3f;
    cam->yon_z = 100.0f;
    cam->aspect = float(w) / float(h);
    BrMatrix34RotateX(&camera->t.t.mat, degrees(scene.pitch));
    BrMatrix34PostRotateY(&camera->t.t.mat, degrees(scene.yaw));
    BrMatrix34PostTranslate(&camera->t.t.mat, scene.cx, scene.cy, scene.cz);
    for (const Lamp& l : scene.lamps) {
      br_actor* a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
      br_light* lt = static_cast<br_light*>(a->type_data);
      lt->type = BR_LIGHT_POINT;
      lt->colour = l.colour;
      lt->attenuation_c = 1.0f;
      lt->attenuation_l = 0.0f;
      BrMatrix34Translate(&a->t.t.mat, l.x, l.y, l.z);
      BrLightEnable(a);
    }
    br_model* model = cube_model();
    ok = model != nullptr;
    int n = 0;
    for (const Cube& c : scene.cubes) {
      if (!ok) break;
      char name[24];
      snprintf(name, sizeof(name), "artmat%d", n++);
      br_material* mat = BrMaterialAllocate(name);
      mat->colour = c.colour;
      mat->ka = 0.28f;
      mat->kd = 0.75f;
      mat->ks = c.shine;
      mat->power = 24.0f;
      mat->flags = BR_MATF_LIT | BR_MATF_SMOOTH;
      BrMaterialAdd(mat);
      br_actor* a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
      a->model = model;
      a->material = mat;
      BrMatrix34Scale(&a->t.t.mat, c.sx, c.sy, c.sz);
      BrMatrix34PostRotateX(&a->t.t.mat, degrees(c.tilt));
      BrMatrix34PostRotateY(&a->t.t.mat, degrees(c.turn));
      BrMatrix34PostTranslate(&a->t.t.mat, c.x, c.y, c.z);
    }
    if (ok) {
      BrPixelmapFill(target, 0);
      BrPixelmapFill(depth, 0xffffffff);
      BrZbSceneRender(world, camera, target, depth);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          float r = 0, g = 0, b = 0;
          int hits = 0;
          for (int s = 0; s < k * k; ++s) {
            int sx = k * x + s % k, sy = k * y + s / k;
            br_uint_16 d;
            std::memcpy(&d, static_cast<const char*>(depth->pixels) + sy * depth->row_bytes + sx * 2, 2);
            if (d == 0xffff) continue;
            br_uint_32 p;
            std::memcpy(&p, static_cast<const char*>(target->pixels) + sy * target->row_bytes + sx * 4, 4);
            r += float((p >> 16) & 255);
            g += float((p >> 8) & 255);
            b += float(p & 255);
            ++hits;
          }
          if (hits == 0) continue;
          colour.at(x, y) = {r / (255.0f * float(hits)), g / (255.0f * float(hits)), b / (255.0f * float(hits))};
          cover.a[size_t(y) * size_t(w) + size_t(x)] = float(hits) / float(k * k);
        }
    }
  }
  if (world != nullptr) BrActorFree(world);
  BrZbEnd();
  if (target != nullptr) BrPixelmapFree(target);
  if (depth != nullptr) BrPixelmapFree(depth);
  BrEnd();
  return ok;
}

}  // namespace datagen::art
