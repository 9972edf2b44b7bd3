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
#include "installer/start.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"

namespace engine_tests {

// A fresh engine that installs the Linux files of version "v1" into dest,
// with its downloads passing through temp (both folders exist).
inline void engine_defaults(const std::string& dest, const std::string& temp) {
  temp_path = temp;
  dest_dir_path = dest;
  stg = stg_block();
  stg.download_os = 3;
  stg.rename_folder = 0;
  stg.file_action = action_skipped;
  install_name = "v1";
  this_install_has_exes = 0;
  next = next_struct();
  is_net = 1;
  is_dvd = 0;
  mirror_patience = kMirrorPatience;
  select_alert_hook = nullptr;
}

// What the frame does at INSTALL with the manifest, then frames until the
// install ends or the seconds pass. Each frame: the clock, then the
// transfer step's hundredth of a second; observe runs after every frame.
// Returns the frames it took.
inline int install_frames(const std::string& manifest, double seconds = 60,
                          const std::function<void()>& observe = nullptr) {
  EXPECT_EQ(read_directory(manifest, "t"), dir_read) << manifest_problem;
  install_prepare();
  if (!choose_files()) return 0;
  make_dirs();
  stg.install_phase = phase_installing;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int frames = 0;
  while (stg.install_phase == phase_installing && std::chrono::steady_clock::now() < deadline) {
    xtim.xtim_update();
    install_frame_step(0.01);
    if (observe) observe();
    ++frames;
  }
  EXPECT_EQ(stg.install_phase, phase_ended) << "the install did not end in time";
  return frames;
}

}  // namespace engine_tests
