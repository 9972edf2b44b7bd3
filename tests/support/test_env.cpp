// Set before main in every test program, so before any OpenGL context.
//
// Mesa's shader disk cache writes into the user's cache folder, which a test
// must leave as it found it, and runs a thread whose condition variable a
// fork can copy in the middle of a wait: a death test's child that then
// draws hangs for ever. No test wants the cache, so none gets it; a value
// given from outside still counts.
#include <stdlib.h>

namespace {

const bool no_shader_cache = setenv("MESA_SHADER_CACHE_DISABLE", "true", 0) == 0;

}  // namespace
