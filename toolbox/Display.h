#pragma once
// Display back ends. The toolbox's model owns all state and behaviour; a back end only
// mirrors windows and the menu bar somewhere and feeds input back into the model as events.
//
// Without a back end set, the toolbox has no input at all: a loop that waits for an event
// with no limit ends at once, as after the end of input.
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "toolbox/Types.h"

namespace toolbox {

struct RGBColor;

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual std::string Name() const = 0;

  // Waits up to `seconds` (negative: no limit) for input and posts what arrives as events.
  // Returns false when no input will ever come again.
  virtual bool WaitForInput(double seconds) = 0;

  // Mirrors of the model's changes.
  virtual void WindowShown(WindowRef) {}
  virtual void WindowHidden(WindowRef) {}
  virtual void WindowDisposed(WindowRef) {}
  virtual void MenuBarChanged() {}
  // A file dialog starts to wait for its answer, and is over (answered or not).
  virtual void FileDialogShown(NavDialogRef) {}
  virtual void FileDialogClosed(NavDialogRef) {}

  // The height in pixels a static text needs to show `utf8` whole, wrapped within `width`
  // pixels, in a control's font (`fontSize` in pixels, 0 for the window's own) as this back
  // end lays text out; -1 where it lays out none (the caller then estimates).
  virtual int TextHeight(const std::string& /*utf8*/, int /*width*/, int /*fontSize*/, bool /*bold*/) {
    return -1;
  }
  // The part of the screen that windows may take (global coordinates); false where there
  // is no screen to ask.
  virtual bool ScreenArea(Rect* /*area*/) { return false; }

  // The colour picker (Controls.h, PickColor) when no responder is set: true with the
  // colour (16-bit channels) when the user accepts one. This base has no screen to ask on.
  virtual bool PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out);

  // Opening things for the user (Launch.h): a URI with its default application, and a
  // program started with an argument vector. Neither ever goes through a shell. A back end
  // with a screen launches them; this base records the request (LaunchRequests) and
  // launches nothing, which is what the headless back end and tests want.
  virtual bool OpenUri(const std::string& uri);
  virtual bool Spawn(const std::vector<std::string>& argv);
};

// Installs the back end (null: none) and returns the previous one.
std::unique_ptr<DisplayBackend> SetDisplayBackend(std::unique_ptr<DisplayBackend> backend);
DisplayBackend* GetDisplayBackend();

// The headless back end: it reports on `out` what a screen would show (windows shown and
// hidden, a window's title whenever it changes, and the menu bar whenever its items change,
// a submenu's items in brackets), and reads its input from a file descriptor (normally
// standard input), one line at a time:
// - while an alert or sheet waits, a line answers it with a button's name or number (1 the
//   default button, 2 the cancel button, 3 the other), and so for a modal dialog's push
//   buttons (numbered in the order they were made); each is printed on `err` with its
//   message and buttons;
// - while a file dialog runs, a line answers it with a path (relative to the folder the
//   dialog starts in, else the current folder), or "cancel";
// - otherwise a line is a four-character menu command (for example "quit"), chosen from the
//   menu bar as a user would, optionally followed by a path for the file dialog the command
//   shows ("open /music/songs.bva"), or the title of an item that opens a submenu with the
//   number of one of its items ("open recent 2"; the title alone lists them). A command no
//   item has, or whose item is disabled, is reported and ignored.
// The end of the input chooses Quit once. A question or file dialog still waiting then, or
// shown afterwards, is answered once as its cancel button does (an alert with one button by
// that button), and the answer is printed on `err`. It shows no pages: OpenUri fails.
std::unique_ptr<DisplayBackend> MakeHeadlessBackend(int inputFd, std::ostream& out,
                                                    std::ostream& err = std::cerr);

// What runs when the display goes away under the program (its server ended, or the
// connection to it broke). The process then ends at once with status 1, since nothing is
// left to show or answer anything on: the handler says what is lost. Null: nothing is said.
void SetDisplayLostHandler(std::function<void()> handler);
// For back ends: runs the handler, once.
void DisplayLost();

// Registration as a client of the appearance (theme) services, kept for the start and end
// of the program; the model only records it.
void RegisterAppearanceClient();
void UnregisterAppearanceClient();
bool IsAppearanceClient();

// Ticks (sixtieths of a second) since the process started.
std::uint32_t TickCount();

// The system font panel: shown or hidden, and the style of the selection it shows.
OSStatus ShowHideFontPanel();
bool IsFontPanelVisible();
OSStatus SetFontInfoForSelection(std::uint32_t fontId, double size);

// One line describing a window, as the headless back end reports it.
std::string DescribeWindow(WindowRef window);

}  // namespace toolbox
