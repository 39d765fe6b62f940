// The job list and the project file: open, save and their failures, through the document
// object the main window owns.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "job_xml_support.h"
#include "project/Preset.h"
#include "project/ProjectDocument.h"
#include "project_test_support.h"
#include "support/TestSupport.h"
#include "toolbox/Launch.h"

namespace fs = std::filesystem;

namespace {

std::wstring W(const fs::path& p) { return FromNativeString(p.string()); }

// A project of `n` jobs on fake inputs in `dir`, each with other values, and one job
// without input.
void MakeProject(ProjectDocument& doc, const fs::path& dir, int n) {
  NoPresetEntry();
  for (int i = 0; i < n; ++i) {
    const PathString input = MakeFakeInput(dir / ("in" + std::to_string(i) + ".fake"),
                                           {640, 360, i % 2 == 0, true, 5000u + 100u * i});
    Job* job = doc.jobs.AddJobForFile(input);
    ASSERT_TRUE(job);
    job->ApplyPreset(FindPresetList(0)->current, true);
    FillJob(*job);
    job->start_msec = 10u * i;
    job->end_msec = 4000u + i;
    job->fade_in_msec = 20u * i;
    job->fade_out_msec = 30u * i;
    job->swf_fps = 1.5f + static_cast<float>(i);
    job->swf_bgcolor = 0x10203u * static_cast<uint32_t>(i);
    job->audio.bit_rate = 32 + 16 * i;
  }
  doc.jobs.jobs.push_back(std::make_unique<Job>(&doc.jobs));  // no input
  doc.jobs.jobs.back()->ApplyPreset(FindPresetList(0)->current, true);
  doc.jobs.SelectAt(1);
  doc.jobs.SetBatchMode(true);
}

// The texts are formats: those that take the path or list hold exactly one "%ls", the
// others no conversion at all.
TEST(ProjectTexts, EachNumberedTextFormatsWithItsArguments) {
  const std::wstring arg = L"/a/100% sure %s.wav";
  for (int number : {101, 102, 103, 112, kCannotUndoText, kCannotRedoText, kProjectTooLargeText, 1066, 2700, 2701, 2702, 2705, 2707,
                     kNoSoundText, 2803, kJobsLeftOutText, 10000}) {
    SCOPED_TRACE(number);
    const std::wstring text = NumberedText(number);
    ASSERT_FALSE(text.empty());
    const bool takesPath = number == kNoSoundText || number == 2803 || number == kJobsLeftOutText;
    const size_t first = text.find(L'%');
    if (!takesPath) {
      EXPECT_EQ(first, std::wstring::npos);
      continue;
    }
    EXPECT_EQ(text.compare(first, 3, L"%ls"), 0);
    EXPECT_EQ(text.find(L'%', first + 1), std::wstring::npos);
    WideText out;
    ASSERT_TRUE(out.Format(text.c_str(), arg.c_str()));
    EXPECT_NE(std::wstring(out.CStr()).find(arg), std::wstring::npos);
  }
}

TEST(JobList, RemovingTheCurrentJobLeavesNoCurrentJob) {
  JobList list;
  for (int i = 0; i < 4; ++i) list.jobs.push_back(std::make_unique<Job>(&list));
  ASSERT_TRUE(list.SelectAt(2));
  EXPECT_TRUE(list.RemoveAt(list.CurrentIndex()));
  EXPECT_EQ(list.CurrentIndex(), -1);
  EXPECT_EQ(list.CurrentJob(), nullptr);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.JobAt(i)->owner, &list);
  ASSERT_TRUE(list.SelectAt(0));
  EXPECT_TRUE(list.Remove(list.CurrentJob()));
  EXPECT_EQ(list.CurrentIndex(), -1);
  EXPECT_FALSE(list.Remove(nullptr));
  EXPECT_FALSE(list.RemoveAt(2));
}

TEST(ProjectFile, SaveOpenSaveGivesTheSameBytesAndTheSidecarType) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 6);
  ASSERT_TRUE(doc.Save(W(dir / "a.bva")));
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(doc.path, W(dir / "a.bva"));
  ProjectDocument other;
  ASSERT_TRUE(other.Open(W(dir / "a.bva")));
  EXPECT_EQ(other.jobs.Count(), 7);
  EXPECT_EQ(other.jobs.CurrentIndex(), 1);
  EXPECT_TRUE(other.jobs.batch_mode);
  ASSERT_TRUE(other.Save(W(dir / "b.bva")));
  EXPECT_TRUE(testsupport::ReadFile(dir / "a.bva") == testsupport::ReadFile(dir / "b.bva"));
  const std::string sidecar = testsupport::ReadFile(dir / "._a.bva");
  EXPECT_NE(sidecar.find("pBvaBvaw"), std::string::npos);
}

TEST(ProjectFile, AFileThatIsNotAProjectChangesNothing) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 2);
  ASSERT_TRUE(doc.Save(W(dir / "mine.bva")));
  const std::string mine = testsupport::ReadFile(dir / "mine.bva");
  std::string noise(3000, '\0');
  std::mt19937 rng(7);
  for (char& c : noise) c = static_cast<char>(rng());
  testsupport::WriteFile(dir / "noise.bva", noise);
  testsupport::WriteFile(dir / "other.bva", "<xml version=\"1.0\">\n<castora_jobs />\n</xml>\n");
  {
    AlertRecorder alerts;
    EXPECT_FALSE(doc.Open(W(dir / "noise.bva")));
    EXPECT_FALSE(doc.Open(W(dir / "other.bva")));
    EXPECT_FALSE(doc.Open(W(dir / "absent.bva")));
    EXPECT_EQ(alerts.messages.size(), 3u);
    if (alerts.messages.size() == 3u) {
      EXPECT_EQ(alerts.messages[0], NumberedText(101));
      EXPECT_EQ(alerts.messages[1], NumberedText(102));
      EXPECT_EQ(alerts.messages[2], NumberedText(112));
    }
  }
  EXPECT_EQ(doc.path, W(dir / "mine.bva"));
  EXPECT_EQ(doc.jobs.Count(), 3);
  ASSERT_TRUE(doc.Save(doc.path));
  EXPECT_EQ(testsupport::ReadFile(dir / "mine.bva"), mine);
  EXPECT_EQ(testsupport::ReadFile(dir / "noise.bva"), noise);

  // A "castora_jobs" without jobs is an empty project.
  testsupport::WriteFile(dir / "empty.bva",
                         "<xml version=\"1.0\">\n<brivane><castora_jobs /></brivane>\n</xml>\n");
  EXPECT_TRUE(doc.Open(W(dir / "empty.bva")));
  EXPECT_EQ(doc.jobs.Count(), 0);
}

// A save past the process's file-size limit fails as on a full disk where the program
// ignores SIGXFSZ or catches it as the application does: reported, the old file kept, the
// temporary file removed; a program started then begins with the signal's default. The
// writer leaves the signal alone: a program that keeps the default ends by it, the old
// file kept (the temporary it leaves goes with the next save).
TEST(ProjectFile, AFailedSaveIsReportedAndKeepsTheOldFile) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 1);
  ASSERT_TRUE(doc.Save(W(dir / "p.bva")));
  const std::string before = testsupport::ReadFile(dir / "p.bva");
  MakeProject(doc, dir.path(), 40);
  const auto entries = [&] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };
  const auto entriesBefore = entries();
  enum Program { Ignores, CatchesAsTheApplication, KeepsTheDefault };
  for (Program program : {Ignores, CatchesAsTheApplication, KeepsTheDefault}) {
    SCOPED_TRACE(program);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGXFSZ, program == Ignores ? SIG_IGN : SIG_DFL);
      if (program == CatchesAsTheApplication) {
        toolbox::CatchFileSizeLimitSignal();
        // Bit 25 of the ignored signals of a program started now.
        const std::string ignored = testsupport::Run("grep ^SigIgn: /proc/self/status");
        if (ignored.size() < 8 || (std::stoull(ignored.substr(7), nullptr, 16) >> (SIGXFSZ - 1) & 1)) _exit(2);
      }
      rlimit limit{2000, 2000};
      setrlimit(RLIMIT_FSIZE, &limit);
      AlertRecorder alerts;
      const bool saved = doc.Save(W(dir / "p.bva"));
      const bool reported = alerts.messages.size() == 1 && alerts.messages[0] == NumberedText(103);
      _exit(!saved && reported ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (program == KeepsTheDefault)
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    else
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(testsupport::ReadFile(dir / "p.bva"), before);
    EXPECT_EQ(entries(), entriesBefore + (program == KeepsTheDefault ? 1 : 0));
  }
}

// A name of 254 or 255 bytes leaves no room for the "._" of a sidecar: such a project saves
// without one (its type and creator are left out for that file), replaces itself and opens
// again.
TEST(ProjectFile, AProjectNamedTooLongForASidecarSavesAndOpensAgain) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 1);
  std::string cjk;
  for (int i = 0; i < 83; ++i) cjk += "\xE4\xB8\xAD";
  for (const char* tail : {"x.bva", "xy.bva"}) {
    const fs::path file = dir / (cjk + tail);
    SCOPED_TRACE(file.filename().string().size());
    ASSERT_TRUE(doc.Save(W(file)));
    ASSERT_TRUE(doc.Save(W(file)));
    ProjectDocument other;
    ASSERT_TRUE(other.Open(W(file)));
    EXPECT_EQ(other.jobs.Count(), 2);
  }
  // The input, the two projects, and nothing left over.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// Every project that saves opens again, and its undo steps load: 7,000 jobs made an
// 18.9 MB file that its own reader refused. Past the caps the reader holds, Save refuses,
// says so and changes nothing.
TEST(ProjectFile, EveryProjectThatSavesOpensAgainAndOneTooLargeIsRefused) {
  testsupport::ScratchDir dir;
  // The undo snapshots live in a folder of this process's own, as in the application, so
  // that test processes running beside this one cannot take or remove them.
  ASSERT_TRUE(CreateTemporarySubfolder(L"_brivane_tests"));
  struct Leave {
    ~Leave() { RemoveTemporarySubfolder(); }
  } leave;
  NoPresetEntry();
  ProjectDocument doc;
  for (int i = 0; i < 7000; ++i) {
    doc.jobs.jobs.push_back(std::make_unique<Job>(&doc.jobs));
    doc.jobs.jobs.back()->output = L"/movies/out " + std::to_wstring(i) + L" \u00e9t\u00e9 & co.swf";
  }
  const fs::path big = dir / "big.bva";
  ASSERT_TRUE(doc.Save(W(big)));
  EXPECT_GT(fs::file_size(big), 16u << 20);
  ProjectDocument other;
  {
    AlertRecorder alerts;
    ASSERT_TRUE(other.Open(W(big)));
    EXPECT_TRUE(alerts.messages.empty());
  }
  ASSERT_EQ(other.jobs.Count(), 7000);
  EXPECT_EQ(other.jobs.jobs.back()->output, doc.jobs.jobs.back()->output);
  other.jobs.SelectAt(6999);
  ASSERT_TRUE(other.Edit([](Job& j) { j.SetFrameRate(30); }));
  ASSERT_TRUE(other.Undo());
  ASSERT_EQ(other.jobs.Count(), 7000);
  EXPECT_EQ(other.jobs.jobs.back()->swf_fps, doc.jobs.jobs.back()->swf_fps);

  const std::string before = testsupport::ReadFile(big);
  other.limits.maxFileSize = 8u << 20;
  {
    AlertRecorder alerts;
    EXPECT_FALSE(other.Save(W(big)));
    ASSERT_EQ(alerts.messages.size(), 1u);
    EXPECT_EQ(alerts.messages[0], NumberedText(kProjectTooLargeText));
  }
  EXPECT_EQ(testsupport::ReadFile(big), before);
  ASSERT_TRUE(other.Redo());
  EXPECT_TRUE(other.IsModified());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);  // and its sidecar
}

TEST(ProjectFile, ASymbolicLinkKeepsPointingAtTheSavedProject) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 1);
  testsupport::WriteFile(dir / "real.bva", "old");
  fs::create_symlink(dir / "real.bva", dir / "link.bva");
  ASSERT_TRUE(doc.Save(W(dir / "link.bva")));
  EXPECT_TRUE(fs::is_symlink(dir / "link.bva"));
  EXPECT_NE(testsupport::ReadFile(dir / "real.bva"), "old");
}

TEST(ProjectFile, JobsLeftOutAndPlayersNotFoundAreNamedInOneMessage) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 3);
  doc.jobs.jobs.pop_back();
  std::string noise(4000, '\0');
  std::mt19937 rng(3);
  for (char& c : noise) c = static_cast<char>(rng());
  testsupport::WriteFile(dir / "broken.wav", noise);
  doc.jobs.jobs[1]->input = W(dir / "broken.wav");
  ASSERT_TRUE(doc.Save(W(dir / "p.bva")));
  std::string text = testsupport::ReadFile(dir / "p.bva");
  const std::string close = "</castora_data>\n";
  const size_t third = text.rfind(close);
  text.insert(third, "<player_data name=\"Gone\" />\n");
  testsupport::WriteFile(dir / "p.bva", text);

  AlertRecorder alerts;
  ASSERT_TRUE(doc.Open(W(dir / "p.bva")));
  EXPECT_EQ(doc.jobs.Count(), 2);
  EXPECT_EQ(doc.jobs.JobAt(1)->Player(), nullptr);
  ASSERT_EQ(alerts.messages.size(), 1u);
  EXPECT_NE(alerts.messages[0].find(W(dir / "broken.wav")), std::wstring::npos);
  EXPECT_NE(alerts.messages[0].find(W(dir / "in2.fake") + L" (\u201cGone\u201d)"), std::wstring::npos);

  // Hundreds of jobs left out: the first ten are named, a job without an input by its place,
  // and the rest counted.
  std::string many = text.substr(0, text.find("<castora_data "));
  many += "<castora_data output=\"/" + std::string(4096, 'o') + "\" />\n";
  for (int i = 0; i < 200; ++i) many += "<castora_data input=\"" + (dir / "broken.wav").string() + "\" />\n";
  many += text.substr(text.find("</castora_jobs>"));
  testsupport::WriteFile(dir / "many.bva", many);
  alerts.messages.clear();
  ASSERT_TRUE(doc.Open(W(dir / "many.bva")));
  ASSERT_EQ(alerts.messages.size(), 1u);
  const std::wstring& listed = alerts.messages[0];
  EXPECT_EQ(std::count(listed.begin(), listed.end(), L'\n'), 12) << listed;
  EXPECT_NE(listed.find(L"\nthe job in place 1 of the project, which names no audio file\n"), std::wstring::npos);
  EXPECT_TRUE(listed.ends_with(L"\nand 191 more")) << listed;
}

// The text with the attribute of the first `element` set to `value` (added when absent).
std::string WithAttribute(std::string text, const std::string& element, const std::string& name,
                          const std::string& value) {
  const size_t open = text.find("<" + element + " ");
  const size_t end = text.find('>', open);
  const size_t at = text.find(" " + name + "=\"", open);
  if (at < end) {
    const size_t from = at + name.size() + 3;
    text.replace(from, text.find('"', from) - from, value);
  } else {
    text.insert(open + 1 + element.size(), " " + name + "=\"" + value + "\"");
  }
  return text;
}

// A path longer than the system takes names no file. It is refused where a job sets it; a
// job holding one, in any of its path attributes, is left out of the project and named (cut
// short); a project holding one is not saved. Opening a large one costs about what the
// parser needs: the path was once copied four times over in wide text.
TEST(ProjectFile, PathsLongerThanTheSystemTakesAreRefused) {
  testsupport::ScratchDir dir;
  const std::wstring tooLong = L"/" + std::wstring(4095, L'a');
  {
    Job job(nullptr);
    EXPECT_FALSE(job.SetOutputPath(tooLong));
    EXPECT_FALSE(job.SetInputFile(tooLong));
    EXPECT_TRUE(job.output.empty() && job.input.empty());
    EXPECT_TRUE(job.SetOutputPath(tooLong.substr(1)));
  }
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 1);
  ASSERT_TRUE(doc.Save(W(dir / "p.bva")));
  const std::string saved = testsupport::ReadFile(dir / "p.bva");
  const std::pair<const char*, const char*> attributes[] = {
      {"castora_data", "input"},        {"castora_data", "output"},   {"audio_data", "custom_audio"},
      {"watermark_data", "src"},        {"publish_data", "output_folder"}, {"jukebox_data", "artwork_path"}};
  // 4,096 bytes as UTF-8 are one too many, though only 1,366 characters; a relative path
  // of 4,093 bytes fits as written, but not once joined to the project's folder.
  std::string euros = "/";
  for (int i = 0; i < 1365; ++i) euros += "\u20ac";
  const std::string relative = "sub/" + std::string(4089, 'r');
  for (const std::string& value : {euros, relative}) {
    for (const auto& [element, name] : attributes) {
      SCOPED_TRACE(std::string(name) + " " + value.substr(0, 4));
      testsupport::WriteFile(dir / "h.bva", WithAttribute(saved, element, name, value));
      ProjectDocument other;
      AlertRecorder alerts;
      ASSERT_TRUE(other.Open(W(dir / "h.bva")));
      EXPECT_EQ(other.jobs.Count(), 1);
      ASSERT_EQ(alerts.messages.size(), 1u);
      const std::wstring listed = std::string(name) == "input" ? L"\n" + W(value).substr(0, 60) : W(dir / "in0.fake");
      EXPECT_NE(alerts.messages[0].find(listed), std::wstring::npos);
      if (value == euros) {
        EXPECT_LT(alerts.messages[0].size(), 1000u);  // named cut short
      }
    }
  }

  doc.jobs.jobs[0]->output = tooLong;
  {
    AlertRecorder alerts;
    EXPECT_FALSE(doc.Save(W(dir / "p.bva")));
    ASSERT_EQ(alerts.messages.size(), 1u);
    EXPECT_EQ(alerts.messages[0], NumberedText(kCannotSaveText));
  }
  EXPECT_EQ(testsupport::ReadFile(dir / "p.bva"), saved);

#if !defined(__SANITIZE_ADDRESS__)
  testsupport::WriteFile(dir / "big.bva", WithAttribute(saved, "castora_data", "output", "/" + std::string(64u << 20, 'A')));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit cap{640u << 20, 640u << 20};
    setrlimit(RLIMIT_AS, &cap);
    ProjectDocument other;
    AlertRecorder alerts;
    const bool opened = other.Open(W(dir / "big.bva"));
    _exit(opened && other.jobs.Count() == 1 && alerts.messages.size() == 1 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

// A pipe or a device named as input would have the media layer wait or read forever.
TEST(ProjectFile, AnInputThatIsNoPlainFileLeavesTheJobOut) {
  testsupport::ScratchDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  for (const std::string& input : {(dir / "pipe.wav").string(), std::string("/dev/zero")}) {
    testsupport::WriteFile(dir / "job.xml", "<xml>\n<castora_data input=\"" + input + "\" >\n</castora_data>\n</xml>\n");
    EXPECT_FALSE(ReadJobFile(dir / "job.xml")) << input;
  }
}

TEST(ProjectFile, ValuesOutsideTheSettersLimitsAreClampedWhileReading) {
  testsupport::ScratchDir dir;
  const PathString input = MakeFakeInput(dir / "short.fake", {0, 0, false, true, 1500});
  testsupport::WriteFile(dir / "job.xml",
                         "<xml version=\"1.0\">\n<castora_data input=\"" + (dir / "short.fake").string() +
                             "\" swf_width=\"0\" swf_height=\"4000000000\" swf_fps=\"nan\" "
                             "end_msec=\"90000\" start_msec=\"5000\" fade_in_msec=\"99999\" >\n"
                             "</castora_data>\n</xml>\n");
  auto job = ReadJobFile(dir / "job.xml");
  ASSERT_TRUE(job);
  EXPECT_EQ(job->input, input);
  EXPECT_EQ(job->swf_width, 1u);
  EXPECT_EQ(job->swf_height, 10000u);
  EXPECT_EQ(job->swf_fps, 12.0f);
  EXPECT_EQ(job->end_msec, 1500u);
  EXPECT_EQ(job->start_msec, 1500u);
  EXPECT_EQ(job->fade_in_msec, 1500u);
  testsupport::WriteFile(dir / "fps.xml", "<xml>\n<castora_data swf_fps=\"1e300\" >\n</castora_data>\n</xml>\n");
  job = ReadJobFile(dir / "fps.xml");
  ASSERT_TRUE(job);
  EXPECT_EQ(job->swf_fps, 120.0f);
}

// Killed at any moment, a save leaves the old or the new file whole, and never a file
// without its type: a first save as much as one that replaces a file. What a killed save
// leaves behind (temporary files, their sidecars, temporary sidecars) the next save removes.
TEST(ProjectFile, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  testsupport::ScratchDir dir;
  ProjectDocument doc;
  MakeProject(doc, dir.path(), 80);
  const fs::path target = dir / "p.bva";
  ASSERT_TRUE(doc.Save(W(dir / "old.bva")));
  const std::string oldBytes = testsupport::ReadFile(dir / "old.bva");
  for (auto& j : doc.jobs.jobs) j->swf_bgcolor ^= 0xFFu;
  ASSERT_TRUE(doc.Save(W(dir / "new.bva")));
  const std::string newBytes = testsupport::ReadFile(dir / "new.bva");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(doc.Save(W(dir / "timing.bva")));
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start).count() + 1;
  const auto leftovers = [&] {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      if (name.find(".saving-") != std::string::npos || name.starts_with("._sidecar-")) found.push_back(name);
    }
    return found;
  };
  std::mt19937 rng(11);
  int sawOld = 0, sawNew = 0, sawNone = 0, left = 0;
  for (int run = 0; run < 40; ++run) {
    const bool first = run % 2 == 1;  // a first save: no file there yet
    fs::remove(target);
    fs::remove(dir / "._p.bva");
    if (!first) {
      fs::copy_file(dir / "old.bva", target);
      fs::copy_file(dir / "._old.bva", dir / "._p.bva");
    }
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(doc.Save(W(target)) ? 0 : 1);
    usleep(static_cast<useconds_t>(rng() % static_cast<uint32_t>(micros * 3 / 2)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!fs::exists(target)) {
      ASSERT_TRUE(first) << "run " << run;
      ++sawNone;
    } else {
      const std::string now = testsupport::ReadFile(target);
      ASSERT_TRUE(now == oldBytes || now == newBytes) << "run " << run << ": " << now.size() << " bytes";
      (now == oldBytes ? sawOld : sawNew)++;
      EXPECT_NE(testsupport::ReadFile(dir / "._p.bva").find("pBvaBvaw"), std::string::npos)
          << "run " << run << ": the file lost its type";
    }
    left += static_cast<int>(leftovers().size());
  }
  EXPECT_GT(sawOld + sawNew + sawNone, 0);
  ASSERT_TRUE(doc.Save(W(target)));
  EXPECT_TRUE(leftovers().empty()) << leftovers().size() << " of " << left << " left over";
}

}  // namespace
