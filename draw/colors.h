// The program-wide colour table: every colour a drawing call takes is an index
// into it.
#pragma once

class colr_class {
 public:
  static constexpr int kCount = 128;

  // Entries are RGB floats 0 to 1; indices outside the table are ignored.
  void assign(int index, float r, float g, float b);

  float rgb[kCount][3] = {};
  // The current pulse level (0.4 to 1.0), written by the clock every frame.
  float pulse = 1.0f;
};

extern colr_class colr;
