#include "installer/ins_texes.h"

#include <cstring>

#include "draw/tman.h"

// Loading waits for the texture manager; until then the widget atlas is
// staged blank, so the interface colours read as black.
void recall_ins_texes() {
  scratch_dx = 512;
  scratch_dy = 512;
  memset(scratch_array, 0, 512 * 512 * 4);
  tman.load_texture(4, 388, 1282, 100, "scratch_array:hardwired textures");
}
