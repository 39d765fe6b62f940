#include "toolbox/Display.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Events.h"
#include "toolbox/Menus.h"
#include "toolbox/Navigation.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox {
namespace {

std::unique_ptr<DisplayBackend>& Current() {
  static std::unique_ptr<DisplayBackend> backend;
  return backend;
}

const char* ClassName(WindowClass c) {
  switch (c) {
    case kMovableModalWindowClass: return "movable modal window";
    case kFloatingWindowClass: return "floating window";
    case kDocumentWindowClass: return "document window";
    case kUtilityWindowClass: return "utility window";
    case kSheetWindowClass: return "sheet";
  }
  return "window";
}

// ASCII letters folded to lower case, for answers typed by hand.
std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

// The buttons of a question: an alert's or sheet's by item (1 default, 2 cancel, 3 other);
// a modal dialog's push buttons in the order they were made, from 1.
struct AlertButton {
  int item;
  ControlRef control;
  std::string label;
};

std::vector<AlertButton> AlertButtons(WindowRef window) {
  std::vector<AlertButton> buttons;
  if (GetAlertType(window, nullptr)) {
    int item = 0;
    for (OSType command : {kHICommandOK, kHICommandCancel, kHICommandOther}) {
      ++item;
      ControlRef c;
      if (GetControlByID(window, ControlID{command, 0}, &c) != kNoErr) continue;
      buttons.push_back({item, c, WideToUtf8(GetControlTitle(c))});
    }
    return buttons;
  }
  for (ControlRef c : GetWindowControls(window))
    if (GetControlKind(c) == kControlKindPushButton)
      buttons.push_back({static_cast<int>(buttons.size()) + 1, c, WideToUtf8(GetControlTitle(c))});
  return buttons;
}

// What a question says: an alert's message, or a dialog's static texts.
std::string QuestionText(WindowRef window) {
  if (GetAlertType(window, nullptr)) return WideToUtf8(GetAlertMessage(window));
  std::string text;
  for (ControlRef c : GetWindowControls(window)) {
    if (GetControlKind(c) != kControlKindStaticText) continue;
    const std::string line = WideToUtf8(GetControlTitle(c));
    if (line.empty()) continue;
    if (!text.empty()) text += ' ';
    text += line;
  }
  return text;
}

bool IsModalClass(WindowRef window) {
  WindowClass c = kDocumentWindowClass;
  GetWindowClass(window, &c);
  return c == kMovableModalWindowClass || c == kSheetWindowClass;
}

// A window waiting for a button: an alert or sheet, or a modal dialog with push buttons.
bool IsQuestion(WindowRef window) {
  return GetAlertType(window, nullptr) || (IsModalClass(window) && !AlertButtons(window).empty());
}

std::string ButtonList(const std::vector<AlertButton>& buttons) {
  std::string list;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i) list += i + 1 == buttons.size() ? " or " : ", ";
    list += std::to_string(buttons[i].item) + " (" + buttons[i].label + ")";
  }
  return list;
}

// The frontmost visible question waiting for its answer; null when none.
WindowRef WaitingAlert() {
  for (WindowRef w : WindowsFrontToBack())
    if (IsWindowVisible(w) && IsQuestion(w)) return w;
  return WindowRef{};
}

// A modal window or sheet stands, so a command chosen before it has not finished.
bool ModalWindowShown() {
  for (WindowRef w : WindowsFrontToBack())
    if (IsWindowVisible(w) && IsModalClass(w)) return true;
  return false;
}

// The first item with the command in the menu or its submenus, enabled or not.
bool FindAnyItem(MenuRef menu, OSType command, MenuItemInfo* out, int depth) {
  if (depth > 8) return false;
  for (std::uint16_t i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemInfo item;
    if (GetMenuItem(menu, i, &item) != kNoErr) continue;
    if (item.command == command && !(item.attributes & kMenuItemAttrSeparator)) {
      *out = item;
      return true;
    }
    MenuRef sub = GetMenuItemHierarchicalMenu(menu, i);
    if (sub && FindAnyItem(sub, command, out, depth + 1)) return true;
  }
  return false;
}

// Input is taken one line at a time, and only when the event queue is empty (the event
// loop asks for input only then): what a line chose has been handled, or is waiting for
// an answer, before the next line is read. A line answers, in this order, the frontmost
// alert (a button's name or number), the running file dialog (a path, or "cancel"), or
// else chooses a menu command, optionally followed by the path its file dialog takes.
class HeadlessBackend : public DisplayBackend {
 public:
  HeadlessBackend(int fd, std::ostream& out, std::ostream& err) : fd_(fd), out_(out), err_(err) {}

  std::string Name() const override { return "headless"; }

  bool WaitForInput(double seconds) override {
    if (!givenPath_.empty() && PathForDialog()) return true;
    if (TakeLine()) return true;
    if (ended_) {
      if (seconds < 0) return false;
      std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 1.0)));
      return true;
    }
    if (eof_) {
      EndOfInput();
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    int timeout = seconds < 0 ? -1 : static_cast<int>(std::min(std::ceil(seconds * 1000), 1e6));
    int n = poll(&p, 1, timeout);
    if (n < 0) {
      if (errno == EINTR) return true;
      InputEnds();
      return true;
    }
    if (n == 0) return true;
    char buf[4096];
    ssize_t got = read(fd_, buf, sizeof buf);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got <= 0) {
      InputEnds();
      return true;
    }
    pending_.append(buf, static_cast<std::size_t>(got));
    // No line is that long: a runaway line is dropped up to its end.
    if (pending_.find('\n') == std::string::npos && pending_.size() > kMaxLine) {
      pending_.clear();
      skipping_ = true;
    }
    if (skipping_) {
      const std::size_t nl = pending_.find('\n');
      if (nl == std::string::npos) {
        pending_.clear();
        return true;
      }
      pending_.erase(0, nl + 1);
      skipping_ = false;
      err_ << "a line longer than " << kMaxLine << " bytes was ignored" << std::endl;
    }
    TakeLine();
    return true;
  }

  void WindowShown(WindowRef w) override {
    out_ << "showing " << DescribeWindow(w) << std::endl;
    if (!IsQuestion(w)) return;
    std::wstring title;
    CopyWindowTitle(w, &title);
    const std::string message = QuestionText(w);
    err_ << (GetAlertType(w, nullptr) ? "alert" : "dialog");
    if (!title.empty()) err_ << " \"" << WideToUtf8(title) << "\"";
    if (!message.empty()) err_ << ": " << message;
    err_ << "\n  answer with " << ButtonList(AlertButtons(w)) << std::endl;
  }
  void WindowHidden(WindowRef w) override { out_ << "hiding " << DescribeWindow(w) << std::endl; }
  void MenuBarChanged() override {
    out_ << "menu bar:";
    for (MenuRef m : GetMenuBar()) {
      out_ << " " << WideToUtf8(GetMenuTitle(m)) << " (";
      bool first = true;
      for (std::uint16_t i = 1; i <= CountMenuItems(m); ++i) {
        MenuItemInfo item;
        GetMenuItem(m, i, &item);
        if (item.attributes & kMenuItemAttrSeparator) continue;
        out_ << (first ? "" : ", ") << WideToUtf8(item.text);
        // An item that only opens a submenu has no command to type.
        if (item.command) out_ << " '" << FourCCText(item.command) << "'";
        first = false;
      }
      out_ << ")";
    }
    out_ << std::endl;
  }
  void FileDialogShown(NavDialogRef ref) override {
    const NavDialogView view = ViewOfNavDialog(ref);
    static const char* const kKinds[] = {"save", "open", "choose a file", "choose a folder"};
    out_ << "showing file dialog (" << kKinds[std::clamp<int>(view.kind, 0, 3)] << ")";
    if (!view.options.windowTitle.empty()) out_ << " titled \"" << WideToUtf8(view.options.windowTitle) << "\"";
    out_ << std::endl;
    if (givenPath_.empty())
      err_ << "file dialog: answer with a path, or \"cancel\"" << std::endl;
  }

 private:
  static constexpr std::size_t kMaxLine = 64 * 1024;

  // Handles the next complete line, if there is one.
  bool TakeLine() {
    const std::size_t nl = pending_.find('\n');
    if (nl == std::string::npos) return false;
    std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    Line(Trimmed(line));
    return true;
  }

  void InputEnds() {
    eof_ = true;
    // A last line without a line feed still counts.
    if (!pending_.empty() && !skipping_) pending_ += '\n';
    else pending_.clear();
  }

  void Line(const std::string& line) {
    if (WindowRef alert = WaitingAlert()) return Answer(alert, line);
    if (NavDialogRef dialog = FrontNavDialog()) return AnswerDialog(dialog, line);
    if (!givenPath_.empty()) PathNotUsed();
    if (line.empty()) return;
    const std::size_t space = line.find_first_of(" \t");
    std::string word = line.substr(0, space);
    const std::string path = space == std::string::npos ? std::string() : Trimmed(line.substr(space));
    if (word.size() > 4) {
      out_ << "no command \"" << line << "\": commands have four characters" << std::endl;
      return;
    }
    word.resize(4, ' ');
    const char code[5] = {word[0], word[1], word[2], word[3], 0};
    const OSType command = FourCC(code);
    if (PostMenuCommand(command) == kNoErr) {
      if (!path.empty()) {
        givenPath_ = Absolute(path);
        pathCommand_ = word;
      }
      return;
    }
    MenuItemInfo item;
    bool found = false;
    for (MenuRef m : GetMenuBar())
      if ((found = FindAnyItem(m, command, &item, 0))) break;
    if (found)
      out_ << "the menu item \"" << WideToUtf8(item.text) << "\" ('" << word << "') is disabled" << std::endl;
    else
      out_ << "no menu item has the command '" << word << "'" << std::endl;
  }

  void Answer(WindowRef alert, const std::string& line) {
    const std::vector<AlertButton> buttons = AlertButtons(alert);
    for (const AlertButton& b : buttons) {
      if (line == std::to_string(b.item) || (!line.empty() && Folded(line) == Folded(b.label))) {
        HitControl(b.control);
        return;
      }
    }
    err_ << "no button \"" << line << "\": answer with " << ButtonList(buttons) << std::endl;
  }

  void AnswerDialog(NavDialogRef dialog, const std::string& line) {
    if (line.empty()) {
      err_ << "file dialog: answer with a path, or \"cancel\"" << std::endl;
      return;
    }
    if (Folded(line) == "cancel") {
      NavDialogCancel(dialog);
      return;
    }
    Accept(dialog, Absolute(line));
  }

  void Accept(NavDialogRef dialog, const std::string& path) {
    const OSStatus status = NavDialogAccept(dialog, {path});
    if (status == kParamErr)
      err_ << "file dialog: \"" << path << "\" cannot be chosen here; answer with another path, or \"cancel\""
           << std::endl;
  }

  // The path given with the last command goes to the file dialog it shows. While a
  // question comes first (an alert), it waits; once the command is over without a dialog,
  // it was not used.
  bool PathForDialog() {
    if (NavDialogRef dialog = FrontNavDialog()) {
      const std::string path = std::move(givenPath_);
      givenPath_.clear();
      Accept(dialog, path);
      return true;
    }
    if (WaitingAlert() || ModalWindowShown()) return false;
    PathNotUsed();
    return false;
  }

  void PathNotUsed() {
    err_ << "the command '" << pathCommand_ << "' showed no file dialog: the path \"" << givenPath_
         << "\" was not used" << std::endl;
    givenPath_.clear();
  }

  static std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::string absolute;
    if (char* here = getcwd(nullptr, 0)) {
      absolute = here;
      std::free(here);
    }
    if (absolute.empty()) return path;
    if (absolute.back() != '/') absolute += '/';
    return absolute + path;
  }

  void EndOfInput() {
    if (!givenPath_.empty()) PathNotUsed();
    ended_ = true;
    out_ << "end of input: quitting" << std::endl;
    if (PostMenuCommand(kHICommandQuit) != kNoErr) {
      auto quit = std::make_unique<Event>(kEventClassApplication, kEventAppQuit);
      PostEventToQueue(std::move(quit));
    }
  }

  int fd_;
  std::ostream& out_;
  std::ostream& err_;
  std::string pending_;
  bool skipping_ = false;
  bool eof_ = false;
  bool ended_ = false;
  // The path given with a command, for the file dialog the command shows.
  std::string givenPath_;
  std::string pathCommand_;
};

}  // namespace

std::unique_ptr<DisplayBackend> SetDisplayBackend(std::unique_ptr<DisplayBackend> backend) {
  std::unique_ptr<DisplayBackend> previous = std::move(Current());
  Current() = std::move(backend);
  return previous;
}

DisplayBackend* GetDisplayBackend() { return Current().get(); }

std::unique_ptr<DisplayBackend> MakeHeadlessBackend(int inputFd, std::ostream& out, std::ostream& err) {
  return std::make_unique<HeadlessBackend>(inputFd, out, err);
}

namespace {
bool& AppearanceClient() {
  static bool registered = false;
  return registered;
}
bool& FontPanelVisible() {
  static bool visible = false;
  return visible;
}
}  // namespace

void RegisterAppearanceClient() { AppearanceClient() = true; }
void UnregisterAppearanceClient() { AppearanceClient() = false; }
bool IsAppearanceClient() { return AppearanceClient(); }

std::uint32_t TickCount() {
  static const auto start = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() * 60 / 1000);
}

OSStatus ShowHideFontPanel() {
  FontPanelVisible() = !FontPanelVisible();
  return kNoErr;
}

bool IsFontPanelVisible() { return FontPanelVisible(); }

OSStatus SetFontInfoForSelection(std::uint32_t, double size) {
  return size > 0 ? kNoErr : kParamErr;
}

std::string DescribeWindow(WindowRef window) {
  if (!IsValidWindowRef(window)) return "a window that no longer exists";
  std::ostringstream s;
  std::wstring title;
  CopyWindowTitle(window, &title);
  WindowClass cls = kDocumentWindowClass;
  GetWindowClass(window, &cls);
  Rect r;
  GetWindowBounds(window, &r);
  std::string name = GetWindowName(window);
  if (!name.empty()) s << "\"" << name << "\" ";
  s << ClassName(cls) << " titled \"" << WideToUtf8(title) << "\" at (" << r.left << ", " << r.top
    << "), " << r.Width() << " x " << r.Height();
  return s.str();
}

}  // namespace toolbox
