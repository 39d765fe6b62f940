#include "framework/platform/SystemServices.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "framework/platform/PathLayer.h"
#include "toolbox/Launch.h"
#include "toolbox/Utf8.h"

namespace {

// Seconds from the Unix epoch to 1 January 2001.
constexpr double kAbsoluteTimeEpoch = 978307200.0;

bool Exists(const PathString& path) {
  struct stat st;
  return !path.empty() && stat(toolbox::WideToUtf8(path).c_str(), &st) == 0;
}

}  // namespace

uint32_t GetSystemVersion() { return kReportedSystemVersion; }
bool IsMacOSX() { return GetSystemVersion() >= 0x1000; }
bool IsClassicSystem() { return GetSystemVersion() != 0 && GetSystemVersion() < 0x1000; }
bool IsLaunchServicesAvailable() { return IsMacOSX(); }
bool IsCarbonLibAvailable() { return true; }
uint32_t GetCarbonLibVersion() { return 0; }

void LocalDateTime::Now() { Update(); }

void LocalDateTime::Update() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  UpdateAt(std::chrono::duration<double>(now).count() - kAbsoluteTimeEpoch);
}

void LocalDateTime::UpdateAt(double absoluteTime) {
  absoluteTime_ = absoluteTime;
  const auto seconds = static_cast<time_t>(std::floor(absoluteTime + kAbsoluteTimeEpoch));
  tm local{};
  if (!localtime_r(&seconds, &local)) return;
  year_ = local.tm_year + 1900;
  month_ = local.tm_mon + 1;
  day_ = local.tm_mday;
  hour_ = local.tm_hour;
  minute_ = local.tm_min;
  second_ = local.tm_sec;
}

bool OpenFileViaFinder(const PathString& path) {
  const PathString absolute = MakeAbsolutePath(path);
  if (!Exists(absolute)) return false;
  return toolbox::OpenUri(toolbox::FileUriFromPath(toolbox::WideToUtf8(absolute)));
}

bool OpenDocumentWithApp(const PathString& document, const PathString& application) {
  if (!IsLaunchServicesAvailable()) return OpenFileViaFinder(document);
  const PathString doc = MakeAbsolutePath(document);
  const PathString app = MakeAbsolutePath(application);
  if (!Exists(doc) || !Exists(app)) return false;
  return toolbox::Spawn({toolbox::WideToUtf8(app), toolbox::WideToUtf8(doc)});
}

bool InitCallbackStorage(CallbackStorage& storage, void* receiver, const void* callable, size_t size) {
  if (receiver) {
    if (size > sizeof storage.callable || (!callable && size)) return false;
    storage.receiver = receiver;
    if (size) std::memcpy(storage.callable, callable, size);
    return true;
  }
  std::memcpy(storage.callable, &callable, sizeof callable);
  return true;
}
