// Until the window and its context exist there is nothing to share with:
// threads run without a context of their own. The window code replaces these
// with real shared contexts.
#include "platform/gl_loader.h"

void* MACIBM_make_context_loader() { return nullptr; }

int MACIBM_set_context_loader(void* /*context*/) { return 0; }
