// The install engine driven without a window, as the installer's frame
// drives it: the state the entry point and the frame leave before an
// install, and the frames of one install. For the engine's own tests and
// for every test that installs a set through it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/globals.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/hooks.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"

namespace engine_tests {

// Sets the install `in` back to a fresh one (its block too) that installs
// the Linux files of version "v1" into dest, with its downloads passing
// through temp (both folders exist).
inline void engine_defaults(install_state& in, const std::string& dest, const std::string& temp) {
  in.reset();
  in.temp_path = temp;
  in.dest_dir_path = dest;
  in.stg = stg_block();
  in.stg.download_os = platform_linux;
  in.stg.rename_folder = 0;
  in.stg.file_action = action_skipped;
  in.install_name = "v1";
  engine_hooks_reset();
}

// The frame's steps at INSTALL with the manifest: the reading, the
// decisions and the folders, then the install started.
inline bool start_install(install_state& in, const std::string& manifest) {
  EXPECT_EQ(read_directory(in, manifest, "t"), dir_read) << in.manifest_problem;
  install_prepare(in);
  if (!choose_files(in)) return false;
  make_dirs(in);
  install_start(in);
  return true;
}

// What the frame does at INSTALL with the manifest, then frames until the
// install ends or the seconds pass. Each frame: the clock, then the
// transfer step's hundredth of a second; observe runs as the install starts
// and after every frame. Returns the frames it took.
inline int install_frames(install_state& in, const std::string& manifest, double seconds = 60,
                          const std::function<void()>& observe = nullptr) {
  if (!start_install(in, manifest)) return 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  if (observe) observe();
  int frames = 0;
  while (in.stg.install_phase == phase_installing && std::chrono::steady_clock::now() < deadline) {
    xtim.xtim_update();
    install_frame_step(in, 0.01);
    if (observe) observe();
    ++frames;
  }
  EXPECT_EQ(in.stg.install_phase, phase_ended) << "the install did not end in time";
  return frames;
}

}  // namespace engine_tests
