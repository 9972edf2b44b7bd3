// The movie recorder: the start and end of a take, the per-frame capture
// through texture 405 and a pixel-pack buffer, and the compressor thread that
// adds each captured picture to the movie file.
//
// Contents:
//   [SECTION] Recorder state
//   [SECTION] Failures
//   [SECTION] The compressor thread
//   [SECTION] Start and end of a take
//   [SECTION] Capture
//   [SECTION] The recorder
#include "platform/movie/movie.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include "core/alert.h"
#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "Files/io_utils.h"
#include "OGL/extensions.h"
#include "platform/movie/movie_file.h"
#include "widgets/frames.h"
#include "widgets/number_fields.h"

qtim_class qtim;

// [SECTION] Recorder state

namespace {

const int kMaxSide = 2048;      // the largest window a take may copy, either way
const int kMinBuffers = 3;      // buffers in play: capture and compression overlap
const int kStopAfterBack = 3;   // buffers back before a take may stop
const int kAnswerSeconds = 20;  // how long a stop waits for the compressor's answer

// The compressor thread's side: its queues, whether its last control message
// lets it live on, and the movie it works on between the start of a take and
// the control message that ends it. A buffer or the movie belongs to one
// thread at a time; the queues carry them across.
struct compressor {
  UTL_message_queue* q_to_thread = nullptr;    // buffers, and null as a control message
  UTL_message_queue* q_from_thread = nullptr;  // buffers back, and the answers
  std::atomic<int> control_value{1};           // 0: the next control message ends the thread
  std::atomic<bool> alive{true};
  std::atomic<bool> failed{false};  // the movie failed: no further encoding this take
  movie_file* movie = nullptr;
};

// The answer to a control message. A null on a timed read is a time-out, so
// the answer is this token instead; it is only ever compared, never written.
const int kAnswerToken = 0;
void* const kAnswer = const_cast<int*>(&kAnswerToken);

// The recorder's state beside qtim's settings: the compressor thread, the
// take running (its clock, pack buffer, file and size) and the take count.
struct recorder_state {
  compressor* comp = nullptr;
  UTL_thread qt_thread{};
  UTL_thread_id qt_thread_id{};
  UTL_thread_join_rec qt_thread_join{};
  int qt_thread_made = 0;

  float start_time = 0.0f, prev_time = 0.0f;  // frame clock seconds
  GLuint pbo_id = 0;
  int pbo_has_data = 0;
  int movie_take = 0;
  std::string movie_name, movie_path;
  // The take's size, fixed at its start whatever the settings do meanwhile.
  int rec_dx = 0, rec_dy = 0;
};
recorder_state recorder;

size_t frame_bytes() { return size_t(recorder.rec_dx) * size_t(recorder.rec_dy) * 4; }

// [SECTION] Failures

// What went wrong while a take ended, reported once the recorder is idle.
struct take_end {
  movie_file::stage stage = movie_file::stage_none;
  int code = 0;
  bool lost = false;         // the compressor died or stopped answering
  bool not_started = false;  // a take without a movie
};

// The fatal alert of a failing movie step. Line 86 on purpose: the line these
// alerts have always named.
void mov_alert(const std::string& text1, const std::string& text2, const char* detail, int code) {
  __MACIBM_alert(wind_main, text1.c_str(), text2.c_str(), detail, std::to_string(code).c_str(),
                 t_exit, __FILE__, 86);
}

void report_movie_failure(movie_file::stage stage, int code, bool quiet) {
  struct lines {
    std::string text1, text2;
    const char* detail;
  };
  lines l;
  switch (stage) {
    case movie_file::stage_create:
      l = {"Could not CreateMovieFile to file: " + recorder.movie_name, recorder.movie_path,
           "(CreateMovieFile failed)"};
      break;
    case movie_file::stage_track:
      l = {"Could not BeginMediaEdits.", recorder.movie_path, "(BeginMediaEdits failed)"};
      break;
    case movie_file::stage_encoder:
      l = {"Could not CompressSequenceBegin.", "", "(CompressSequenceBegin failed.)"};
      break;
    case movie_file::stage_frame:
      // The detail line has always named the sequence's start.
      l = {"Could not CompressSequenceFrame.",
           "Please install the latest movie libraries (libavcodec with its JPEG encoder).",
           "(CompressSequenceBegin failed.)"};
      break;
    case movie_file::stage_sample:
      l = {"Could not AddMediaSample.", "", "AddMediaSample failed."};
      break;
    case movie_file::stage_finish:
      l = {"Could not AddMovieResource.", "", "(AddMovieResource failed.)"};
      break;
    case movie_file::stage_none:
      return;
  }
  xer << "Movie " << recorder.movie_path << ": " << l.text1 << " " << movie_file::error_text(code)
      << " (" << code << ")\n";
  xer.flush();
  if (!quiet) mov_alert(l.text1, l.text2, l.detail, code);
}

void report_take_end(const take_end& end, bool quiet) {
  if (end.lost) {
    xer << "Movie " << recorder.movie_path << ": the compressor thread stopped answering.\n";
    xer.flush();
    if (!quiet)
      MACIBM_alert(wind_main, "Could not finish the movie.", recorder.movie_name.c_str(),
                   "(The compressor thread stopped answering.)", "", t_alert);
  }
  // Line 355 on purpose: the line this alert has always named.
  if (end.not_started && !quiet)
    __MACIBM_alert(wind_main, "Cannot finish record of a movie that was not started!", "", "", "",
                   t_alert, __FILE__, 355);
  report_movie_failure(end.stage, end.code, quiet);
}

// [SECTION] The compressor thread

void* QT_Thread(void* arg) {
  compressor* c = static_cast<compressor*>(arg);
  // Cleared however the thread ends, so that a stop never waits for a dead one.
  struct alive_flag {
    compressor* c;
    ~alive_flag() { c->alive.store(false); }
  } flag{c};
  for (;;) {
    void* message = UTL_message_queue_read(c->q_to_thread, -1);
    if (!message) {
      // Every control message is answered, so that the main thread's wait
      // for it ends; the buffers sent before it have all come back by then.
      const int live_on = c->control_value.load();
      UTL_message_queue_write(c->q_from_thread, kAnswer);
      if (!live_on) return nullptr;
      continue;
    }
    mov_buffer* b = static_cast<mov_buffer*>(message);
    if (c->movie && !c->failed.load()) {
      // Whole units of 1/600 s, from 1 to 60: a picture never stands for
      // more than a tenth of a second, however long the frame took.
      const int units = std::min(60, std::max(1, static_cast<int>(b->duration * 600.0f)));
      if (c->movie->add_frame(b->data, units) != 0) c->failed.store(true);
    }
    UTL_message_queue_write(c->q_from_thread, b);
  }
}

// Sends a control message and takes every buffer back until its answer
// comes. False when the thread died or stopped answering in time.
bool control_barrier(compressor* c, int control_value) {
  c->control_value.store(control_value);
  UTL_message_queue_write(c->q_to_thread, nullptr);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
  for (;;) {
    void* message = UTL_message_queue_read(c->q_from_thread, 100);
    if (message == kAnswer) return true;
    if (message) {
      qtim.usable_buffers.push_back(static_cast<mov_buffer*>(message));
      continue;
    }
    if (c->alive.load() && std::chrono::steady_clock::now() < give_up) continue;
    // A last look: the answer may have come just before the thread ended.
    while ((message = UTL_message_queue_read(c->q_from_thread, 0))) {
      if (message == kAnswer) return true;
      qtim.usable_buffers.push_back(static_cast<mov_buffer*>(message));
    }
    return false;
  }
}

// Forgets a compressor that did not answer. Its queues and movie are left as
// they are: a thread that stopped answering may still use them, and one that
// died inside a queue call may have left it locked. The next take makes a
// new thread.
void abandon_compressor() {
  if (!recorder.comp->alive.load()) UTL_thread_join(recorder.qt_thread, recorder.qt_thread_join);
  recorder.comp = nullptr;
  recorder.qt_thread_made = 0;
}

// [SECTION] Start and end of a take

void mov_startrecord() {
  qtim_class& q = qtim;
  if (!recorder.qt_thread_made) {
    recorder.comp = new compressor;
    UTL_message_queue_create(&recorder.comp->q_to_thread);
    UTL_message_queue_create(&recorder.comp->q_from_thread);
    // No OpenGL context for it: it only encodes, and making one would take
    // the main thread's context away.
    THREAD_create(QT_Thread, recorder.comp, &recorder.qt_thread, &recorder.qt_thread_id,
                  &recorder.qt_thread_join, 0);
    recorder.qt_thread_made = 1;
  }
  q.height = recorder.rec_dy;
  if (q.state == 1) {
    do {
      recorder.movie_take += 1;
      recorder.movie_name = "Nimbrel movie take-" + std::to_string(recorder.movie_take) + ".mov";
    } while (file_exists(recorder.movie_name));  // under app_path, as every file-layer path
    recorder.movie_path = prefixed_path(recorder.movie_name);
    if (recorder.comp->movie) {
      q.state = 0;
      tman.unload_texture(tex_slot_movie);
      // Line 437 on purpose: the line this alert has always named.
      __MACIBM_alert(wind_main, "Trying to create a movie but one already exists",
                     recorder.movie_name.c_str(), "", "", t_alert, __FILE__, 437);
      return;
    }
    movie_file* movie = new movie_file;
    if (movie->open(recorder.movie_path, recorder.rec_dx, recorder.rec_dy) != 0) {
      const movie_file::stage stage = movie->failed_stage();
      const int code = movie->failed_code();
      delete movie;
      q.state = 0;
      tman.unload_texture(tex_slot_movie);
      report_movie_failure(stage, code, false);
      return;
    }
    // Takes have always begun a second after they were asked for.
    UTL_sleep(1000);
    q.returned = 0;
    recorder.comp->failed.store(false);
    // From the first buffer on, the movie is the compressor's.
    recorder.comp->movie = movie;
  }
  recorder.start_time = recorder.prev_time = xtim.act_time;

  const size_t bytes = frame_bytes();
  while (q.usable_buffers.size() < size_t(kMinBuffers)) q.usable_buffers.push_back(new mov_buffer);
  for (mov_buffer* b : q.usable_buffers) {
    if (b->capacity == bytes) continue;
    delete[] b->data;
    b->data = new unsigned char[bytes];
    b->capacity = bytes;
  }
  if (glExt.pbo_avail && mnw.alias_got == 0) {
    glExt.glGenBuffersARB(1, &recorder.pbo_id);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, recorder.pbo_id);
    glExt.glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, GLsizeiptrARB(bytes), nullptr,
                          GL_STREAM_READ_ARB);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  }
}

// Waits for the compressor to hand back everything, then finishes the movie.
// The recorder is idle afterwards, whatever went wrong.
take_end mov_stoprecord() {
  qtim_class& q = qtim;
  take_end end;
  compressor* c = recorder.comp;
  const bool answered = c && control_barrier(c, 1);
  if (c && !answered) {
    end.lost = true;
    abandon_compressor();
  }
  if (q.state != 0 && !end.lost) {
    if (!c || !c->movie) {
      end.not_started = true;
    } else {
      movie_file* movie = c->movie;
      c->movie = nullptr;
      // Finished even after a failure: what was written stays playable.
      movie->finish();
      end.stage = movie->failed_stage();
      end.code = movie->failed_code();
      delete movie;
    }
  }
  q.state = 0;
  recorder.pbo_has_data = 0;
  if (recorder.pbo_id) {
    glExt.glDeleteBuffersARB(1, &recorder.pbo_id);
    recorder.pbo_id = 0;
  }
  return end;
}

void finish_take(bool quiet) {
  const take_end end = mov_stoprecord();
  tman.unload_texture(tex_slot_movie);
  report_take_end(end, quiet);
}

void end_recorder(bool quiet) {
  if (qtim.state != 0) finish_take(quiet);
  if (!recorder.qt_thread_made) return;
  compressor* c = recorder.comp;
  if (!control_barrier(c, 0)) {
    abandon_compressor();
    return;
  }
  UTL_thread_join(recorder.qt_thread, recorder.qt_thread_join);
  UTL_message_queue_destroy(c->q_to_thread);
  UTL_message_queue_destroy(c->q_from_thread);
  delete c;
  recorder.comp = nullptr;
  recorder.qt_thread_made = 0;
  // Every buffer has come back by now; the next take makes its own.
  for (mov_buffer* b : qtim.usable_buffers) {
    delete[] b->data;
    delete b;
  }
  qtim.usable_buffers.clear();
}

// [SECTION] Capture

// Copies what the window shows (from the drawable's own lower-left corner,
// whatever the current window's origin) into the movie texture.
void copy_window(int* copied_dx, int* copied_dy, float* tex_dx, float* tex_dy) {
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_none, ogl_depth_test_off,
               ogl_depth_write_off);
  tman.bind_ref(tex_slot_movie, 0, 0);
  const ref_dat_struct rec = tman.record(tex_slot_movie);
  *tex_dx = rec.tex_dx > 0 ? rec.tex_dx : float(kMaxSide);
  *tex_dy = rec.tex_dy > 0 ? rec.tex_dy : float(kMaxSide);
  *copied_dx = std::min(mnw.pixel_dx, int(*tex_dx));
  *copied_dy = std::min(mnw.pixel_dy, int(*tex_dy));
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, *copied_dx, *copied_dy);
}

// Draws the copy at the movie's size in the drawable's lower-left corner,
// upside down, so that the rows read back come out top row first.
void draw_scaled_copy(int copied_dx, int copied_dy, float tex_dx, float tex_dy) {
  const float x = -mnw.origin_x, y = -mnw.origin_y;
  const float w = float(recorder.rec_dx), h = float(recorder.rec_dy);
  const float s1 = copied_dx / tex_dx, t1 = copied_dy / tex_dy;
  OGL_2dquad(tex_slot_movie, colr_art, 1.0f, x, y, 0, t1, x, y + h, 0, 0, x + w, y + h, s1, 0,
             x + w, y, s1, t1, 1, ogl_alpha_none);
}

}  // namespace

// [SECTION] The recorder

qtim_class::qtim_class() { available = movie_file_supported(); }

int qtim_class::mov_per_frame() {
  if (state == 1) return mov_add_frame();
  if (state == 2) {
    // A stop asked for before three buffers came back: the capture runs on
    // until the take can stop.
    if (returned < kStopAfterBack) return mov_add_frame();
    mov_toggle(0);
  }
  return 0;
}

void qtim_class::mov_toggle(int new_state) {
  if (!available) return;
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_none, ogl_depth_test_off,
               ogl_depth_write_off);
  if (state == 0) {
    if (new_state == 0) return;
    // Both refusals come before any thread, texture or file work, so the
    // recorder stays ready for a later start. Line 412 on purpose.
    if (mnw.pixel_dx > kMaxSide || mnw.pixel_dy > kMaxSide) {
      __MACIBM_alert(wind_main, "Oops!",
                     "You can NOT record movies in Nimbrel at any Nimbrel resolution higher that "
                     "2048 x 2048!",
                     "This limit is to keep the VRAM requirements of Nimbrel down.", "", t_alert,
                     __FILE__, 412);
      return;
    }
    // A take no wider than the window it copies: reading past the window's
    // edge would give pixels that are not on screen, or none at all.
    const int dx = std::min(width, mnw.pixel_dx);
    const int dy = mnw.pixel_dx > 0 ? mnw.pixel_dy * dx / mnw.pixel_dx : 0;
    if (dx < 1 || dy < 1) {
      const std::string size = std::to_string(dx) + " x " + std::to_string(dy);
      MACIBM_alert(wind_main, "Oops!",
                   ("A movie of " + size + " pixels would show nothing.").c_str(),
                   "Set a movie width of at least 32.", "", t_alert);
      return;
    }
    recorder.rec_dx = dx;
    recorder.rec_dy = dy;
    state = new_state;
    scratch_dx = scratch_dy = kMaxSide;
    // RGB from the staging buffer; the window is copied into it every frame.
    tman.load_texture(tex_fail_fatal, tex_slot_movie, tex_flag_carried | tex_colour_rgb,
                      tex_load_now, "scratch_array-t_QT_movie");
    mov_startrecord();
    return;
  }
  if (returned < kStopAfterBack) {
    // Kept as a stop request: mov_per_frame stops the take once it can.
    state = 2;
    return;
  }
  finish_take(false);
}

int qtim_class::mov_add_frame() {
  const float now = xtim.act_time;
  if (now == recorder.start_time) return 0;
  if (!recorder.comp) {
    finish_take(false);
    return 0;
  }
  while (void* back = UTL_message_queue_read(recorder.comp->q_from_thread, 0)) {
    usable_buffers.push_back(static_cast<mov_buffer*>(back));
    returned += 1;
  }
  if (recorder.comp->failed.load()) {
    finish_take(false);
    return 0;
  }
  const float period = 1.0f / fps;
  float dt = now - recorder.prev_time;
  if (usable_buffers.empty() || dt < period) {
    draw_record_lgt();
    OGL_sbuff();
    return 1;
  }
  // A late frame of less than two periods is timed as one period; a longer
  // gap keeps its real length.
  if (dt < 2.0f * period) dt = period;
  recorder.prev_time += dt;

  mov_buffer* b = usable_buffers.front();
  const size_t bytes = frame_bytes();
  // The pack buffer is bound only around its own reads, so that no other
  // pixel read of the frame lands in it.
  if (recorder.pbo_id && recorder.pbo_has_data) {
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, recorder.pbo_id);
    glExt.glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0, GLsizeiptrARB(bytes), b->data);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  }
  int copied_dx = 0, copied_dy = 0;
  float tex_dx = 0, tex_dy = 0;
  copy_window(&copied_dx, &copied_dy, &tex_dx, &tex_dy);
  // The user sees the caption; the copy already taken does not hold it.
  draw_record_lgt();
  OGL_sbuff();
  draw_scaled_copy(copied_dx, copied_dy, tex_dx, tex_dy);
  if (recorder.pbo_id) {
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, recorder.pbo_id);
    glReadPixels(0, 0, recorder.rec_dx, recorder.rec_dy, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 nullptr);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  } else {
    glReadPixels(0, 0, recorder.rec_dx, recorder.rec_dy, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 b->data);
  }
  b->duration = dt;
  if (recorder.pbo_id && !recorder.pbo_has_data) {
    // The read lands in the pack buffer and is collected next time: there
    // is nothing to send yet.
    recorder.pbo_has_data = 1;
    return 1;
  }
  usable_buffers.erase(usable_buffers.begin());
  UTL_message_queue_write(recorder.comp->q_to_thread, b);
  return 1;
}

void qtim_class::draw_record_lgt() {
  OGL_string(colr_recording, 10, 10, "Quicktime Movie Recording...", text_one_line, charset_ui,
             align_left);
}

void qtim_class::stop_thread() { end_recorder(false); }

void qtim_class::shutdown() { end_recorder(true); }

void qtim_class::reset() {
  end_recorder(true);
  for (mov_buffer* b : usable_buffers) {
    delete[] b->data;
    delete b;
  }
  usable_buffers.clear();
  state = returned = height = 0;
  width = kDefaultWidth;
  fps = kDefaultFps;
  recorder = recorder_state();
}

void qtim_class::qtim_wind() {
  BTN_fillwin(1, kFillwinBare);
  BTN_subwin(0, frame_panel_dark, -1, -1, -1, 296, "", &wx, &wy);
  // Opening the settings stops a take: its buffers have the take's size.
  if (state != 0) mov_toggle(0);
  BTN_flt_range(150, 415, &fps, 2, 0, 10, 99, "Frames per second|");
  BTN_int_range(130, 365, &width, 4, 32, 2048, "Movie width|pixels");
  auto help = [](float y, const char* text) {
    OGL_string(colr_help_text, 20, y, text, 600, charset_ui, align_left);
  };
  if (available) {
    help(285, "Movies are written as Motion-JPEG files beside the program.");
  } else {
    help(285, "Movies cannot be written on this system:");
    help(255, "the video libraries the program was built with did not load.");
    help(245, "Install the system's video codec libraries and start again.");
  }
  help(225, "A take starts and stops with the recording key or the menu.");
  help(195, "Each take is written to its own file, numbered in turn.");
  help(165, "The height follows the window's shape at the width set above.");
  help(125, "Higher rates make smoother movies and larger files.");
  help(85, "Opening this window stops a take that is running.");
}
