// The movie recorder: while a take is recorded, every frame period the main
// thread copies what the window shows, shows a red recording caption, reads
// the picture back at the movie's smaller size and hands it to a compressor
// thread, which adds it to the movie file "Nimbrel movie take-N.mov" in the
// application's folder. The frame loop calls qtim.mov_per_frame() every
// frame; while nothing is recorded that does nothing.
#pragma once

#include <cstddef>
#include <vector>

// One frame buffer: passed to the compressor thread and back, owned by
// whichever side holds it.
struct mov_buffer {
  float duration = 0.0f;  // seconds the picture stands for
  unsigned char* data = nullptr;
  size_t capacity = 0;  // bytes
};

class qtim_class {
 public:
  qtim_class();
  // Leaves the compressor thread and its queues alone: at exit a thread may
  // still wait on them (MACIBM_finishup stops it first through shutdown()).
  ~qtim_class() = default;
  qtim_class(const qtim_class&) = delete;
  qtim_class& operator=(const qtim_class&) = delete;

  // Once per frame: state 1 adds a frame, state 2 stops once it can. 1 when
  // the recorder swapped the buffers itself (the frame loop must not).
  int mov_per_frame();
  // 1 starts a take (refused with an alert when the window is larger than
  // 2048 pixels either way, or the movie would be empty); 0 asks a take in
  // progress to stop, which it does once three buffers have come back.
  void mov_toggle(int new_state);
  // Captures this frame when a buffer is free and a frame period has passed.
  // 1: it swapped.
  int mov_add_frame();
  // The caption the user sees while recording (never part of the movie).
  void draw_record_lgt();
  // Finishes a take in progress, then ends the compressor thread.
  void stop_thread();
  // The body of the recorder's settings window, each frame while it is
  // current: opening the settings stops a take in progress.
  void qtim_wind();
  // The orderly shut-down's part: like stop_thread(), but a take that cannot
  // be finished is only logged, and a thread that does not answer is left.
  void shutdown();
  // Back to start-up: a take in progress is finished quietly and the
  // compressor thread ended (as shutdown()), then the settings, the take
  // count and the buffers are those of a new recorder.
  void reset();

  int available = 0;  // 1 when movies can be written
  int state = 0;      // 0 idle, 1 recording, 2 stop requested
  static constexpr int kDefaultWidth = 320;
  static constexpr float kDefaultFps = 20.0f;

  int width = kDefaultWidth;  // movie width asked for (32 to 2048 in the settings)
  int height = 0;             // movie height, from the window's shape at the start of a take
  float fps = kDefaultFps;    // frames per second (10 to 99 in the settings)
  int returned = 0;           // buffers back from the compressor since the take started
  std::vector<mov_buffer*> usable_buffers;
};

extern qtim_class qtim;
