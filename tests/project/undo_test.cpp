// Undo and redo through the document's edit protocol: every kind of change comes back as
// saved bytes, the stack's limits, failures, the modified state, and the snapshots'
// private folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "job_xml_support.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"
#include "project_test_support.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

fs::path Native(const std::wstring& w) { return fs::path(ToNativeString(w)); }

fs::path OwnFolder() {
  PathString p;
  GetTemporaryPath(p, PathString(), true);
  return Native(p);
}

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTemporarySubfolder(L"_brivane_tests"));
    NoPresetEntry();
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(doc_.AddJobForFile(MakeFakeInput(dir_ / ("u" + std::to_string(i) + ".fake"), {320, 240, i == 1, true, 8000})));
    doc_.jobs.SelectAt(0);
  }
  void TearDown() override {
    doc_.New();
    RemoveTemporarySubfolder();
  }
  std::string Bytes() { return SavedBytes(doc_, dir_ / "state.bva"); }
  size_t SnapshotFiles() {
    size_t n = 0;
    for (auto& e : fs::directory_iterator(OwnFolder()))
      n += e.path().filename().string().rfind("_undo", 0) == 0 || e.path().filename().string().rfind("_redo", 0) == 0;
    return n;
  }

  testsupport::ScratchDir dir_;
  ProjectDocument doc_;
};

TEST_F(UndoTest, EveryKindOfChangeIsUndoneAndRedoneToTheSameBytes) {
  const std::vector<std::function<void(Job&)>> edits = {
      [](Job& j) { j.SetMovieSize(640, 480); },
      [](Job& j) { j.SetFrameRate(24.5f); },
      [](Job& j) { j.SetExportFormat(kExportMulti); },
      [](Job& j) { j.SetStartTime(1000); },
      [](Job& j) { j.video.SetOutputWidth(200); },
      [](Job& j) { j.audio.SetCodec(1); },
      [](Job& j) { j.image.SetDuration(5000); },
      [](Job& j) { j.movie.SetClickUrl(L"http://example.com/\u00e9"); },
      [](Job& j) { j.SetFadeIn(true); },
      [](Job& j) { j.SetUseWatermark(true); },
      // The publish size a player measured goes with the player.
      [](Job& j) {
        j.SetPlayer(new PlayerTemplate(L"p", L"", {4000, 4800, {{L"fixed_height", L"1"}}}));
        j.SetMovieSize(6400, 400);
        j.SetPlayer(nullptr);
      },
      // A matched movie refuses a video size no movie can have, and the other way round.
      [](Job& j) { j.video.SetOutputWidth(200); j.SetMatchVideoDimensions(true); j.video.SetOutputHeight(9000); },
      [](Job& j) { j.SetMatchVideoDimensions(false); j.video.SetOutputHeight(9000); j.SetMatchVideoDimensions(true); },
      // Removing the player of a movie that follows the video leaves no player's display size.
      [](Job& j) {
        j.video.SetOutputHeight(100);
        j.SetPlayer(new PlayerTemplate(L"p", L"", {4000, 4800, {{L"fixed_height", L"1"}}}));
        j.SetMatchVideoDimensions(true);
        j.SetPlayer(nullptr);
      },
      // A crop that leaves a source size no movie can have, while the movie follows the
      // video, is taken, and the video no longer follows the source.
      [](Job& j) {
        j.SetMatchVideoDimensions(true);
        j.video.SetMatchSourceDimensions(true);
        j.video.SetCrop(true);
        CropRect empty{0, 50, 31, 50};
        j.video.SetCropRect(empty);
      },
  };
  for (size_t i = 0; i < edits.size(); ++i) {
    SCOPED_TRACE(i);
    doc_.SetBatchMode(i % 2 == 1);
    const std::string before = Bytes();
    ASSERT_TRUE(doc_.Edit(edits[i]));
    const std::string after = Bytes();
    ASSERT_NE(before, after);
    ASSERT_TRUE(doc_.Undo());
    EXPECT_TRUE(Bytes() == before);
    ASSERT_TRUE(doc_.Redo());
    EXPECT_TRUE(Bytes() == after);
  }
}

TEST_F(UndoTest, TheStackKeepsFiveStepsAndTrimsTheOldestFiles) {
  std::vector<std::string> states{Bytes()};
  for (int i = 1; i <= 6; ++i) {
    ASSERT_TRUE(doc_.Edit([i](Job& j) { j.SetBackgroundColor(static_cast<uint32_t>(i)); }));
    states.push_back(Bytes());
  }
  EXPECT_EQ(doc_.undo.Count(), 5);
  EXPECT_EQ(doc_.undo.index, 5);
  EXPECT_EQ(SnapshotFiles(), 10u);
  for (int i = 5; i >= 1; --i) {
    ASSERT_TRUE(doc_.Undo());
    EXPECT_TRUE(Bytes() == states[static_cast<size_t>(i)]) << i;
  }
  EXPECT_FALSE(doc_.Undo());
  // An equal value records nothing and leaves no files.
  EXPECT_FALSE(doc_.Edit([](Job& j) { j.SetBackgroundColor(j.swf_bgcolor); }));
  EXPECT_EQ(SnapshotFiles(), 10u);
  EXPECT_TRUE(doc_.undo.CanRedo());
  EXPECT_TRUE(doc_.Edit([](Job& j) { j.SetBackgroundColor(99); }));
  EXPECT_FALSE(doc_.undo.CanRedo());
  EXPECT_TRUE(doc_.undo.CanUndo());
  doc_.New();  // closing the project removes its snapshots
  EXPECT_EQ(SnapshotFiles(), 0u);
}

TEST_F(UndoTest, AMissingSnapshotFailsTheUndoVisiblyAndChangesNothing) {
  ASSERT_TRUE(doc_.Edit([](Job& j) { j.SetBackgroundColor(5); }));
  const std::string after = Bytes();
  auto* step = static_cast<UndoSnapshot*>(doc_.undo.entries[0].get());
  fs::remove(Native(step->undo_file));
  AlertRecorder alerts;
  EXPECT_FALSE(doc_.Undo());
  EXPECT_EQ(doc_.undo.index, 1);
  EXPECT_TRUE(Bytes() == after);
  ASSERT_EQ(alerts.messages.size(), 1u);
  EXPECT_EQ(alerts.messages[0], NumberedText(kCannotUndoText));
}

TEST_F(UndoTest, TheProjectIsModifiedByEditsAndByChangesThatAreNoSteps) {
  ASSERT_TRUE(doc_.Save(PathString(FromNativeString((dir_ / "p.bva").string()))));
  EXPECT_FALSE(doc_.IsModified());
  ASSERT_TRUE(doc_.Edit([](Job& j) { j.SetProtect(true); }));
  EXPECT_TRUE(doc_.IsModified());
  ASSERT_TRUE(doc_.Save(doc_.path));
  EXPECT_FALSE(doc_.IsModified());
  ASSERT_TRUE(doc_.Undo());
  EXPECT_FALSE(doc_.IsModified());
  const std::vector<std::function<void()>> changes = {
      [&] { doc_.RemoveJobAt(0); },
      [&] { doc_.AddJobForFile(MakeFakeInput(dir_ / "new.fake", {0, 0, false, true, 100})); },
      [&] { doc_.SetBatchMode(!doc_.jobs.batch_mode); },
      [&] { doc_.ChoosePreset(FindPresetList(0)->current); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    ASSERT_TRUE(doc_.Save(doc_.path));
    changes[i]();
    EXPECT_TRUE(doc_.IsModified()) << i;
  }
}

TEST_F(UndoTest, DeleteUndoFilesKeepsOtherNames) {
  const fs::path own = OwnFolder();
  EXPECT_EQ(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_all);
  for (const char* name : {"_undo", "_undo7", "_redoX", "_Undo1", "undo1", "_und"})
    testsupport::WriteFile(own / name, "x");
  DeleteUndoFiles();
  std::vector<std::string> left;
  for (auto& e : fs::directory_iterator(own)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  left.erase(std::remove_if(left.begin(), left.end(), [](auto& n) { return n[0] == '.' || n == "lock"; }), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"_Undo1", "_und", "undo1"}));
}

// Two copies of the application at once: the second one's start and exit never touch the
// first one's snapshots, so the first one's undos restore its own states.
TEST(UndoProcesses, TwoCopiesKeepTheirOwnSnapshots) {
  testsupport::ScratchDir dir;
  auto copy = [&](int which, int readyFd, int goFd) {
    CreateTemporarySubfolder(L"_brivane_tests2");
    if (which == 2) DeleteUndoFiles();
    NoPresetEntry();
    ProjectDocument doc;
    doc.AddJobForFile(MakeFakeInput(dir / ("p" + std::to_string(which) + ".fake"), {0, 0, false, true, 9000}));
    doc.jobs.SelectAt(0);
    std::vector<std::string> before;
    for (int i = 0; i < 3; ++i) {
      before.push_back(SavedBytes(doc, dir / ("c" + std::to_string(which) + ".bva")));
      doc.Edit([&](Job& j) { j.SetBackgroundColor(static_cast<uint32_t>(100 * which + i)); });
    }
    char c = 1;
    if (which == 1) {
      if (write(readyFd, &c, 1) != 1 || read(goFd, &c, 1) != 1) _exit(3);
      for (int i = 2; i >= 0; --i)
        if (!doc.Undo() || SavedBytes(doc, dir / "c1.bva") != before[static_cast<size_t>(i)]) _exit(1);
    } else {
      doc.New();
      DeleteUndoFiles();
      RemoveTemporarySubfolder();
    }
    _exit(0);
  };
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t first = fork();
  if (first == 0) copy(1, ready[1], go[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  const pid_t second = fork();
  if (second == 0) copy(2, -1, -1);
  int status = 0;
  waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(write(go[1], &c, 1), 1);
  waitpid(first, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

}  // namespace
