// The image buttons of the installer's atlas and the terms window: the
// terms text in its panel, scrolled when it is longer than the panel, with
// DECLINE and AGREE beneath it.
#include "installer/terms.h"

#include <algorithm>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "installer/builtin_images.h"
#include "platform/frame.h"
#include "widgets/frames.h"
#include "widgets/labels.h"
#include "widgets/sliders.h"

// [SECTION] Image buttons

int interface_rect(float x, float y, float u, float v, float w, float h, int hover, int tint) {
  colr.assign(colr_image_tint, 1.0f, 1.0f, 1.0f);
  if (tint == 1) colr.assign(colr_image_tint, 0.8f, 1.0f, 0.8f);
  if (tint == 2) colr.assign(colr_image_tint, 1.0f, 0.8f, 0.8f);
  const bool over = BTN_mouse_in(x, y, x + w, y + h);
  float bottom = v, top = v + h;
  if (hover && over) {
    const float down = mnw.mouse_held ? 2 * (h + 1) : h + 1;
    bottom -= down;
    top -= down;
  }
  const float k = 1.0f / 1024.0f;
  OGL_2dquad(tex_slot_installer, colr_image_tint, 1.0f, x, y, u * k, bottom * k, x, y + h, u * k,
             top * k, x + w, y + h, (u + w) * k, top * k, x + w, y, (u + w) * k, bottom * k, 1, 5);
  return mnw.mouse_down && over ? 1 : 0;
}

int interface_icon(float x, float y, int i) {
  const int column = i % 8, row = i / 8;
  return interface_rect(x, y, column * 64.0f, row * 64.0f + 66, 64, 64, 0, 0);
}

// [SECTION] The terms text

std::vector<std::string> terms_lines(const std::string& text, float width) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string paragraph = text.substr(start, end - start);
    std::string line;
    size_t at = 0;
    while (at < paragraph.size()) {
      size_t space = paragraph.find(' ', at);
      if (space == std::string::npos) space = paragraph.size();
      const std::string word = paragraph.substr(at, space - at);
      at = space + 1;
      if (word.empty()) continue;
      const std::string longer = line.empty() ? word : line + " " + word;
      // A word wider than the panel stands on a line of its own.
      if (!line.empty() && OGL_string_width(longer, charset_ui) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = longer;
      }
    }
    lines.push_back(line);
    if (end == text.size()) break;
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// [SECTION] The terms window

namespace {

// The panel of the text, the buttons below it.
constexpr float kPanelLeft = 10, kPanelBottom = 42, kLineHeight = 11, kMargin = 10;
constexpr float kSliderWidth = 24;

}  // namespace

void terms_panel(const std::vector<std::string>& lines, int* first) {
  float right = 0, top = 0;
  BTN_subwin(0, frame_text_panel, kPanelLeft, kPanelBottom, -1, -1, "", &right, &top);
  const float panel_top = top - 10, panel_right = right - 10;
  const int visible = static_cast<int>((panel_top - kPanelBottom - 2 * kMargin) / kLineHeight);
  const int last_first = std::max(0, static_cast<int>(lines.size()) - visible);
  if (last_first > 0) {
    if (mnw.wheel && BTN_mouse_in(kPanelLeft, kPanelBottom, panel_right, panel_top))
      *first -= 3 * mnw.wheel;
    *first = std::clamp(*first, 0, last_first);
    BTN_vert_slider(0, panel_right - kSliderWidth / 2 - 2, kPanelBottom + 22, panel_top - 22, 0,
                    last_first, first);
  } else {
    *first = 0;
  }
  float y = panel_top - kMargin - 8;
  for (int i = *first; i < static_cast<int>(lines.size()) && i < *first + visible; ++i) {
    OGL_string(colr_label, kPanelLeft + kMargin, y, lines[static_cast<size_t>(i)], 9999, charset_ui,
               align_left);
    y -= kLineHeight;
  }
}

terms_state g_terms;

void terms_reset() { g_terms = terms_state(); }

int handle_EULA() {
  int& agreed = g_terms.agreed;
  if (agreed) return 1;
  xer << "Showing the terms of use.\n";
  xer.flush();
  MACIBM_startwind(wind_terms);
  if (mnw.cur_window != wind_terms) return agreed;
  const float text_width = mnw.window_dx - 2 * kPanelLeft - 2 * kMargin - kSliderWidth;
  const std::vector<std::string> lines = terms_lines(t_terms_txt, text_width);
  int first = 0;
  for (;;) {
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    terms_panel(lines, &first);
    if (interface_rect(300, 10, 832, 166, 85, 22, 1, 1)) {
      xer << "The terms were declined.\n";
      agreed = 0;
      MACIBM_startwind(wind_main);
    } else if (interface_rect(400, 10, 918, 166, 59, 22, 1, 1)) {
      xer << "The terms were agreed to.\n";
      agreed = 1;
      MACIBM_startwind(wind_main);
    } else if (close_requested) {
      // Closing the program while the terms are up is no agreement.
      MACIBM_startwind(wind_main);
    }
    if (mnw.cur_window != wind_terms) {
      xer.flush();
      return agreed;
    }
    MACIBM_event_proc();
    if (mnw.cur_window != wind_terms) return agreed;
  }
}
