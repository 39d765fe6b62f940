#include "project_test_support.h"

#include "framework/platform/WideText.h"
#include "generation/MediaSource.h"
#include "project/ProjectDocument.h"
#include "support/TestSupport.h"
#include "toolbox/Alerts.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/TestDriver.h"

namespace {

std::map<std::wstring, FakeMedia>& Table() {
  static std::map<std::wstring, FakeMedia> table;
  return table;
}

class FakeSource : public MediaSource {
 public:
  MediaSource* NewInstance() const override { return new FakeSource(); }
  bool ClaimsExtension(uint32_t, const std::wstring& e) const override { return e == L"fake"; }
  bool Open(const PathString& path) override {
    auto it = Table().find(path);
    if (it == Table().end()) return false;
    media_ = it->second;
    return true;
  }
  void GetSize(int32_t& w, int32_t& h) const override {
    w = media_.width;
    h = media_.height;
  }
  bool HasVideo() const override { return media_.video; }
  bool HasSound() const override { return media_.sound; }
  uint32_t GetDurationMs() const override { return media_.duration_ms; }

 private:
  FakeMedia media_;
};

}  // namespace

void AddFakeMediaAt(const PathString& path, const FakeMedia& media) {
  static bool registered = [] {
    MediaImporterRegistry::Find(0)->Register(new FakeSource());
    return true;
  }();
  (void)registered;
  Table()[path] = media;
}

PathString AddFakeMedia(const std::wstring& name, const FakeMedia& media) {
  const PathString path = L"/fake/" + name + L".fake";
  AddFakeMediaAt(path, media);
  return path;
}

PathString MakeFakeInput(const std::filesystem::path& file, const FakeMedia& media) {
  testsupport::WriteFile(file, "x");
  const PathString path = FromNativeString(file.string());
  AddFakeMediaAt(path, media);
  return path;
}

AlertRecorder::AlertRecorder(int n) : driver_(std::make_unique<toolbox::TestDriver>()) {
  toolbox::SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  for (int i = 0; i < n; ++i)
    driver_->Then([this] {
      toolbox::WindowRef front = toolbox::FrontWindow();
      messages.push_back(toolbox::GetAlertMessage(front));
      toolbox::PressKey(front, toolbox::kReturnKeyCode);
    });
}

AlertRecorder::~AlertRecorder() = default;

std::string SavedBytes(ProjectDocument& doc, const std::filesystem::path& file) {
  const PathString keep = doc.path;
  const bool saved = doc.undo.saved;
  if (!doc.Save(FromNativeString(file.string()))) return "(not saved)";
  doc.path = keep;
  doc.undo.saved = saved;
  return testsupport::ReadFile(file);
}

std::wstring NumberedText(int number) {
  toolbox::SetResourcesFolder((testsupport::SourceDir() / "resources").string());
  WideText text(number);
  return text.CStr();
}
