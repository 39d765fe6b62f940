// FFmpeg comes into a process only when media is first opened: a process that merely links
// the media code (every one that loads a project) starts without it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "framework/platform/WideText.h"
#include "generation/FfmpegMediaSource.h"
#include "support/TestSupport.h"

namespace {

bool FfmpegMapped() {
  std::ifstream maps("/proc/self/maps");
  const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  return text.find("libavformat") != std::string::npos;
}

// Taken before main, whatever other tests of this process open later.
const bool kMappedAtStart = FfmpegMapped();

TEST(FfmpegLoading, LibrariesComeWithTheFirstMediaOpened) {
  EXPECT_FALSE(kMappedAtStart);
  testsupport::ScratchDir dir;
  FfmpegMediaSource source;
  EXPECT_FALSE(source.Open(FromNativeString((dir / "missing.mp3").string())));
  EXPECT_TRUE(FfmpegMapped());
}

}  // namespace
