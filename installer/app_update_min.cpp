// The frame function until the installer's screens exist: a cleared window.
// A close request quits through the frame loop itself.
#include <GL/gl.h>

#include "installer/app.h"

void APP_update() {
  glClearColor(0.13f, 0.18f, 0.27f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}
