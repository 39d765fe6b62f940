#pragma once
// The process-wide application object: it owns the entry sequence and the two
// application-level handlers (commands, quit and hot keys on the application's event
// target; the open-documents event). Everything it receives goes to one window, the main
// window. What the program does at start and at exit lies in three hooks that the
// application windows supply.
#include <string>
#include <vector>

#include "framework/ui/WindowBase.h"
#include "toolbox/Events.h"

// The hooks, supplied by the application windows.
bool OnAppInit(int unused);
bool OnAppRun(int unused);
bool OnAppExit();

struct ApplicationHooks {
  bool (*init)(int) = nullptr;
  bool (*run)(int) = nullptr;
  bool (*exit)() = nullptr;
};

class ApplicationEventHandler {
 public:
  virtual ~ApplicationEventHandler() = default;
  virtual bool InstallHandlers() = 0;
  virtual bool RemoveHandlers() = 0;
  virtual bool OnCommand(toolbox::EventRef* event) = 0;
  virtual bool OnApplicationEvent() = 0;

 protected:
  friend toolbox::OSStatus HandleApplicationEvent(toolbox::EventHandlerCallRef next,
                                                  toolbox::EventRef event, void* userData);
  WindowBase* mainWindow = nullptr;
  toolbox::EventHandlerRef handlerRef;
  bool openDocumentsInstalled = false;
};

class Application : public ApplicationEventHandler {
 public:
  static Application* Instance();
  static void DestroyInstance();

  ~Application() override;
  bool InstallHandlers() override;
  bool RemoveHandlers() override;
  bool OnCommand(toolbox::EventRef* event) override;
  bool OnApplicationEvent() override;

  bool InitToolbox();
  void SetMainWindow(WindowBase* window);
  WindowBase* GetMainWindow() const { return mainWindow; }
  // Opens a document given by its path in UTF-8, in the main window.
  void OpenDocument(const std::string& utf8Path);
  bool HandlersInstalled() const { return installedHandlers != nullptr; }
  const ApplicationHooks& Hooks() const { return hooks; }

 private:
  Application();
  ApplicationEventHandler* installedHandlers = nullptr;
  ApplicationHooks hooks;
};

// The application the open-documents handler and the run hook reach.
extern Application* CurrentApplication;

toolbox::OSStatus HandleApplicationEvent(toolbox::EventHandlerCallRef next,
                                         toolbox::EventRef event, void* userData);
toolbox::OSStatus HandleOpenDocumentsEvent(const toolbox::AppleEvent& event, long refcon);

// The entry sequence: initialise, run the init hook and, when it succeeds, the run hook;
// the exit hook in every case; then the application object goes. Documents named at start
// (UTF-8 paths) are queued as one open-documents event, handled once the event loop runs.
// Returns 0.
int ApplicationMain(const std::vector<std::string>& documents);
