// The movie file behind the recorder: libavformat writes a fragmented ".mov"
// container with one Motion-JPEG ('jpeg') track through our own file
// descriptor, libavcodec encodes each picture and libswscale turns the BGRA
// read-back into the full-range 4:2:0 picture the encoder takes. The
// converter reads pairs of pixels and whole vectors at a time, past the end
// of a row of odd width, so it gets each picture copied into rows of an
// aligned stride whose spare pixels repeat the edge one.
#include "platform/movie/movie_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "Files/io_utils.h"

// [SECTION] The file under the container

namespace {

// Sample durations and time stamps are counted in this time base; the
// container keeps its own and the packets are rescaled to it.
const AVRational kMovieTimeBase = {1, 600};
const int kIoBufferSize = 32768;
// The converter's source rows: their stride is a multiple of this many bytes
// and leaves at least one spare pixel, the last row is repeated this many
// times below the picture, and the buffer ends in the padding the codec
// library asks of every input it reads with vector loads.
const int kSourceAlign = 64;
const int kSourceSpareRows = 2;
const int kBgraBytes = 4;

// The source stride for pictures `width` pixels wide.
int source_stride(int width) { return FFALIGN((width + 1) * kBgraBytes, kSourceAlign); }

// Copies a picture of exact-size rows into `dst` (rows of `stride` bytes,
// kSourceSpareRows more of them than the picture has), repeating each row's
// last pixel to its end and the last row below the picture.
void copy_padded(const unsigned char* bgra, int width, int height, uint8_t* dst, int stride) {
  const size_t row_bytes = size_t(width) * kBgraBytes;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dst + size_t(y) * stride;
    memcpy(row, bgra + size_t(y) * row_bytes, row_bytes);
    for (size_t x = row_bytes; x + kBgraBytes <= size_t(stride); x += kBgraBytes)
      memcpy(row + x, row + row_bytes - kBgraBytes, kBgraBytes);
  }
  const uint8_t* last = dst + size_t(height - 1) * stride;
  for (int y = height; y < height + kSourceSpareRows; ++y)
    memcpy(dst + size_t(y) * stride, last, size_t(stride));
}

struct file_sink {
  int fd = -1;
};

int sink_write(void* opaque, uint8_t* buf, int size) {
  const int fd = static_cast<file_sink*>(opaque)->fd;
  // Once its folder is gone the file only swallows what is written: nobody
  // could ever open it again, so that counts as a failed write.
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_nlink == 0) return AVERROR(ENOENT);
  int done = 0;
  while (done < size) {
    const ssize_t n = write(fd, buf + done, static_cast<size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return AVERROR(errno);
    if (n == 0) return AVERROR(EIO);
    done += static_cast<int>(n);
  }
  return size;
}

int64_t sink_seek(void* opaque, int64_t offset, int whence) {
  const int fd = static_cast<file_sink*>(opaque)->fd;
  if (whence & AVSEEK_SIZE) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

}  // namespace

struct movie_file_state {
  file_sink sink;
  AVFormatContext* container = nullptr;
  AVIOContext* io = nullptr;
  AVStream* track = nullptr;
  AVCodecContext* encoder = nullptr;
  AVFrame* picture = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* converter = nullptr;
  uint8_t* source = nullptr;  // the converter's padded copy of a picture
  int source_stride = 0;
  int width = 0, height = 0;
  int64_t next_pts = 0;
  bool header_written = false;

  ~movie_file_state() {
    sws_freeContext(converter);
    av_free(source);
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&encoder);
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
    if (container) container->pb = nullptr;
    avformat_free_context(container);
    if (sink.fd >= 0) close(sink.fd);
  }
};

int movie_file_supported() {
  return avcodec_find_encoder(AV_CODEC_ID_MJPEG) && av_guess_format("mov", nullptr, nullptr) ? 1
                                                                                             : 0;
}

// [SECTION] Writing

movie_file::movie_file() : s_(new movie_file_state) {}

movie_file::~movie_file() { delete s_; }

std::string movie_file::error_text(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

int movie_file::fail(stage where, int code) {
  if (stage_ == stage_none) {
    stage_ = where;
    code_ = code < 0 ? code : AVERROR_UNKNOWN;
  }
  return code_;
}

int movie_file::open(const std::string& path, int width, int height) {
  movie_file_state& s = *s_;
  s.width = width;
  s.height = height;
  s.sink.fd = UTL_open_regular(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
  if (s.sink.fd < 0) return fail(stage_create, AVERROR(errno));

  int r = avformat_alloc_output_context2(&s.container, nullptr, "mov", nullptr);
  if (r < 0) return fail(stage_track, r);
  s.track = avformat_new_stream(s.container, nullptr);
  if (!s.track) return fail(stage_track, AVERROR(ENOMEM));
  if ((r = open_encoder()) != 0 || (r = open_converter()) != 0) return r;
  return write_header();
}

int movie_file::open_encoder() {
  movie_file_state& s = *s_;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) return fail(stage_encoder, AVERROR_ENCODER_NOT_FOUND);
  s.encoder = avcodec_alloc_context3(codec);
  if (!s.encoder) return fail(stage_encoder, AVERROR(ENOMEM));
  s.encoder->width = s.width;
  s.encoder->height = s.height;
  s.encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
  s.encoder->color_range = AVCOL_RANGE_JPEG;
  s.encoder->time_base = kMovieTimeBase;
  // The compressor is one thread beside the frame loop, not a pool of them.
  s.encoder->thread_count = 1;
  // Normal quality: a fixed quantiser, as the fastest codec setting asked.
  s.encoder->flags |= AV_CODEC_FLAG_QSCALE;
  s.encoder->global_quality = FF_QP2LAMBDA * 4;
  int r = avcodec_open2(s.encoder, codec, nullptr);
  if (r < 0) return fail(stage_encoder, r);

  s.picture = av_frame_alloc();
  s.packet = av_packet_alloc();
  if (!s.picture || !s.packet) return fail(stage_encoder, AVERROR(ENOMEM));
  s.picture->format = s.encoder->pix_fmt;
  s.picture->width = s.width;
  s.picture->height = s.height;
  s.picture->color_range = AVCOL_RANGE_JPEG;
  if ((r = av_frame_get_buffer(s.picture, 0)) < 0) return fail(stage_encoder, r);
  return 0;
}

int movie_file::open_converter() {
  movie_file_state& s = *s_;
  // The planes are those of plain 4:2:0; asking for full range by name keeps
  // the converter from warning about the JPEG variant of the format.
  s.converter = sws_getContext(s.width, s.height, AV_PIX_FMT_BGRA, s.width, s.height,
                               AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!s.converter) return fail(stage_encoder, AVERROR(EINVAL));
  s.source_stride = source_stride(s.width);
  s.source = static_cast<uint8_t*>(
      av_mallocz(size_t(s.source_stride) * size_t(s.height + kSourceSpareRows) +
                 AV_INPUT_BUFFER_PADDING_SIZE));
  if (!s.source) return fail(stage_encoder, AVERROR(ENOMEM));
  const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(s.converter, coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
  return 0;
}

int movie_file::write_header() {
  movie_file_state& s = *s_;
  int r = avcodec_parameters_from_context(s.track->codecpar, s.encoder);
  if (r < 0) return fail(stage_track, r);
  s.track->codecpar->codec_tag = MKTAG('j', 'p', 'e', 'g');
  s.track->time_base = kMovieTimeBase;

  unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) return fail(stage_track, AVERROR(ENOMEM));
  s.io = avio_alloc_context(buffer, kIoBufferSize, 1, &s.sink, nullptr, sink_write, sink_seek);
  if (!s.io) {
    av_free(buffer);
    return fail(stage_track, AVERROR(ENOMEM));
  }
  s.container->pb = s.io;
  // A fragment per sample: the header and every finished sample are
  // self-contained on disk, so an interrupted take still plays.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "movflags", "frag_keyframe+empty_moov", 0);
  r = avformat_write_header(s.container, &options);
  av_dict_free(&options);
  if (r < 0) return fail(stage_track, r);
  s.header_written = true;
  avio_flush(s.io);
  if (s.io->error < 0) return fail(stage_track, s.io->error);
  return 0;
}

int movie_file::add_frame(const unsigned char* bgra, int duration) {
  if (stage_ != stage_none) return code_;
  movie_file_state& s = *s_;
  int r = av_frame_make_writable(s.picture);
  if (r < 0) return fail(stage_frame, r);
  copy_padded(bgra, s.width, s.height, s.source, s.source_stride);
  const uint8_t* const rows[1] = {s.source};
  const int stride[1] = {s.source_stride};
  sws_scale(s.converter, rows, stride, 0, s.height, s.picture->data, s.picture->linesize);
  s.picture->pts = s.next_pts;
  s.next_pts += duration;
  if ((r = avcodec_send_frame(s.encoder, s.picture)) < 0) return fail(stage_frame, r);
  for (;;) {
    r = avcodec_receive_packet(s.encoder, s.packet);
    if (r == AVERROR(EAGAIN)) break;
    if (r < 0) return fail(stage_frame, r);
    s.packet->duration = duration;
    s.packet->stream_index = s.track->index;
    av_packet_rescale_ts(s.packet, kMovieTimeBase, s.track->time_base);
    r = av_write_frame(s.container, s.packet);
    av_packet_unref(s.packet);
    if (r < 0) return fail(stage_sample, r);
  }
  // Each sample goes to the disk now, not when the buffer happens to fill.
  avio_flush(s.io);
  if (s.io->error < 0) return fail(stage_sample, s.io->error);
  return 0;
}

int movie_file::finish() {
  movie_file_state& s = *s_;
  if (s.header_written) {
    const int r = av_write_trailer(s.container);
    if (r < 0) fail(stage_finish, r);
    s.header_written = false;
    avio_flush(s.io);
    if (s.io->error < 0) fail(stage_finish, s.io->error);
  }
  if (s.sink.fd >= 0) {
    const int r = close(s.sink.fd);
    s.sink.fd = -1;
    if (r != 0) fail(stage_finish, AVERROR(errno));
  }
  return code_;
}
