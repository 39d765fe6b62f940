#pragma once
// The FFmpeg functions the media code calls, taken from the shared libraries the first time
// media is opened: a process that only loads a project never maps FFmpeg and its many
// dependencies.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#define BRIVANE_FFMPEG_FUNCTIONS(F)                                                          \
  F(av_dict_free) F(av_dict_set) F(av_find_best_stream) F(av_frame_alloc) F(av_frame_free)   \
  F(av_frame_get_buffer) F(av_frame_unref) F(av_log_set_level) F(av_packet_alloc)            \
  F(av_packet_free) F(av_packet_unref) F(av_read_frame) F(av_rescale_q) F(av_seek_frame)     \
  F(avcodec_alloc_context3) F(avcodec_flush_buffers) F(avcodec_free_context) F(avcodec_open2) \
  F(avcodec_parameters_to_context) F(avcodec_receive_frame) F(avcodec_send_packet)           \
  F(avformat_close_input) F(avformat_find_stream_info) F(avformat_open_input)                 \
  F(sws_freeContext) F(sws_getContext) F(sws_scale)

struct FfmpegLibraries {
#define BRIVANE_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
  BRIVANE_FFMPEG_FUNCTIONS(BRIVANE_FFMPEG_POINTER)
#undef BRIVANE_FFMPEG_POINTER
};

// The functions, loaded on the first call (with FFmpeg's own log output silenced); null when
// the libraries or one of the functions cannot be found. Safe from any thread.
const FfmpegLibraries* Ffmpeg();
