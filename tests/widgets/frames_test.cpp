// Frames tiled from the coded atlas: which atlas texel lands on each pixel
// of the caps, the repeated middles and the cut last tile; panels, close
// boxes, tabs, the dial and the boxed string.
#include "widgets/frames.h"

#include <gtest/gtest.h>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

class Frames : public WidgetTest {};

TEST_F(Frames, HorizontalBarsTileTheirMiddleAndCutTheLastTile) {
  // Kind 2: element at (304, 486), caps 10, middle 10..42, 26 high. w 81 is
  // drawn 82 wide from x 59 to 141, 87 to 113 high.
  BTN_frame1(frame_button, 100, 100, 81, colr_white);
  struct {
    int x, y, s, t;
  } cases[] = {
      {59, 87, 304, 486},  {68, 87, 313, 486},    // left cap
      {69, 87, 314, 486},  {100, 87, 345, 486},   // first tile, whole
      {101, 87, 314, 486}, {130, 87, 343, 486},   // second tile, cut two short
      {131, 87, 346, 486}, {140, 112, 355, 511},  // right cap
  };
  for (const auto& c : cases) EXPECT_EQ(texel_at(c.x, c.y), atlas(c.s, c.t)) << c.x << "," << c.y;
  EXPECT_EQ(texel_at(58, 100), nothing());
  EXPECT_EQ(texel_at(141, 100), nothing());
  EXPECT_EQ(texel_at(100, 86), nothing());
  EXPECT_EQ(texel_at(100, 113), nothing());
}

TEST_F(Frames, ABarNoWiderThanItsCapsKeepsAnEmptyMiddle) {
  // Kind 4, caps 10, 16 wide: the caps overlap and the middle is empty.
  BTN_frame1(frame_progress_track, 50, 50, 16, colr_white);
  EXPECT_EQ(texel_at(42, 50), atlas(112, 169));
  EXPECT_EQ(texel_at(48, 50), atlas(130, 169)) << "the right cap drawn last";
  EXPECT_EQ(texel_at(57, 50), atlas(139, 169));
  EXPECT_EQ(texel_at(58, 50), nothing());
}

TEST_F(Frames, BarsAddTheirExtraWidthAndShift) {
  // Kind 9 adds 4 to the width; kind 0 is drawn 3 below its centre.
  BTN_frame1(frame_value_box, 100, 100, 40, colr_white);
  EXPECT_EQ(texel_at(78, 100), atlas(262, 146));
  EXPECT_EQ(texel_at(121, 100), atlas(312, 146));
  BTN_frame1(frame_menu_bar, 100, 200, 100, colr_white);
  EXPECT_EQ(texel_at(50, 184), atlas(1, 487));
}

TEST_F(Frames, VerticalBarsTileUpwards) {
  // 60 long: 68 high from y 66, 20 wide from x 40.
  BTN_frame0(frame_scroll_track, 50, 100, 60);
  struct {
    int y, t;
  } cases[] = {{66, 248}, {75, 257},  {76, 258},  {95, 277},
               {96, 258}, {123, 265}, {124, 278}, {133, 287}};
  for (const auto& c : cases) EXPECT_EQ(texel_at(40, c.y), atlas(102, c.t)) << c.y;
  EXPECT_EQ(texel_at(59, 100), atlas(121, 262));
  EXPECT_EQ(texel_at(40, 65), nothing());
  EXPECT_EQ(texel_at(40, 134), nothing());
}

TEST_F(Frames, BoxesTileInBothDirections) {
  // Kind 13: a 100-square element at (203, 358), caps 35 across and 30 up and
  // down. The box (50, 60) 100 by 80 is framed from (41, 46), 118 by 98.
  BTN_frame2(frame_panel, 50, 60, 100, 80, "");
  struct {
    int x, y, s, t;
  } cases[] = {
      {41, 46, 203, 358},   {76, 46, 238, 358},   // bottom-left cap, first middle column
      {106, 46, 238, 358},  {124, 46, 268, 358},  // second column, cut; right cap
      {158, 143, 302, 457},                       // top-right corner
      {41, 76, 203, 388},   {41, 113, 203, 425},  // the middle row, cut at 68
      {41, 114, 203, 428},                        // the top cap
  };
  for (const auto& c : cases) EXPECT_EQ(texel_at(c.x, c.y), atlas(c.s, c.t)) << c.x << "," << c.y;
  EXPECT_EQ(texel_at(40, 46), nothing());
  EXPECT_EQ(texel_at(41, 45), nothing());
  EXPECT_EQ(texel_at(159, 143), nothing());

  // The menu list has caps of its own: 20 across, 26 below and 14 above.
  glClear(GL_COLOR_BUFFER_BIT);
  BTN_frame2(frame_menu_list, 50, 60, 40, 30, "");
  EXPECT_EQ(texel_at(42, 47), atlas(70, 315));
  EXPECT_EQ(texel_at(62, 47), atlas(90, 315)) << "a 2-wide middle column";
  EXPECT_EQ(texel_at(78, 47), atlas(92, 315)) << "the right cap from column 22";
  EXPECT_EQ(texel_at(42, 73), atlas(70, 341)) << "a 2-high middle row";
  EXPECT_EQ(texel_at(42, 78), atlas(70, 343)) << "the top cap from row 28";
  EXPECT_EQ(texel_at(97, 91), atlas(111, 356));
}

TEST_F(Frames, TheActiveWindowFrameCarriesCloseBoxesInModalWindows) {
  mnw.window_dx = 200;
  mnw.window_dy = 150;
  const draw_testing::texel close_box = atlas(120, 178);
  for (int window : {wind_main, wind_alert, wind_prefs}) {
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.cur_window = window;
    BTN_fillwin(1, kFillwinBare);
    const bool boxes = window == wind_prefs;
    EXPECT_EQ(texel_at(7, 131) == close_box, boxes) << window;
    EXPECT_EQ(texel_at(175, 131) == close_box, boxes) << window;
  }
}

TEST_F(Frames, ABadKindEndsTheProgram) {
  EXPECT_EXIT(BTN_frame1(6, 10, 10, 10, 0), testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
  EXPECT_EXIT(BTN_frame2(21, 10, 10, 10, 10, ""), testing::ExitedWithCode(1),
              "Bad BTN_frame2 call!");
  EXPECT_EXIT(BTN_frame0(5, 10, 10, 10), testing::ExitedWithCode(1), "Bad BTN_frame0 call!");
  EXPECT_EXIT(BTN_frame0(frame_scroll_track, 10.5f, 10, 10), testing::ExitedWithCode(1),
              "BTN_frame0 non-int x_center!");
  EXPECT_EXIT(BTN_frame0(frame_scroll_track, 10, 10.5f, 10), testing::ExitedWithCode(1),
              "BTN_frame0 non-int y_center!");
}

TEST_F(Frames, SubwindowsFillTheWindowAndReportWhereTheNextOneGoes) {
  mnw.window_dx = 600;
  mnw.window_dy = 380;
  struct {
    float margin, x, y, w, h;
    float right, top;
  } cases[] = {
      {0, -1, -1, -1, -1, 600, 362},  // (10, 10), 580 by 342
      {34, -1, -1, 380, -1, 400, 328},
      {0, 100, 200, 50, 60, 160, 270},
  };
  for (const auto& c : cases) {
    float right = 0, top = 0;
    BTN_subwin(c.margin, frame_panel, c.x, c.y, c.w, c.h, "", &right, &top);
    EXPECT_EQ(right, c.right);
    EXPECT_EQ(top, c.top);
  }
}

TEST_F(Frames, CloseBoxesTakeAPressOnTheirEdges) {
  mnw.window_dx = 200;
  mnw.window_dy = 150;
  struct {
    float x, y;
    int hit;
  } cases[] = {{7, 131, 1},   {6, 131, 0},   {25, 149, 1},  {25, 150, 0},
               {175, 140, 1}, {193, 131, 1}, {194, 131, 0}, {100, 140, 0}};
  for (const auto& c : cases) {
    frame(c.x, c.y, true);
    EXPECT_EQ(BTN_zap_boxes(0), c.hit) << c.x << "," << c.y;
  }
  // A press in the left box leaves the right one undrawn; lit boxes use the
  // lower cell.
  glClear(GL_COLOR_BUFFER_BIT);
  frame(10, 140, true);
  EXPECT_EQ(BTN_zap_boxes(1), 1);
  EXPECT_EQ(texel_at(7, 131), atlas(120, 197));
  EXPECT_EQ(texel_at(175, 131), nothing());
}

TEST_F(Frames, TabsHitNarrowerThanTheyAreDrawn) {
  mnw.window_dy = 200;
  int current = 0;
  // Tab 1 of row 0: centre (141, 162), drawn 92..190.
  frame(141 + 45, 162, true);
  EXPECT_EQ(BTN_tab(1, 0, &current, 5, "Tab"), 0);
  EXPECT_EQ(current, 0);
  EXPECT_EQ(texel_at(141 + 45, 162), atlas(204 + 94, 459 + 13)) << "drawn unselected";
  frame(141 + 40, 162 - 13, true);
  EXPECT_EQ(BTN_tab(1, 0, &current, 5, "Tab"), 1);
  EXPECT_EQ(current, 5);
  EXPECT_EQ(texel_at(141 + 45, 162), atlas(204 + 94, 486 + 13)) << "drawn selected";
}

TEST_F(Frames, TheDialFollowsTheMouseWhileHeld) {
  struct {
    float dx, dy, heading;
  } cases[] = {{0, 20, 0}, {20, 0, 90}, {0, -20, 180}, {-20, 0, 270}, {-20, 20, 315}};
  for (const auto& c : cases) {
    float heading = 45;
    frame(100 + c.dx, 100 + c.dy, false, true);
    plot_dir(100, 100, &heading, 0);
    EXPECT_NEAR(heading, c.heading, 0.01) << c.dx << "," << c.dy;
  }
  float heading = 45;
  frame(100 + 31, 100, false, true);
  plot_dir(100, 100, &heading, 0);
  EXPECT_EQ(heading, 45) << "out of reach";
  frame(100 + 10, 100);
  plot_dir(100, 100, &heading, 0);
  EXPECT_EQ(heading, 45) << "not held";
}

TEST_F(Frames, BoxedStringsSizeTheirBoxByTheText) {
  // Fixed pitch: 10 a character + 7 = 37, so the text starts at 100 - 18.5 + 4.
  OGL_boxed_string(100, 100, "", "123", charset_fixed, colr_path_text);
  EXPECT_EQ(texel_at(86, 101), glyph_texel('1', 0, 7));
  EXPECT_EQ(texel_at(79, 100), atlas(262, 143)) << "the box's left edge";
  EXPECT_EQ(texel_at(78, 100), nothing());
}

}  // namespace
