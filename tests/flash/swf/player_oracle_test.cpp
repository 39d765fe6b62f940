// A scripted movie in the browser player: it must print exactly the expected trace lines,
// and the player must report the stage, rate and frame count the writer put in the header.
#include <gtest/gtest.h>

#include "SwfMovies.h"
#include "support/Player.h"
#include "toolbox/Utf8.h"

using namespace swftest;

TEST(SwfPlayer, ScriptMoviePrintsItsTraces) {
  SKIP_WITHOUT_PLAYER();
  testsupport::ScratchDir dir;
  const auto path = dir / "script.swf";
  ScriptMovie movie;
  ASSERT_GT(WriteScriptMovie(PathString(toolbox::Utf8ToWide(path.string())), movie), 0u);
  testsupport::PlayerOptions options;
  options.until = "stopped";
  auto results = testsupport::RunInPlayer({path}, options);
  ASSERT_EQ(results.size(), 1u);
  auto& r = results[0];
  EXPECT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_EQ(r.traces, movie.traces);
  EXPECT_EQ(r.meta["width"], std::to_string(movie.width));
  EXPECT_EQ(r.meta["height"], std::to_string(movie.height));
  EXPECT_EQ(r.meta["frameRate"], "12");
  EXPECT_EQ(r.meta["numFrames"], std::to_string(movie.frames));
  EXPECT_EQ(r.meta["swfVersion"], "6");
}
