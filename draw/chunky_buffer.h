// Vertex data collected in fixed 1024-byte chunks, grouped in sub-regions,
// before its final size is known, then finalised in one step into a single
// buffer object (video memory) or one block of system memory; each
// sub-region then knows its byte offset in that one buffer.
#pragma once

class UTL_stat;

class OGL_chunkybuffer {
 public:
  enum { kChunkBytes = 1024 };

  struct chunk {
    chunk* next_chunk = nullptr;
    int free_bytes = kChunkBytes;  // the used length is kChunkBytes - free_bytes
    unsigned char data[kChunkBytes];
  };

  struct subregion {
    subregion* next_region = nullptr;
    chunk* first_chunk = nullptr;
    chunk* cur_chunk = nullptr;
    unsigned char* write_ptr = nullptr;  // where the next byte goes in cur_chunk
    int offset = 0;                      // in the finalised buffer
  };

  OGL_chunkybuffer() = default;
  ~OGL_chunkybuffer();
  OGL_chunkybuffer(const OGL_chunkybuffer&) = delete;
  OGL_chunkybuffer& operator=(const OGL_chunkybuffer&) = delete;

  // A new sub-region with one empty chunk, at the end of the list.
  subregion* new_subregion();
  // For writers: chains a new empty chunk after the region's current one and
  // makes it current.
  static chunk* append_chunk(subregion* region);

  // Sets each sub-region's offset and total_size from the chunks; after
  // finalising it keeps the finalised layout.
  void calc_offsets();
  // Into a buffer object (static or streamed use); the chunks are freed. The
  // array-buffer binding is as it was afterwards. A buffer already finalised
  // (in either form) is left as it is.
  void finalize_vbo(int static_data);
  // Into one block of memory at data; the chunks are freed. A buffer already
  // finalised is left as it is.
  void finalize_mem();

  // Maps the buffer object for reading and writing into data; nothing without
  // a buffer object or for one of 0 bytes. Both leave the array-buffer
  // binding as they found it.
  void map();
  void unmap();
  bool is_mapped() const { return vbo != 0 && data != nullptr; }

  void* data = nullptr;
  unsigned int vbo = 0;
  int total_size = 0;
  subregion* first = nullptr;
  subregion* last = nullptr;

 private:
  bool finalized_ = false;
  int counted_bytes_ = 0;  // what finalising added to "memory/chunky_buffers"
};

// "memory/chunky_buffers": the bytes held by every finalised chunky buffer.
UTL_stat& OGL_chunky_memory_stat();
