#include "framework/app/Application.h"

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "framework/ui/FileDialogs.h"
#include "toolbox/Display.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {
Application* singleton = nullptr;

// The seed of the runtime library's random numbers: the tick count (1/60 s) since the
// system started, which differs from run to run, with the process id mixed in so that two
// copies started within the same tick differ too.
unsigned RandomSeed() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const uint64_t ticks = static_cast<uint64_t>(now.tv_sec) * 60 +
                         static_cast<uint64_t>(now.tv_nsec) / (1000000000 / 60);
  return static_cast<unsigned>(ticks) ^ (static_cast<unsigned>(getpid()) << 16);
}
}  // namespace

Application* CurrentApplication = Application::Instance();

Application::Application() {
  hooks.init = OnAppInit;
  hooks.run = OnAppRun;
  hooks.exit = OnAppExit;
}

Application::~Application() { RemoveHandlers(); }

Application* Application::Instance() {
  if (!singleton) {
    singleton = new Application();
    CurrentApplication = singleton;
  }
  return singleton;
}

void Application::DestroyInstance() {
  if (!singleton) return;
  singleton->installedHandlers = nullptr;
  delete singleton;
  singleton = nullptr;
  // Nothing may reach the destroyed object through the process-wide pointer.
  CurrentApplication = nullptr;
}

bool Application::InitToolbox() {
  // Master pointers and the cursor have no counterpart here; the appearance client does.
  RegisterAppearanceClient();
  std::srand(RandomSeed());
  if (!installedHandlers) {
    InstallHandlers();
    installedHandlers = this;
  }
  return true;
}

bool Application::InstallHandlers() {
  static const EventTypeSpec types[] = {
      {kEventClassCommand, kEventCommandProcess},
      {kEventClassApplication, kEventAppQuit},
      {kEventClassKeyboard, kEventHotKeyPressed},
  };
  if (InstallEventHandler(GetApplicationEventTarget(), HandleApplicationEvent, types,
                          static_cast<ApplicationEventHandler*>(this), &handlerRef) != kNoErr)
    return false;
  AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments,
                        [](const AppleEvent& event) { return HandleOpenDocumentsEvent(event, 0); });
  openDocumentsInstalled = true;
  return true;
}

bool Application::RemoveHandlers() {
  if (handlerRef) {
    RemoveEventHandler(handlerRef);
    handlerRef = EventHandlerRef{};
  }
  return true;
}

bool Application::OnCommand(EventRef* event) {
  HICommand command;
  (*event)->GetParameter(kEventParamDirectObject, kTypeHICommand, &command);
  if (!mainWindow) return false;
  return mainWindow->OnCommand(command.commandID, event);
}

bool Application::OnApplicationEvent() { return false; }

void Application::SetMainWindow(WindowBase* window) {
  if (installedHandlers) mainWindow = window;
}

void Application::OpenDocument(const std::string& utf8Path) {
  if (!mainWindow) return;
  // A name that is not UTF-8 names no file the program could open: say so, naming it.
  if (!IsValidUtf8(utf8Path)) {
    ReportNameNotUtf8(WindowRef{}, utf8Path);
    return;
  }
  PathString path = Utf8ToWide(utf8Path);
  mainWindow->OnOpenDocument(path);
}

OSStatus HandleApplicationEvent(EventHandlerCallRef next, EventRef event, void* userData) {
  auto* part = static_cast<ApplicationEventHandler*>(userData);
  const OSType eventClass = event->Class();
  const std::uint32_t kind = event->Kind();
  if (eventClass == kEventClassCommand) {
    if (part->OnCommand(&event)) return kNoErr;
    // Declined: the standard handling still runs (Quit must always be able to quit).
    return CallNextEventHandler(next, event);
  }
  if (eventClass == kEventClassKeyboard && kind == kEventHotKeyPressed) {
    HotKeyID id;
    if (event->GetParameter(kEventParamDirectObject, kTypeHotKeyID, &id) == kNoErr &&
        part->mainWindow)
      part->mainWindow->OnHotKey(&id);
    return CallNextEventHandler(next, event);
  }
  if (eventClass == kEventClassApplication) {
    part->OnApplicationEvent();
    return CallNextEventHandler(next, event);
  }
  return CallNextEventHandler(next, event);
}

OSStatus HandleOpenDocumentsEvent(const AppleEvent& event, long) {
  long count = 0;
  OSStatus status = AECountItems(event, &count);
  if (status != kNoErr) return status;
  if (count >= 1) {
    OSType type = 0;
    std::size_t size = 0;
    status = AESizeOfNthItem(event, 1, &type, &size);
    if (status == kNoErr) {
      std::string path;
      status = AEGetNthFile(event, 1, &path);
      if (status == kNoErr && CurrentApplication && CurrentApplication->HandlersInstalled())
        CurrentApplication->OpenDocument(path);
    }
  }
  return status;
}

int ApplicationMain(const std::vector<std::string>& documents) {
  Application* app = Application::Instance();
  const ApplicationHooks hooks = app->Hooks();
  if (app->InitToolbox()) {
    if (!documents.empty()) {
      auto open = std::make_shared<AppleEvent>(kCoreEventClass, kAEOpenDocuments);
      open->SetFileList(documents);
      PostAppleEvent(std::move(open));
    }
    if (hooks.init(0)) hooks.run(0);
  }
  UnregisterAppearanceClient();
  hooks.exit();
  Application::DestroyInstance();
  return 0;
}
