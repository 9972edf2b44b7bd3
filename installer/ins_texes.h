// The built-in images made textures, once, at start-up.
#pragma once

// Stages each of the four images in scratch_array and loads it into its slot
// (389, 390, 391, then 388, the widget atlas, which stays staged for the
// interface colours).
void recall_ins_texes();
