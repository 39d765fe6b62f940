#pragma once
// Display back ends. The toolbox's model owns all state and behaviour; a back end only
// mirrors windows and the menu bar somewhere and feeds input back into the model as events.
//
// Without a back end set, the toolbox has no input at all: a loop that waits for an event
// with no limit ends at once, as after the end of input.
#include <cstdint>
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

// The headless back end: it reports on `out` what a screen would show, and reads menu
// commands from a file descriptor (normally standard input), one four-character command per
// line (for example "quit"). Each line is chosen from the menu bar as a user would; an
// unknown command is reported and ignored. The end of the input chooses Quit once.
std::unique_ptr<DisplayBackend> MakeHeadlessBackend(int inputFd, std::ostream& out);

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
