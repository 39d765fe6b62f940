#pragma once
// A display back end for tests that acts as a user would. Tests script steps (click a
// control, choose a menu command, close a window, drop files, press keys, move the mouse);
// whenever the program waits for input the driver performs the next step. When the script
// is used up while the program waits with no time limit, or has waited ten seconds in all
// with time limits since the last step, input ends:
// every running loop returns, and RanDry() tells the test so. A test can therefore never
// hang in a loop.
//
// Constructing a driver clears the toolbox's window, menu and event model and installs the
// driver as the back end; destroying it removes it and clears the model again.
#include <functional>
#include <string>
#include <vector>

#include "toolbox/Display.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Events.h"
#include "toolbox/Windows.h"

namespace toolbox {

void ResetEventModel();  // the queue, loops, timers, application handlers and Apple events

class TestDriver {
 public:
  TestDriver();
  ~TestDriver();
  TestDriver(const TestDriver&) = delete;
  TestDriver& operator=(const TestDriver&) = delete;

  // Scripted steps, performed one per wait of the program.
  void Then(std::function<void()> step);
  void ThenChooseMenu(OSType command);
  void ThenQuit();  // chooses Quit from the menu bar, or sends the quit event without one
  // Clicks the control of the front window (or of the given window) with this ControlID.
  void ThenClick(ControlID id, WindowRef window = {});
  void ThenCloseFrontWindow();
  // Answers the running file dialog: picks the pop-up item `filter` first (-1: leaves it),
  // then accepts the paths (UTF-8; a save dialog takes one, folder and name).
  void ThenChooseFiles(std::vector<std::string> utf8Paths, int filter = -1);
  void ThenCancelFileDialog();
  std::size_t PendingSteps() const;
  bool RanDry() const;

  // Immediate actions: what a user does, sent through the model at once.
  static OSStatus ChooseMenu(OSType command);
  static OSStatus SendCommand(OSType command, const EventTargetRef& target);
  static OSStatus Click(ControlRef control, std::uint32_t modifiers = 0);
  static OSStatus Close(WindowRef window);
  static OSStatus Quit();
  static OSStatus MouseDown(WindowRef window, Point where, std::uint16_t button,
                            std::uint32_t modifiers);
  static OSStatus MouseUp(WindowRef window, Point where, std::uint16_t button,
                          std::uint32_t modifiers);
  static OSStatus MouseMoved(WindowRef window, Point where, std::uint32_t modifiers);
  static OSStatus Key(WindowRef window, bool down, std::uint32_t keyCode);
  static OSStatus DropFiles(WindowRef window, const std::vector<std::string>& uris, Point where);
  // Queues an open-documents event with these paths (UTF-8), as the system delivers one.
  static void PostOpenDocuments(const std::vector<std::string>& utf8Paths);

  // What the driver saw of the model (window shown, hidden, disposed; menu bar set).
  const std::vector<std::string>& Log() const;

 private:
  class Backend;
  Backend* backend_;
};

}  // namespace toolbox
