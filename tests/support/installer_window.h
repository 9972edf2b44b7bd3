// The installer's window for tests that draw its screens: the shell's window
// (tests/support/shell_input.h) with what the installer draws with.
#pragma once

namespace testing_support {

// open_shell_window, then the GL capabilities, the installer's built-in
// images and the interface colours taken from them; false, with SDL's
// reason in *error, when there is no window.
bool open_installer_window(int pixel_dx, int pixel_dy, const char** error);

}  // namespace testing_support
