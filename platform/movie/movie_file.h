// One movie file being written: a Motion-JPEG video track in a ".mov" file,
// each sample carrying its own duration in units of 1/600 s. Samples are
// written as movie fragments, so what reached the disk stays playable when
// writing stops half-way (a full disk, a crash). One thread at a time.
#pragma once

#include <string>

struct movie_file_state;

class movie_file {
 public:
  // The step that failed; the recorder words its alert by it.
  enum stage {
    stage_none = 0,
    stage_create,   // the file could not be made
    stage_track,    // the container, its track or its header
    stage_encoder,  // the JPEG encoder or the picture converter
    stage_frame,    // a picture could not be encoded
    stage_sample,   // a sample could not be written
    stage_finish,   // the end of the file could not be written or closed
  };

  movie_file();
  // Closes the file (unfinished) when finish() was not called.
  ~movie_file();
  movie_file(const movie_file&) = delete;
  movie_file& operator=(const movie_file&) = delete;

  // Creates or replaces the file for pictures of width by height pixels.
  // 0, or a negative error code with failed_stage() saying where.
  int open(const std::string& path, int width, int height);
  // Encodes one picture (width x height BGRA pixels, top row first) shown for
  // `duration` units of 1/600 s, and writes it. 0 or an error code; after a
  // failure every later call fails with the same code.
  int add_frame(const unsigned char* bgra, int duration);
  // Writes the end of the file and closes it, even after a failure (the
  // samples already written stay readable). 0, or the first error code.
  int finish();

  stage failed_stage() const { return stage_; }
  int failed_code() const { return code_; }
  // The library's text for an error code.
  static std::string error_text(int code);

 private:
  int fail(stage where, int code);
  // The steps of open after the file and the container's track: the JPEG
  // encoder with its picture and packet, the BGRA converter with its padded
  // source, and the track's parameters, the output and the header. Each
  // returns 0 or fail()'s code.
  int open_encoder();
  int open_converter();
  int write_header();

  movie_file_state* s_;
  stage stage_ = stage_none;
  int code_ = 0;
};

// Whether this build can write movies at all (the JPEG encoder and the
// container writer are there).
int movie_file_supported();
