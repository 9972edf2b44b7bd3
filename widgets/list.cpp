// The searchable list with type-ahead and its optional text field.
#include "widgets/list.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/clock.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "widgets/focus.h"
#include "widgets/frames.h"
#include "widgets/sliders.h"
#include "widgets/text_entry.h"

list_state g_list;

namespace {

constexpr std::string& type_ahead = g_list.type_ahead;
constexpr float& last_type_ahead = g_list.last_type_ahead;
constexpr int& current_list_id = g_list.current_list_id;
constexpr BTN_key_queue& list_keys = g_list.list_keys;

constexpr int kListMask =
    accept_nav | accept_letters | accept_digits | accept_sign | accept_printable;
constexpr int kRowStep = 10;

// Whether name begins with prefix, ignoring case; a shorter name never does.
bool begins_with(const std::string& name, const std::string& prefix) {
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

// The atlas column of an icon kind's cell; 0 none.
float icon_column(int kind) {
  for (const atlas::list_icon& icon : atlas::list_icons)
    if (icon.kind == kind) return float(icon.s);
  return 0;
}

// The caller's rows, first to last, and their getters; detail_of and
// icon_of may be null.
struct list_rows {
  int first, last;
  std::string (*name_of)(int row, void* ref);
  void* name_ref;
  std::string (*detail_of)(int row, void* ref);
  void* detail_ref;
  int (*icon_of)(int row, void* ref);
  void* icon_ref;
};

// The keys of the focused list: Down and Up move the selection, keeping it
// within k rows of the centre; a printable character extends the search
// (a pause of more than a second starts a new one) and selects the first
// row whose name begins with it.
void take_keys(int id, bool focused, const list_rows& rows, int k, int* scroll, int* selection) {
  if (focused && id != current_list_id) {
    type_ahead.clear();
    current_list_id = id;
  }
  auto reveal = [&]() {
    if (*selection > *scroll + k) *scroll = *selection - k;
    if (*selection < *scroll - k) *scroll = *selection + k;
  };
  list_keys.drain(id, focused, [&](int c, int vkey, int) {
    if (vkey == VYKO_VK_DOWN) {
      ++*selection;
      if (*selection > *scroll + k) *scroll = *selection - k;
      return;
    }
    if (vkey == VYKO_VK_UP) {
      --*selection;
      if (*selection < *scroll - k) *scroll = *selection + k;
      return;
    }
    if (!std::isprint(static_cast<unsigned char>(c))) return;
    if (xtim.act_time - last_type_ahead > 1.0f) type_ahead.clear();
    type_ahead += static_cast<char>(c);
    last_type_ahead = xtim.act_time;
    for (int row = rows.first; row <= rows.last; ++row) {
      if (!begins_with(rows.name_of(row, rows.name_ref), type_ahead)) continue;
      *selection = row;
      reveal();
      break;
    }
  });
}

// The wheel and a press in the list centred on y; 1 when the press was a
// double click on a row.
int take_mouse(bool in_box, float y, const list_rows& rows, int* scroll, int* selection) {
  if (in_box) {
    // This frame's wheel turns, used up here.
    *scroll -= mnw.wheel;
    mnw.wheel = 0;
  }
  *scroll = std::clamp(*scroll, rows.first, rows.last);
  int opened = 0;
  if (mnw.mouse_down && in_box) {
    // A press beside the rows (below the last one, above the first) selects
    // nothing, so a double click there opens nothing.
    const int row = *scroll - static_cast<int>(std::round((mnw.mouse_y - y) / kRowStep));
    if (row >= rows.first && row <= rows.last) {
      *selection = row;
      opened = mnw.mouse_double;
    }
  }
  *selection = std::clamp(*selection, rows.first, rows.last);
  return opened;
}

// The rows within k of the scroll row, centred on y: icon, name, detail,
// and the selected row's fill.
void draw_rows(float x, float y, float width, int k, const list_rows& rows, int scroll,
               int selection) {
  for (int i = -k; i <= k; ++i) {
    const int row = scroll + i;
    if (row < rows.first || row > rows.last) continue;
    const float ry = y - float(kRowStep * i);
    OGL_string(colr_path_text, x + 20, ry - 3, rows.name_of(row, rows.name_ref), 9999, charset_ui,
               align_left);
    if (rows.detail_of)
      OGL_string(colr_path_text, x + 242, ry - 3, rows.detail_of(row, rows.detail_ref), 9999,
                 charset_ui, align_left);
    if (rows.icon_of) {
      const float s = icon_column(rows.icon_of(row, rows.icon_ref));
      const float t = atlas::list_icon_t, side = atlas::list_icon_size;
      if (s > 0)
        BTN_atlas_quad(x + 4, ry - 6, x + 16, ry + 6, s, t, s + side, t + side, colr_white);
    }
    if (row == selection) OGL_fillrect(colr_dark_text, 0.25f, x + 18, ry - 5, width - 22, 10);
  }
}

}  // namespace

void BTN_reset_list() { g_list = list_state(); }

int BTN_list_and_search(int slider_slot, float x, float y, float width, float height, int* scroll,
                        int* selection, int first, int last, std::string* entry_text,
                        const std::string& entry_label, std::string (*name_of)(int row, void* ref),
                        void* name_ref, std::string (*detail_of)(int row, void* ref),
                        void* detail_ref, int (*icon_of)(int row, void* ref), void* icon_ref) {
  const list_rows rows{first, last, name_of, name_ref, detail_of, detail_ref, icon_of, icon_ref};
  x = std::round(x);
  y = std::round(y);
  if (width <= 0) width = io_dx;
  if (height <= 0) height = io_dy;
  const float bottom = y - height / 2, top = y + height / 2;
  const int k = static_cast<int>(height / 20) - 1;
  const int id = BTN_widget_id(x, y);
  const bool in_box = BTN_mouse_in(x, bottom, x + width, top);
  const bool focused =
      list_keys.register_focus(id, kListMask, BTN_clicked(x, bottom, x + width, top));
  take_keys(id, focused, rows, k, scroll, selection);
  if (entry_text) BTN_enterstring(x + 35, y - 131, entry_text, 36, entry_label, 252, 1);
  if (last < first) return 0;

  BTN_frame2(frame_text_panel, x, bottom, width, height, "");
  if (first < last) BTN_vert_slider(slider_slot, x + width + 16, bottom, top, first, last, scroll);
  const int opened = take_mouse(in_box, y, rows, scroll, selection);
  draw_rows(x, y, width, k, rows, *scroll, *selection);
  if (focused) OGL_framerect(colr_path_text, 1.0f, x, bottom, width, height);
  return opened;
}
