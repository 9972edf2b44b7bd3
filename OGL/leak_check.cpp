// The OpenGL libraries pinned for the address sanitizer's leak check.
#include "OGL/leak_check.h"

#include <dlfcn.h>

void OGL_keep_libraries_for_leak_check() {
#if defined(__SANITIZE_ADDRESS__)
  const char* const libraries[] = {"libEGL_mesa.so.0", "libGLX_mesa.so.0",
                                   "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                   "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so"};
  for (const char* library : libraries) dlopen(library, RTLD_LAZY | RTLD_GLOBAL | RTLD_NODELETE);
#endif
}
