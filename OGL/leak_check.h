// Keeps the OpenGL vendor libraries and the driver loaded for the address
// sanitizer's leak check; does nothing in other builds.
#pragma once

// Under the address sanitizer the leak check runs at exit, after the OpenGL
// vendor libraries and the driver have been unloaded: what they keep for the
// process's life then shows with no module name, and no suppression
// (tools/lsan.supp) can set it aside. Loaded once more here, never to be
// unloaded, they keep their names, and their blocks stay reachable. Call it
// before the first OpenGL context is made.
void OGL_keep_libraries_for_leak_check();
