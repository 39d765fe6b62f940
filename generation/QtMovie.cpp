#include "generation/QtMovie.h"

#include <algorithm>
#include <cstring>

#include "framework/platform/WideText.h"
#include "generation/FfmpegLibraries.h"
#include "generation/FfmpegMediaSource.h"
#include "imaging/RasterImage.h"

namespace {

constexpr const char* kFormats =
    "image2,png_pipe,jpeg_pipe,bmp_pipe,gif,tiff_pipe,mov";

}  // namespace

struct QtMovie::State {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  int stream = -1;
  // A state exists only once the libraries are loaded.
  ~State() {
    Ffmpeg()->avcodec_free_context(&codec);
    Ffmpeg()->avformat_close_input(&format);
  }
};

QtMovie::QtMovie() = default;
QtMovie::~QtMovie() { Close(); }

void QtMovie::Close() { state_.reset(); }

bool QtMovie::OpenFile(const PathString& path) {
  Close();
  if (path.empty()) return false;
  const FfmpegLibraries* libraries = Ffmpeg();
  if (!libraries) return false;
  const FfmpegLibraries& ff = *libraries;
  auto s = std::make_unique<State>();
  const std::string url = "file:" + ToNativeString(path);
  AVDictionary* options = nullptr;
  ff.av_dict_set(&options, "protocol_whitelist", "file", 0);
  ff.av_dict_set(&options, "format_whitelist", kFormats, 0);
  int rc = ff.avformat_open_input(&s->format, url.c_str(), nullptr, &options);
  ff.av_dict_free(&options);
  if (rc < 0) return false;
  if (ff.avformat_find_stream_info(s->format, nullptr) < 0) return false;
  const AVCodec* decoder = nullptr;
  s->stream = ff.av_find_best_stream(s->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (s->stream < 0 || !decoder) return false;
  const AVCodecParameters* par = s->format->streams[s->stream]->codecpar;
  if (par->width > kMaxFrameSide || par->height > kMaxFrameSide) return false;
  s->codec = ff.avcodec_alloc_context3(decoder);
  if (!s->codec) return false;
  if (ff.avcodec_parameters_to_context(s->codec, s->format->streams[s->stream]->codecpar) < 0)
    return false;
  s->codec->thread_count = 1;
  // The decoder refuses a larger frame before it allocates one.
  s->codec->max_pixels = static_cast<int64_t>(kMaxFrameSide) * kMaxFrameSide;
  if (ff.avcodec_open2(s->codec, decoder, nullptr) < 0) return false;
  state_ = std::move(s);
  return true;
}

bool QtMovie::GrabFrameImage(uint32_t timeMs, RasterImage& out, const FrameRect* part,
                             uint32_t bitsPerPixel) {
  if (!state_ || (bitsPerPixel != 24 && bitsPerPixel != 32)) return false;
  State& s = *state_;
  const FfmpegLibraries& ff = *Ffmpeg();
  AVStream* st = s.format->streams[s.stream];
  const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  const int64_t target =
      start + ff.av_rescale_q(static_cast<int64_t>(timeMs), AVRational{1, 1000}, st->time_base);
  if (timeMs > 0) {
    if (ff.av_seek_frame(s.format, s.stream, target, AVSEEK_FLAG_BACKWARD) >= 0)
      ff.avcodec_flush_buffers(s.codec);
  }

  AVPacket* pkt = ff.av_packet_alloc();
  AVFrame* frame = ff.av_frame_alloc();
  bool got = false;
  bool draining = false;
  while (!got && pkt && frame) {
    if (!draining) {
      int rc = ff.av_read_frame(s.format, pkt);
      if (rc < 0) {
        draining = true;
        ff.avcodec_send_packet(s.codec, nullptr);
      } else {
        if (pkt->stream_index == s.stream) ff.avcodec_send_packet(s.codec, pkt);
        ff.av_packet_unref(pkt);
      }
    }
    for (;;) {
      int rc = ff.avcodec_receive_frame(s.codec, frame);
      if (rc < 0) break;
      int64_t t = frame->best_effort_timestamp;
      if (timeMs == 0 || t == AV_NOPTS_VALUE || t >= target) {
        got = true;
        break;
      }
      ff.av_frame_unref(frame);
    }
    if (draining && !got) break;
  }
  ff.av_packet_free(&pkt);

  bool ok = false;
  if (got && frame->width >= 1 && frame->height >= 1 && frame->width <= kMaxFrameSide &&
      frame->height <= kMaxFrameSide) {
    FrameRect r{0, 0, frame->height, frame->width};
    if (part) {
      r.top = std::clamp(part->top, 0, frame->height);
      r.bottom = std::clamp(part->bottom, 0, frame->height);
      r.left = std::clamp(part->left, 0, frame->width);
      r.right = std::clamp(part->right, 0, frame->width);
    }
    const AVPixelFormat dstFormat = bitsPerPixel == 32 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    SwsContext* sws = ff.sws_getContext(frame->width, frame->height,
                                     static_cast<AVPixelFormat>(frame->format), frame->width,
                                     frame->height, dstFormat, SWS_POINT, nullptr, nullptr,
                                     nullptr);
    // The converter may write past a row's end, so it writes into a padded frame of its own
    // and the rows are copied out.
    AVFrame* rgb = ff.av_frame_alloc();
    RasterImage cut;
    if (r.right > r.left && r.bottom > r.top && sws && rgb) {
      rgb->format = dstFormat;
      rgb->width = frame->width;
      rgb->height = frame->height;
      if (ff.av_frame_get_buffer(rgb, 0) >= 0 &&
          ff.sws_scale(sws, frame->data, frame->linesize, 0, frame->height, rgb->data,
                    rgb->linesize) == frame->height &&
          cut.Allocate(r.right - r.left, r.bottom - r.top, bitsPerPixel)) {
        const size_t bpp = bitsPerPixel / 8;
        for (int32_t y = r.top; y < r.bottom; ++y)
          std::memcpy(cut.Pixels() + static_cast<size_t>(y - r.top) * cut.RowBytes(),
                      rgb->data[0] + static_cast<ptrdiff_t>(y) * rgb->linesize[0] +
                          static_cast<size_t>(r.left) * bpp,
                      cut.RowBytes());
        ok = out.CopyFrom(cut);
      }
    }
    ff.av_frame_free(&rgb);
    ff.sws_freeContext(sws);
  }
  ff.av_frame_free(&frame);
  return ok;
}
