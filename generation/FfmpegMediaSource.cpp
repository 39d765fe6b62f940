#include "generation/FfmpegMediaSource.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "framework/platform/WideText.h"
#include "generation/FfmpegLibraries.h"

namespace {

constexpr const wchar_t* kCustomSoundExtensions[] = {L"aif", L"aiff", L"aifc", L"wav",
                                                     L"mp3", L"m4a"};
constexpr const wchar_t* kInputExtensions[] = {L"aif", L"aiff", L"aifc", L"wav",
                                               L"mp3", L"m4a",  L"mp4",  L"mov"};
// Demuxers of those files ("mov" is the demuxer of QuickTime, MPEG-4 and M4A files).
constexpr const char* kFormats = "wav,aiff,mp3,mov";

struct InputCloser {
  void operator()(AVFormatContext* c) const { Ffmpeg()->avformat_close_input(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

uint32_t SaturatedMs(double ms) {
  if (!(ms > 0)) return 0;
  if (ms >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(std::llround(ms));
}

// The end of the last packet of the stream, counted from the stream's start, in ms; -1 when
// no packet carries a time.
double CountedDurationMs(const FfmpegLibraries& ff, AVFormatContext* ctx, int stream) {
  AVStream* st = ctx->streams[stream];
  const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  int64_t end = std::numeric_limits<int64_t>::min();
  AVPacket* pkt = ff.av_packet_alloc();
  if (!pkt) return -1;
  while (ff.av_read_frame(ctx, pkt) >= 0) {
    if (pkt->stream_index == stream) {
      int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
      if (t != AV_NOPTS_VALUE && pkt->duration >= 0 &&
          t <= std::numeric_limits<int64_t>::max() - pkt->duration)
        end = std::max(end, t + pkt->duration);
    }
    ff.av_packet_unref(pkt);
  }
  ff.av_packet_free(&pkt);
  if (end == std::numeric_limits<int64_t>::min()) return -1;
  return static_cast<double>(end - start) * 1000.0 * av_q2d(st->time_base);
}

bool InTable(const std::wstring& ext, const wchar_t* const* first, const wchar_t* const* last) {
  return std::any_of(first, last, [&](const wchar_t* e) { return ext == e; });
}

}  // namespace

bool FfmpegMediaSource::ClaimsExtension(uint32_t table, const std::wstring& extension) const {
  if (table == 0)
    return InTable(extension, std::begin(kCustomSoundExtensions), std::end(kCustomSoundExtensions));
  if (table == 1)
    return InTable(extension, std::begin(kInputExtensions), std::end(kInputExtensions));
  return false;
}

bool FfmpegMediaSource::Open(const PathString& path) {
  width_ = height_ = 0;
  has_video_ = has_sound_ = false;
  duration_ms_ = 0;
  if (path.empty()) return false;
  const FfmpegLibraries* libraries = Ffmpeg();
  if (!libraries) return false;
  const FfmpegLibraries& ff = *libraries;

  // The "file:" prefix keeps a name with a colon from being read as another protocol.
  const std::string url = "file:" + ToNativeString(path);
  AVDictionary* options = nullptr;
  ff.av_dict_set(&options, "protocol_whitelist", "file", 0);
  ff.av_dict_set(&options, "format_whitelist", kFormats, 0);
  AVFormatContext* raw = nullptr;
  int rc = ff.avformat_open_input(&raw, url.c_str(), nullptr, &options);
  ff.av_dict_free(&options);
  if (rc < 0) return false;
  InputPtr ctx(raw);
  if (ff.avformat_find_stream_info(ctx.get(), nullptr) < 0) return false;

  int audio = -1, video = -1;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO && audio < 0 && par->sample_rate > 0 &&
        par->ch_layout.nb_channels > 0)
      audio = static_cast<int>(i);
    else if (par->codec_type == AVMEDIA_TYPE_VIDEO && video < 0 &&
             !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
      video = static_cast<int>(i);
  }
  if (audio < 0 && video < 0) return false;

  double ms = -1;
  if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0 &&
      ctx->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
    ms = static_cast<double>(ctx->duration) * 1000.0 / AV_TIME_BASE;
  else {
    // Only estimated from the bit rate (a VBR MP3 without a header) or not known: count.
    ms = CountedDurationMs(ff, ctx.get(), audio >= 0 ? audio : video);
    if (ms < 0 && ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0)
      ms = static_cast<double>(ctx->duration) * 1000.0 / AV_TIME_BASE;
  }

  has_sound_ = audio >= 0;
  has_video_ = video >= 0;
  if (has_video_) {
    const AVCodecParameters* par = ctx->streams[video]->codecpar;
    width_ = std::clamp(par->width, 0, kMaxSide);
    height_ = std::clamp(par->height, 0, kMaxSide);
  }
  duration_ms_ = SaturatedMs(ms);
  return true;
}
