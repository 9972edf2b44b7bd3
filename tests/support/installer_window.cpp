// The installer's window for tests: the shell's window and the installer's art.
#include "tests/support/installer_window.h"

#include "core/globals.h"
#include "installer/ins_texes.h"
#include "platform/gl_hooks.h"
#include "platform/startup.h"
#include "tests/support/shell_input.h"

namespace testing_support {

bool open_installer_window(int pixel_dx, int pixel_dy, const char** error) {
  if (!open_shell_window(pixel_dx, pixel_dy, error)) return false;
  PLAT_gl_probe();
  PLAT_gl_pix_specs(0);
  mnw.tex_res = 5;
  recall_ins_texes();
  MACIBM_take_interface_colours();
  return true;
}

}  // namespace testing_support
