#include "project_test_support.h"

#include "generation/MediaSource.h"

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
