// The OpenGL capability record and its program-wide instance.
#pragma once

class OGL_extensions {
 public:
  // Threads may get a context shared with the main one; the option
  // "--no_threaded_ogl" clears it.
  int threaded_avail = 1;
};

extern OGL_extensions glExt;
