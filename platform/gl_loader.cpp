// Loader contexts live with the window (window.cpp): each has its own hidden
// window, made on the main thread.
#include "platform/gl_loader.h"

#include "platform/window.h"

void* MACIBM_make_context_loader() { return PLAT_make_loader_context(); }

int MACIBM_set_context_loader(void* context) { return PLAT_set_loader_context(context); }
