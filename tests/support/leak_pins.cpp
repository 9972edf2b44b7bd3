// Under the address sanitizer the leak check runs at exit, after the OpenGL
// vendor libraries and the driver have been unloaded: what they leaked then
// shows with no module name, and no suppression can name it. Loading them
// once more here, never to be unloaded, keeps their names on those reports,
// so tools/lsan.supp can set them aside while our own leaks still count.
#include <dlfcn.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
struct pin_libraries {
  pin_libraries() {
    const char* const libraries[] = {"libEGL_mesa.so.0", "libGLX_mesa.so.0",
                                     "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                     "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so"};
    for (const char* library : libraries) dlopen(library, RTLD_LAZY | RTLD_GLOBAL | RTLD_NODELETE);
  }
};
const pin_libraries pinned;
#endif

}  // namespace
