// The frame function until the installer's screens exist: the installer's
// background and the build name, so the window shows our art and font from
// the first frame. A close request quits through the frame loop itself.
#include "core/constants.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "installer/app.h"

void APP_update() {
  // The 1024 x 768 background fills the lower three quarters of its
  // 1024 x 1024 texture.
  OGL_2dquad(tex_slot_ins_back_1, colr_art, 1.0f, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f,
             1024, 0, 1, 0, 1, 5);
  OGL_string(colr_normal_text, 20, 740, build_name[0], 9999, charset_ui, align_left);
}
