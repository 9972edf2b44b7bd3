// Names of the one-degree scenery tiles, and the bit layout of a runway's
// flag words, shared by the framework's scenery code.
#pragma once

#include <string>

// Bit positions and masks within a runway's common flag word, lowest field
// first (the surface in the lowest four bits, 26 bits in all).
enum runway_common_flags {
  rwy_surface_mask = 15,
  rwy_shoulder_offset = 4,
  rwy_shoulder_mask = 7,
  roughness_offset = 7,
  lgt_edge_offset = 19,
  lgt_edge_mask = 3,
  rcls_offset = 21,
  dis_remaining_offset = 22,
  end_sign_offset = 23,
  sealane_offset = 24,
  helipad_offset = 25,
  common_flags_count = 26,
};

// The same for the flag word of each runway end (25 bits in all).
enum runway_end_flags {
  lgt_gls_mask = 7,
  gls_slope_offset = 3,
  lgt_app_offset = 15,
  lgt_app_mask = 15,
  rwy_markings_offset = 19,
  rwy_markings_mask = 7,
  tdzl_offset = 22,
  reil_offset = 23,
  reil_mask = 3,
  per_side_flags_count = 25,
};

// The relative path of the tile whose south-west corner is (lat, lon), in
// its folder of ten by ten degrees: "+40-130/+47-122.dsf". Always 19
// characters; a digit that a value out of the world's range cannot fill is "0".
std::string& return_latlon_str_dsf(int lat, int lon, std::string* out);
