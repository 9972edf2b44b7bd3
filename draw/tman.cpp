#include "draw/tman.h"

tman_class tman;

alignas(16) static unsigned char scratch_array_storage[2048 * 2048 * 4 + 16];
unsigned char* scratch_array = scratch_array_storage;
int scratch_dx = 0, scratch_dy = 0;

int tman_class::load_texture(int, int, int, int, const char*) { return 0; }
