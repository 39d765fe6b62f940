#include "framework/app/AppIcons.h"

#include <chrono>
#include <thread>

#include "framework/platform/Bundle.h"
#include "toolbox/Display.h"

using namespace toolbox;

namespace {

OSType& LastMadeCreator() {
  static OSType last = 0;
  return last;
}

OSType MakeCreator() {
  OSType creator = TickCount();
  while (creator == LastMadeCreator() || creator == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    creator = TickCount();
  }
  LastMadeCreator() = creator;
  return creator;
}

}  // namespace

bool RegisterAppIcon(std::int16_t resourceId, OSType& creator, IconRef* outRef) {
  ResourceHandle family;
  if (!GetResourceFromMainFile(FourCC("icns"), resourceId, family, nullptr)) return false;
  const OSType use = creator != 0 ? creator : MakeCreator();
  if (RegisterIconRefFromIconFamily(use, kAppIconType, *family, outRef) != kNoErr) return false;
  creator = use;
  return true;
}

bool UnregisterAppIcon(OSType creator, IconRef ref) {
  ReleaseIconRef(ref);
  UnregisterIconRef(creator, kAppIconType);
  return true;
}
