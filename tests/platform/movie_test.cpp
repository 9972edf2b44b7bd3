// The movie recorder against a real window (SDL offscreen, Mesa): takes of
// known pictures driven through the frame loop on a hand-driven clock, read
// back with libavformat and libavcodec. The "Tsan" cases also run under the
// thread sanitizer: they hand every picture to the compressor thread and back.
//
// Contents
//   [SECTION] Reading a movie back
//   [SECTION] The window and its pictures
//   [SECTION] Takes
//   [SECTION] Refusals and failures
//   [SECTION] Odd widths
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "core/alert.h"
#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "draw/hooks.h"
#include "draw/render_state.h"
#include "draw/tman.h"
#include "OGL/extensions.h"
#include "platform/alert.h"
#include "platform/frame.h"
#include "platform/gl_hooks.h"
#include "platform/movie/movie.h"
#include "platform/movie/movie_file.h"
#include "platform/window.h"
#include "tests/support/test_support.h"

using testing_support::death_dir;
using testing_support::make_temp_dir;
using testing_support::read_file;

namespace {

using rgb = std::array<int, 3>;

// [SECTION] Reading a movie back

struct movie_info {
  bool opened = false;
  std::string codec, tag;
  int width = 0, height = 0;
  std::vector<int> durations;                        // units of 1/600 s
  std::vector<std::vector<unsigned char>> pictures;  // RGB, top row first

  rgb at(size_t picture, int x, int y) const {
    const unsigned char* p = &pictures[picture][(size_t(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

movie_info read_movie(const std::string& path) {
  movie_info info;
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, path.c_str(), nullptr, nullptr) < 0) return info;
  avformat_find_stream_info(in, nullptr);
  info.opened = in->nb_streams == 1;
  if (!info.opened) {
    avformat_close_input(&in);
    return info;
  }
  const AVStream* st = in->streams[0];
  const AVCodecParameters* par = st->codecpar;
  info.codec = avcodec_get_name(par->codec_id);
  info.tag.assign(reinterpret_cast<const char*>(&par->codec_tag), 4);
  info.width = par->width;
  info.height = par->height;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, par);
  avcodec_open2(dec, codec, nullptr);
  SwsContext* to_rgb = nullptr;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::vector<int64_t> pts;
  while (av_read_frame(in, pkt) >= 0) {
    pts.push_back(pkt->pts);
    if (avcodec_send_packet(dec, pkt) >= 0 && avcodec_receive_frame(dec, frame) >= 0) {
      to_rgb = sws_getCachedContext(to_rgb, frame->width, frame->height,
                                    AVPixelFormat(frame->format), info.width, info.height,
                                    AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
      std::vector<unsigned char> out(size_t(info.width) * info.height * 3);
      uint8_t* planes[1] = {out.data()};
      const int stride[1] = {info.width * 3};
      sws_scale(to_rgb, frame->data, frame->linesize, 0, frame->height, planes, stride);
      info.pictures.push_back(std::move(out));
    }
    av_packet_unref(pkt);
  }
  // A sample lasts until the next one starts; the last one to the track's end.
  for (size_t i = 0; i < pts.size(); ++i) {
    const int64_t end = i + 1 < pts.size() ? pts[i + 1] : st->duration;
    info.durations.push_back(int(av_rescale_q(end - pts[i], st->time_base, AVRational{1, 600})));
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  sws_freeContext(to_rgb);
  avcodec_free_context(&dec);
  avformat_close_input(&in);
  return info;
}

// The movie files in a folder, by name.
std::vector<std::string> takes_in(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& e : std::filesystem::directory_iterator(dir, ignored)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("Nimbrel movie take-", 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int take_number(const std::string& name) {
  return atoi(name.c_str() + strlen("Nimbrel movie take-"));
}

::testing::AssertionResult near(const rgb& got, const rgb& want, int tolerance = 24) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(got[i] - want[i]) > tolerance)
      return ::testing::AssertionFailure()
             << "got (" << got[0] << ", " << got[1] << ", " << got[2] << "), want (" << want[0]
             << ", " << want[1] << ", " << want[2] << ")";
  return ::testing::AssertionSuccess();
}

// [SECTION] The window and its pictures

const int kWindowDx = 640, kWindowDy = 480;
const int kBand = 24;  // the red band along the window's top edge
const rgb kTop = {255, 0, 0};
const rgb kCaption = {255, 51, 51};  // colour 57
// The rest of the window, one colour per picture; none near the caption's.
const rgb kBodies[] = {{0, 0, 255}, {0, 255, 0}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
rgb body(int k) { return kBodies[k % 5]; }

// Whether a swap showed the caption at its place, sampled just before it.
int g_caption_swaps = 0;
void sampling_swap() {
  unsigned char p[4] = {};
  glReadPixels(int(12 + mnw.origin_x), int(12 + mnw.origin_y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  if (near({p[0], p[1], p[2]}, kCaption, 2)) ++g_caption_swaps;
  MACIBM_swap_buffers();
}

class Movie : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");  // a fatal alert goes to the standard error stream
    av_log_set_level(AV_LOG_QUIET);
    mnw.pixel_dx = kWindowDx;
    mnw.pixel_dy = kWindowDy;
    mnw.tex_res = 5;
    // A new context: no render state or texture of an earlier one applies.
    OGL_reset_state();
    tman.reset();
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
    PLAT_gl_probe();
    PLAT_gl_pix_specs(0);
    THREAD_init();
    stg.use_max_cpu = 1;  // frames poll events instead of waiting a tick
    // A solid white atlas: every glyph of the caption is a block of its colour.
    memset(scratch_array, 255, size_t(512) * 512 * 4);
    scratch_dx = scratch_dy = 512;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_widgets, 1282, tex_load_now,
                                "scratch_array:white atlas"),
              tex_slot_widgets);
    g_draw_hooks.swap_buffers = sampling_swap;
    g_caption_swaps = 0;
    mnw.cur_window = -1;
    MACIBM_startwind(-1);
    clock_ = 100.0;
    frame_at(clock_);
    qtim.reset();
    qtim.fps = 25;
  }
  void TearDown() override {
    qtim.stop_thread();
    g_draw_hooks.swap_buffers = MACIBM_swap_buffers;
    g_alert_hooks.show = PLAT_show_alert;
    MACIBM_nuke_context(0);
    PLAT_video_quit();
    THREAD_reset();  // THREAD_init in the next set-up makes its queues anew
  }

  // The window's picture k: the red band on top, the body colour below.
  static void draw_picture(int k) {
    const rgb b = body(k);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(b[0] / 255.0f, b[1] / 255.0f, b[2] / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, kWindowDy - kBand, kWindowDx, kBand);
    glClearColor(kTop[0] / 255.0f, kTop[1] / 255.0f, kTop[2] / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  static void frame_at(double seconds) {
    xtim_class::set_test_time(seconds);
    MACIBM_event_proc();
  }
  // Frames on a standing clock (too early for a capture) until the
  // compressor has handed back `sent` buffers.
  static ::testing::AssertionResult wait_for_compressor(double seconds, int sent) {
    for (int i = 0; i < 5000 && qtim.returned < sent; ++i) {
      UTL_sleep(2);
      frame_at(seconds);
    }
    if (qtim.returned >= sent) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << qtim.returned << " of " << sent << " buffers came back";
  }
  // Starts a take in `dir` and captures pictures 0..n-1 a frame period apart.
  void start_and_capture(const std::string& dir, int n) {
    app_path = dir;
    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.state, 1);
    for (int k = 0; k < n; ++k) {
      draw_picture(k);
      clock_ += 0.05;
      frame_at(clock_);
    }
  }
  // Asks for the stop and runs frames until the take has ended.
  void stop_take() {
    qtim.state = 2;
    for (int i = 0; i < 2000 && qtim.state != 0; ++i) {
      UTL_sleep(2);
      draw_picture(i);
      clock_ += 0.05;
      frame_at(clock_);
    }
    ASSERT_EQ(qtim.state, 0);
  }
  static int buffer_objects() {
    int n = 0;
    for (GLuint id = 1; id < 64; ++id) n += glExt.glIsBufferARB(id) ? 1 : 0;
    return n;
  }

  double clock_ = 0.0;
};

// Mesa's software rasterizer syncs its own threads in ways the thread
// sanitizer cannot see; rasterizing on the calling thread leaves it only ours.
class TsanMovie : public Movie {
 protected:
  void SetUp() override {
    setenv("LP_NUM_THREADS", "0", 1);
    Movie::SetUp();
  }
};

// [SECTION] Takes

TEST_F(TsanMovie, TakeOfKnownPicturesKeepsColoursOrderAndDurations) {
  ASSERT_EQ(glExt.pbo_avail, 1) << "the pack-buffer path needs a driver that has it";
  struct {
    int window;  // 2 is modal: the window's origin is not the drawable's
    int pbo;
  } cases[] = {{0, 1}, {2, 0}};
  const std::string dir = make_temp_dir("movie");
  for (const auto& c : cases) {
    SCOPED_TRACE("window " + std::to_string(c.window) + " pbo " + std::to_string(c.pbo));
    const std::string sub = dir + "w" + std::to_string(c.window) + "/";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    app_path = sub;
    glExt.pbo_avail = c.pbo;
    MACIBM_startwind(c.window);
    g_caption_swaps = 0;
    clock_ += 1.0;
    frame_at(clock_);
    const double t0 = clock_;
    clock_ = t0 + 0.5;
    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.state, 1);
    ASSERT_EQ(qtim.height, 240);

    // At 25 frames a second a period is 0.04 s (24 units): the first gap is
    // long and kept (56.25 -> 56), the second late but under two periods
    // (24), the third longer than a tenth of a second (clamped to 60).
    const double at[] = {0.09375, 0.15625, 0.28125, 0.328125, 0.390625};
    const std::vector<int> gaps = {56, 24, 60, 24, 24};
    int sent = 0;
    for (int k = 0; k < 5; ++k) {
      draw_picture(k);
      frame_at(t0 + at[k]);
      GLint bound = -1;
      glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING_ARB, &bound);
      EXPECT_EQ(bound, 0) << "the pack buffer stays bound after picture " << k;
      // With a pack buffer the read is collected a frame later: the first
      // capture sends nothing.
      if (!(c.pbo && k == 0)) ++sent;
      ASSERT_TRUE(wait_for_compressor(t0 + at[k], sent));
    }
    EXPECT_EQ(buffer_objects(), c.pbo);
    // Too early for another capture.
    draw_picture(5);
    frame_at(t0 + 0.40);
    qtim.state = 2;
    frame_at(clock_);
    ASSERT_EQ(qtim.state, 0);
    EXPECT_EQ(buffer_objects(), 0);
    EXPECT_NE(tman.record(tex_slot_movie).load_time, tex_load_now);
    EXPECT_GE(g_caption_swaps, 5) << "the user saw no caption";

    const std::vector<std::string> takes = takes_in(sub);
    ASSERT_EQ(takes.size(), 1u);
    const movie_info m = read_movie(sub + takes[0]);
    ASSERT_TRUE(m.opened);
    EXPECT_EQ(m.codec, "mjpeg");
    EXPECT_EQ(m.tag, "jpeg");
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 240);
    // A packed picture goes out with the next capture's duration.
    const std::vector<int> want(gaps.begin() + c.pbo, gaps.end());
    EXPECT_EQ(m.durations, want);
    ASSERT_EQ(m.pictures.size(), want.size());
    // Where the caption stands in the window, in movie pixels (half size).
    const int cap_y = 240 - int(12 + mnw.origin_y) / 2;
    for (size_t k = 0; k < m.pictures.size(); ++k) {
      SCOPED_TRACE("picture " + std::to_string(k));
      EXPECT_TRUE(near(m.at(k, 160, 0), kTop)) << "top row";
      EXPECT_TRUE(near(m.at(k, 5, 4), kTop));
      EXPECT_TRUE(near(m.at(k, 160, 120), body(int(k)))) << "middle";
      EXPECT_TRUE(near(m.at(k, 300, 236), body(int(k)))) << "bottom row";
      for (int x : {12, 40, 80})
        EXPECT_TRUE(near(m.at(k, int(x + mnw.origin_x) / 2, cap_y), body(int(k))))
            << "caption in the movie at window x " << x;
    }
  }
  MACIBM_startwind(0);
}

TEST_F(TsanMovie, AStopBeforeThreeBuffersCameBackCapturesOnUntilItCanStop) {
  const std::string dir = make_temp_dir("movie-early");
  // Read straight into the buffers, which a size changed mid-take would overrun.
  glExt.pbo_avail = 0;
  ASSERT_NO_FATAL_FAILURE(start_and_capture(dir, 1));
  // The settings cannot resize a take that runs: its buffers keep their size.
  qtim.width = 640;
  ASSERT_NO_FATAL_FAILURE(stop_take());
  EXPECT_GE(qtim.returned, 3);
  const std::vector<std::string> takes = takes_in(dir);
  ASSERT_EQ(takes.size(), 1u);
  const movie_info m = read_movie(dir + takes[0]);
  EXPECT_EQ(m.width, 320);
  EXPECT_EQ(m.height, 240);
  EXPECT_GE(m.pictures.size(), 3u);
  EXPECT_EQ(m.pictures.size(), m.durations.size());
}

// [SECTION] Refusals and failures

std::vector<std::string> g_alerts;
void record_alert(int, const std::string (&lines)[4], const std::string&, int type) {
  g_alerts.push_back(lines[0] + "|" + lines[1] + "|" + std::to_string(type));
  if (type == t_exit) _exit(1);
}

TEST_F(Movie, RefusalsLeaveTheRecorderReadyAndTakesNumberOn) {
  const std::string dir = make_temp_dir("movie-refused");
  app_path = dir;
  g_alert_hooks.show = record_alert;
  struct {
    int pixel_dx, movie_width;
    const char* line2;
  } cases[] = {
      {2049, 320,
       "You can NOT record movies in Nimbrel at any Nimbrel resolution higher that "
       "2048 x 2048!"},
      {kWindowDx, 0, "A movie of 0 x 0 pixels would show nothing."},
  };
  for (const auto& c : cases) {
    g_alerts.clear();
    mnw.pixel_dx = c.pixel_dx;
    qtim.width = c.movie_width;
    qtim.mov_toggle(1);
    mnw.pixel_dx = kWindowDx;
    qtim.width = 320;
    ASSERT_EQ(g_alerts.size(), 1u);
    EXPECT_EQ(g_alerts[0], std::string("Oops!|") + c.line2 + "|1");
    EXPECT_EQ(qtim.state, 0);
    EXPECT_NE(tman.record(tex_slot_movie).load_time, tex_load_now);
    EXPECT_TRUE(takes_in(dir).empty());
  }

  // The recorder is ready: a take goes to the first number no file has,
  // and the next one counts on even when the first file is gone.
  g_alerts.clear();
  testing_support::write_file(dir + "Nimbrel movie take-1.mov", "not ours");
  ASSERT_NO_FATAL_FAILURE(start_and_capture(dir, 4));
  ASSERT_NO_FATAL_FAILURE(stop_take());
  std::vector<std::string> takes = takes_in(dir);
  ASSERT_EQ(takes.size(), 2u);
  EXPECT_EQ(read_file(dir + takes[0]), "not ours");
  const int first = take_number(takes[1]);
  EXPECT_GE(first, 2);
  EXPECT_GE(read_movie(dir + takes[1]).pictures.size(), 3u);
  std::filesystem::remove(dir + takes[1]);
  // A width wider than the window takes the window's.
  qtim.width = 4000;
  ASSERT_NO_FATAL_FAILURE(start_and_capture(dir, 4));
  ASSERT_NO_FATAL_FAILURE(stop_take());
  takes = takes_in(dir);
  ASSERT_EQ(takes.size(), 2u);
  EXPECT_EQ(take_number(takes[1]), first + 1);
  const movie_info wide = read_movie(dir + takes[1]);
  EXPECT_EQ(wide.width, kWindowDx);
  EXPECT_EQ(wide.height, kWindowDy);
  EXPECT_TRUE(g_alerts.empty()) << g_alerts[0];
}

// The settings window: opening it stops a running take (its buffers have the
// take's size), and its fields keep the rate and width within their ranges.
TEST_F(Movie, TheSettingsWindowStopsATakeAndKeepsItsFieldsInRange) {
  const std::string dir = make_temp_dir("movie-settings");
  ASSERT_NO_FATAL_FAILURE(start_and_capture(dir, 4));
  qtim.fps = 200;
  qtim.width = 5000;
  qtim.qtim_wind();
  EXPECT_EQ(qtim.state, 2) << "opening the settings asks the take to stop";
  EXPECT_EQ(qtim.fps, 99.0f);
  EXPECT_EQ(qtim.width, 2048);
  ASSERT_NO_FATAL_FAILURE(stop_take());
  EXPECT_EQ(takes_in(dir).size(), 1u);
  qtim.fps = 3;
  qtim.width = 8;
  qtim.qtim_wind();
  EXPECT_EQ(qtim.state, 0);
  EXPECT_EQ(qtim.fps, 10.0f);
  EXPECT_EQ(qtim.width, 32);
}

TEST_F(Movie, AFileThatCannotBeWrittenEndsWithTheAlertAndKeepsWhatWasWritten) {
  struct {
    const char* name;
    std::function<void(const std::string& file)> fail;  // null: the folder is gone at the start
    const char* message;
  } cases[] = {
      {"missing folder", nullptr, "Could not CreateMovieFile to file: Nimbrel movie take-1.mov"},
      {"full disk",
       [](const std::string& file) {
         struct stat st;
         ASSERT_EQ(stat(file.c_str(), &st), 0);
         signal(SIGXFSZ, SIG_IGN);
         const rlimit limit = {rlim_t(st.st_size + 12000), RLIM_INFINITY};
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
       },
       "Could not AddMediaSample."},
      {"removed file", [](const std::string& file) { ASSERT_EQ(unlink(file.c_str()), 0); },
       "Could not AddMediaSample."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = death_dir("movie-write") + c.name + "/";
    mkdir(dir.c_str(), 0755);
    EXPECT_EXIT(
        {
          if (!c.fail) {
            app_path = dir + "gone/";
            qtim.mov_toggle(1);
          } else {
            start_and_capture(dir, 3);
            const std::string file = dir + takes_in(dir).at(0);
            c.fail(file);
            for (int k = 3; k < 400; ++k) {
              UTL_sleep(2);
              draw_picture(k);
              clock_ += 0.05;
              frame_at(clock_);
            }
          }
          exit(0);
        },
        ::testing::ExitedWithCode(1), c.message);
  }
  // What the full disk let through still plays.
  const std::string full = death_dir("movie-write") + "full disk/";
  const std::vector<std::string> takes = takes_in(full);
  ASSERT_EQ(takes.size(), 1u);
  const movie_info m = read_movie(full + takes[0]);
  ASSERT_TRUE(m.opened);
  EXPECT_GE(m.pictures.size(), 2u);
  for (size_t k = 0; k < m.pictures.size(); ++k) EXPECT_TRUE(near(m.at(k, 160, 0), kTop)) << k;
  EXPECT_TRUE(takes_in(death_dir("movie-write") + "removed file/").empty());
}

TEST_F(Movie, AFatalAlertDuringATakeFinishesItAndDoesNotHang) {
  const std::string dir = death_dir("movie-fatal");
  EXPECT_EXIT(
      {
        start_and_capture(dir, 4);
        ASSERT_TRUE(wait_for_compressor(clock_, 3));
        MACIBM_alert(wind_main, "Something else failed.", "", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "Something else failed.");
  const std::vector<std::string> takes = takes_in(dir);
  ASSERT_EQ(takes.size(), 1u);
  // The take was finished in order: the file ends with the index that
  // closes a fragmented movie.
  const std::string bytes = read_file(dir + takes[0]);
  ASSERT_GT(bytes.size(), 16u);
  EXPECT_EQ(bytes.substr(bytes.size() - 12, 4), "mfro");
  EXPECT_GE(read_movie(dir + takes[0]).pictures.size(), 3u);
}

// [SECTION] Odd widths

// A picture `w` by `h`: blue on its left half, green on its right. It is
// the start of a larger buffer whose bytes past the picture are red, so a
// converter that reads past the end of a row or of the picture shows it.
std::vector<unsigned char> blue_green(int w, int h) {
  const size_t picture_bytes = size_t(w) * h * 4;
  std::vector<unsigned char> bgra(picture_bytes + 65536, 255);
  for (size_t i = 0; i < bgra.size(); i += 4) {
    const size_t x = i / 4 % size_t(w);
    const bool past = i >= picture_bytes;
    bgra[i + 0] = !past && x < size_t(w / 2) ? 255 : 0;
    bgra[i + 1] = !past && x >= size_t(w / 2) ? 255 : 0;
    bgra[i + 2] = past ? 255 : 0;
  }
  return bgra;
}

movie_info one_picture_movie(const std::string& path, int w, int h) {
  movie_file movie;
  const std::vector<unsigned char> picture = blue_green(w, h);
  EXPECT_EQ(movie.open(path, w, h), 0);
  EXPECT_EQ(movie.add_frame(picture.data(), 24), 0);
  EXPECT_EQ(movie.finish(), 0);
  return read_movie(path);
}

// Each row's last pixel comes out as it does one pixel wider, where no pair
// of pixels straddles the row's end: none of the next row or of what lies
// past the picture gets into it.
TEST(MovieFile, AnOddWidthEndsEachRowAsTheEvenWidthDoes) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string dir = make_temp_dir("movie-odd");
  const struct { int odd_width, height; } cases[] = {{101, 77}, {33, 24}, {321, 240}, {3, 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.odd_width) + " x " + std::to_string(c.height));
    const std::string name = dir + std::to_string(c.odd_width) + "x" + std::to_string(c.height);
    const movie_info odd = one_picture_movie(name + "-odd.mov", c.odd_width, c.height);
    const movie_info even = one_picture_movie(name + "-even.mov", c.odd_width + 1, c.height);
    ASSERT_EQ(odd.pictures.size(), 1u);
    ASSERT_EQ(even.pictures.size(), 1u);
    const int x = c.odd_width - 1;
    for (int y = 0; y < c.height; ++y)
      ASSERT_TRUE(near(odd.at(0, x, y), even.at(0, x, y), 8)) << "row " << y;
  }
}

}  // namespace
