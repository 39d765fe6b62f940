// The application loads player template library 0 from the "Players" folder of its data
// folder at start, so a job saved with a player opens with that player again.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/AppShell.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfMovieWriter.h"
#include "framework/app/Application.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "generation/PlayerTemplate.h"
#include "project/Job.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

namespace {

namespace fs = std::filesystem;

PathString P(const fs::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

// A skin movie whose first frame sets its variables.
void WriteTemplateMovie(const fs::path& file) {
  SwfMovieWriter movie;
  movie.SetMovieProperties(4000, 400, 12, 6);
  ASSERT_TRUE(movie.Open(P(file), true));
  auto* script = new DoActionTag(6);
  for (const auto& [name, value] : {std::pair{L"fixed_height", L"true"}, {L"ztaVarColor", L"red"}}) {
    script->AddAction(new ActionPush(name));
    script->AddAction(new ActionPush(value));
    script->AddAction(new ActionSetVariable());
  }
  movie.WriteTag(script, false);
  movie.WriteTag(new ShowFrameTag(), false);
  movie.WriteTag(new EndTag(), false);
  ASSERT_GT(movie.Close(), 0u);
}

std::unique_ptr<Job> ReadJob(const fs::path& file) {
  XmlDocument doc;
  XmlValue root;
  XmlNode wrapper;
  if (!doc.Load(P(file)) || !doc.GetRoot(root)) return nullptr;
  root.ToNode(wrapper);
  for (int i = 0; i < wrapper.ChildCount(); ++i) {
    XmlValue child;
    WideText name;
    if (wrapper.ChildAt(i, child) && child.Name(name) && name.Equals(L"castora_data", true)) {
      auto job = std::make_unique<Job>(nullptr);
      job->ReadXml(child);
      return job;
    }
  }
  return nullptr;
}

TEST(AppPlayerLibrary, AJobSavedWithAPlayerOpensWithIt) {
  testsupport::ScratchDir data;
  // The data folder as shipped (the window descriptions), with one skin in "Players".
  for (const auto& entry : fs::directory_iterator(testsupport::SourceDir() / "resources"))
    fs::create_symlink(entry.path(), data / entry.path().filename());
  fs::create_directories(data / "Players");
  WriteTemplateMovie(data / "Players" / "Slim.swf");
  toolbox::SetResourcesFolder(data.str());
  StartSteps() = AppStartSteps{};
  PlayerTemplateLibrary::DeleteAll();

  toolbox::TestDriver driver;
  std::unique_ptr<Job> reopened;
  bool saved = false;
  driver.Then([&] {
    Job job(nullptr);
    job.SetPlayer(PlayerTemplateLibrary::FindByName(PlayerTemplateLibrary::Find(0), L"Slim", true));
    if (job.Player()) job.Player()->SetVariable(L"ztaVarColor", L"green");
    XmlWriter w;
    if (w.Open(P(data / "job.xml"), XmlWriterOptions(), true)) {
      job.WriteXml(w);
      saved = w.Close();
    }
    reopened = ReadJob(data / "job.xml");
    toolbox::TestDriver::ChooseMenu(toolbox::kHICommandQuit);
  });
  EXPECT_EQ(ApplicationMain({}), 0);
  toolbox::SetResourcesFolder("");

  EXPECT_TRUE(saved);
  ASSERT_TRUE(reopened);
  ASSERT_NE(reopened->Player(), nullptr);
  EXPECT_EQ(reopened->Player()->Name(), L"Slim");
  EXPECT_EQ(reopened->Player()->GetSwfHeight(), 400);
  EXPECT_TRUE(reopened->Player()->FixesHeight());
  EXPECT_EQ(*reopened->Player()->GetVariable(L"ztaVarColor"), L"green");
  EXPECT_EQ(PlayerTemplateLibrary::Find(0), nullptr);  // let go at exit
}

}  // namespace
