#include "generation/FfmpegLibraries.h"

#include <dlfcn.h>

#include <memory>

namespace {

#define BRIVANE_STRING(x) #x
#define BRIVANE_SONAME(lib, major) "lib" lib ".so." BRIVANE_STRING(major)

// The libraries of the FFmpeg version the code was built against, by their sonames; each one
// brings in what it depends on.
constexpr const char* kLibraries[] = {
    BRIVANE_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    BRIVANE_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    BRIVANE_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
    BRIVANE_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
};

// Loaded once and never unloaded: the libraries stay for the life of the process.
std::unique_ptr<FfmpegLibraries> Load() {
  void* handles[std::size(kLibraries)];
  for (size_t i = 0; i < std::size(kLibraries); ++i) {
    handles[i] = ::dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL);
    if (!handles[i]) return nullptr;
  }
  auto find = [&](const char* name) -> void* {
    for (void* handle : handles) {
      if (void* symbol = ::dlsym(handle, name)) return symbol;
    }
    return nullptr;
  };
  auto f = std::make_unique<FfmpegLibraries>();
#define BRIVANE_FFMPEG_RESOLVE(name)                                      \
  f->name = reinterpret_cast<decltype(&::name)>(find(BRIVANE_STRING(name))); \
  if (!f->name) return nullptr;
  BRIVANE_FFMPEG_FUNCTIONS(BRIVANE_FFMPEG_RESOLVE)
#undef BRIVANE_FFMPEG_RESOLVE
  // The system prints no traces of its own, nor FFmpeg's.
  f->av_log_set_level(AV_LOG_QUIET);
  return f;
}

}  // namespace

const FfmpegLibraries* Ffmpeg() {
  static const std::unique_ptr<FfmpegLibraries> libraries = Load();
  return libraries.get();
}
