// OpenGL contexts for threads other than the main one, sharing textures and
// other objects with the main context.
#pragma once

// A new context shared with the main window's, or null when there is none to
// share with.
void* MACIBM_make_context_loader();
// Makes the context current on the calling thread; non-zero on success.
int MACIBM_set_context_loader(void* context);
