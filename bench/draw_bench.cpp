// The drawing layer's hot paths: the render-state cache, which every 2-D draw
// calls (a repeated state must cost only comparisons), and the matrix helpers
// the camera runs.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdlib>

#include "core/globals.h"
#include "draw/matrix.h"
#include "draw/render_state.h"

namespace {

// A hidden window with a compatibility context, kept for the whole run.
bool make_context() {
  static bool made = [] {
    if (!getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_Window* w = SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    return w && SDL_GL_CreateContext(w) != nullptr;
  }();
  return made;
}

void BM_SetStateRepeated(benchmark::State& state) {
  if (!make_context()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  ren.tex_units = 8;
  for (auto _ : state)
    OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
                 ogl_depth_write_off);
}
BENCHMARK(BM_SetStateRepeated);

// Text and filled shapes interleaved: the common worst case of a frame.
void BM_SetStateAlternating(benchmark::State& state) {
  if (!make_context()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  ren.tex_units = 8;
  for (auto _ : state) {
    OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
                 ogl_depth_write_off);
    OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
                 ogl_depth_write_off);
  }
}
BENCHMARK(BM_SetStateAlternating);

void BM_InvertMatrix(benchmark::State& state) {
  double m[16], out[16];
  buildFrustumMatrix(m, -1, 1, -0.75, 0.75, 1, 1000);
  applyRotation(m, 30, 1, 2, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(invertMatrix(out, m));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_InvertMatrix);

void BM_LookAtAndMultiply(benchmark::State& state) {
  double view[16], proj[16], out[16];
  buildPerspectiveMatrix(proj, 60, 4.0 / 3.0, 1, 1000);
  for (auto _ : state) {
    buildLookAtMatrix(view, 3, 4, 5, 0, 0, 0, 0, 1, 0);
    multMatrices(out, proj, view);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_LookAtAndMultiply);

}  // namespace

BENCHMARK_MAIN();
