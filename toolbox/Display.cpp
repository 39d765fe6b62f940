#include "toolbox/Display.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
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

// The items of a menu as the menu bar line lists them: an item with a command shows it to
// type; an item that opens a submenu lists the submenu's items in brackets, each enabled
// one with its number ("Open Recent [1: /music/a.bva]").
void ListItems(std::ostream& out, MenuRef menu, int depth) {
  bool first = true;
  for (std::uint16_t i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemInfo item;
    GetMenuItem(menu, i, &item);
    if (item.attributes & kMenuItemAttrSeparator) continue;
    out << (first ? "" : ", ");
    first = false;
    if (depth > 0 && item.enabled) out << i << ": ";
    out << WideToUtf8(item.text);
    MenuRef sub = GetMenuItemHierarchicalMenu(menu, i);
    if (sub && depth < 8) {
      out << " [";
      ListItems(out, sub, depth + 1);
      out << "]";
    } else if (item.command && depth == 0) {
      out << " '" << FourCCText(item.command) << "'";
    }
  }
}

std::string MenuBarLine() {
  std::ostringstream line;
  line << "menu bar:";
  for (MenuRef m : GetMenuBar()) {
    line << " " << WideToUtf8(GetMenuTitle(m)) << " (";
    ListItems(line, m, 0);
    line << ")";
  }
  return line.str();
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
    ShowChanges();
    if (!givenPath_.empty() && PathForDialog()) return true;
    if (TakeLine()) return true;
    if (ended_) {
      if (AnswerAtEnd()) return true;
      if (seconds < 0) return false;
      WaitForWatchedDescriptors(std::min(seconds, 1.0));
      return true;
    }
    if (eof_) {
      EndOfInput();
      return true;
    }
    // The input, and the descriptors the event loop watches besides it.
    std::vector<pollfd> fds{pollfd{fd_, POLLIN, 0}};
    for (const WatchedDescriptor& watched : WatchedDescriptors())
      fds.push_back(pollfd{watched.fd, PollEvents(watched.events), 0});
    int timeout = seconds < 0 ? -1 : static_cast<int>(std::min(std::ceil(seconds * 1000), 1e6));
    int n = poll(fds.data(), fds.size(), timeout);
    if (n < 0) {
      if (errno == EINTR) return true;
      InputEnds();
      return true;
    }
    if (n == 0 || fds[0].revents == 0) return true;
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
    std::wstring title;
    CopyWindowTitle(w, &title);
    titles_[w.id] = title;
    if (!IsQuestion(w)) return;
    const std::string message = QuestionText(w);
    err_ << (GetAlertType(w, nullptr) ? "alert" : "dialog");
    if (!title.empty()) err_ << " \"" << WideToUtf8(title) << "\"";
    if (!message.empty()) err_ << ": " << message;
    err_ << "\n  answer with " << ButtonList(AlertButtons(w)) << std::endl;
  }
  void WindowHidden(WindowRef w) override { out_ << "hiding " << DescribeWindow(w) << std::endl; }
  void WindowDisposed(WindowRef w) override { titles_.erase(w.id); }
  // The menu bar line is printed before the next input is read, once the menus are built.
  void MenuBarChanged() override { menuBar_.clear(); }
  // There is no screen to show a page on: the caller tells the user where the page is.
  bool OpenUri(const std::string&) override { return false; }
  void FileDialogShown(NavDialogRef ref) override {
    const NavDialogView view = ViewOfNavDialog(ref);
    static const char* const kKinds[] = {"save", "open", "choose a file", "choose a folder"};
    out_ << "showing file dialog (" << kKinds[std::clamp<int>(view.kind, 0, 3)] << ")";
    if (!view.options.windowTitle.empty()) out_ << " titled \"" << WideToUtf8(view.options.windowTitle) << "\"";
    out_ << " in \"" << DialogFolder(ref) << "\"";
    if (view.kind == kNavPutFileDialog && !view.saveFileName.empty())
      out_ << " proposing \"" << WideToUtf8(view.saveFileName) << "\"";
    out_ << std::endl;
    if (givenPath_.empty())
      err_ << "file dialog: answer with a path, or \"cancel\"" << std::endl;
  }
  void FileDialogClosed(NavDialogRef ref) override { answeredAtEnd_.erase(ref.id); }

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
    if (ChooseFromSubmenu(line)) return;
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
        givenPath_ = path;
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
    Accept(dialog, Absolute(line, DialogFolder(dialog)));
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
      const std::string path = Absolute(givenPath_, DialogFolder(dialog));
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

  static std::string CurrentFolder() {
    std::string folder;
    if (char* here = getcwd(nullptr, 0)) {
      folder = here;
      std::free(here);
    }
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
  }

  // Where a name typed into the dialog goes: the folder it shows.
  static std::string DialogFolder(NavDialogRef dialog) {
    const std::string& start = ViewOfNavDialog(dialog).options.startFolder;
    return start.empty() ? CurrentFolder() : start;
  }

  static std::string Absolute(const std::string& path, const std::string& folder) {
    if (path.empty() || path[0] == '/' || folder.empty()) return path;
    return folder + path;
  }

  // What changed since the last input: the menu bar (its items and submenus) and the
  // titles of the windows shown.
  void ShowChanges() {
    const std::string line = MenuBarLine();
    if (line != menuBar_ && !GetMenuBar().empty()) {
      menuBar_ = line;
      out_ << line << std::endl;
    }
    for (WindowRef w : WindowsFrontToBack()) {
      auto known = titles_.find(w.id);
      if (known == titles_.end() || !IsWindowVisible(w)) continue;
      std::wstring title;
      CopyWindowTitle(w, &title);
      if (title == known->second) continue;
      known->second = title;
      const std::string name = GetWindowName(w);
      out_ << "window " << (name.empty() ? std::string() : "\"" + name + "\" ") << "now titled \""
           << WideToUtf8(title) << "\"" << std::endl;
    }
  }

  // After the end of the input nothing can answer a question: it is answered once, as a
  // window manager's close answers it (its cancel button, or its only button where it has
  // one), and the answer is said, so that nothing is decided silently. A file dialog is
  // cancelled.
  bool AnswerAtEnd() {
    if (WindowRef question = WaitingAlert()) {
      if (!answeredAtEnd_.insert(question.id).second) return false;
      std::wstring title;
      CopyWindowTitle(question, &title);
      // The button a window manager's close would press.
      const ControlRef cancelling = CancellingButton(question);
      const std::vector<AlertButton> buttons = AlertButtons(question);
      const AlertButton* chosen = nullptr;
      for (const AlertButton& b : buttons)
        if (cancelling && b.control == cancelling) chosen = &b;
      if (!chosen) {
        err_ << "end of input: \"" << WideToUtf8(title) << "\" is left unanswered" << std::endl;
        return false;
      }
      err_ << "end of input: answering \"" << WideToUtf8(title) << "\" with " << chosen->item << " ("
           << chosen->label << ")" << std::endl;
      HitControl(chosen->control);
      return true;
    }
    if (NavDialogRef dialog = FrontNavDialog()) {
      if (!answeredAtEnd_.insert(dialog.id).second) return false;
      err_ << "end of input: cancelling the file dialog" << std::endl;
      NavDialogCancel(dialog);
      return true;
    }
    return false;
  }

  // A line that names a submenu of the menu bar ("open recent") lists its items; with an
  // item's number after it ("open recent 2") it chooses that item. False when the line
  // names no submenu.
  bool ChooseFromSubmenu(const std::string& line) {
    const std::string folded = Folded(line);
    for (MenuRef bar : GetMenuBar()) {
      for (std::uint16_t i = 1; i <= CountMenuItems(bar); ++i) {
        MenuRef sub = GetMenuItemHierarchicalMenu(bar, i);
        if (!sub) continue;
        MenuItemInfo parent;
        GetMenuItem(bar, i, &parent);
        const std::string title = Folded(WideToUtf8(parent.text));
        if (title.empty() || folded.compare(0, title.size(), title) != 0) continue;
        const std::string rest = Trimmed(folded.substr(title.size()));
        if (folded.size() > title.size() && folded[title.size()] != ' ' && folded[title.size()] != '\t')
          continue;
        if (rest.empty()) {
          std::ostringstream items;
          ListItems(items, sub, 1);
          out_ << WideToUtf8(parent.text) << ": " << items.str() << "; choose one by its number (\""
               << title << " 1\")" << std::endl;
          return true;
        }
        const std::uint16_t count = CountMenuItems(sub);
        char* end = nullptr;
        const long n = std::strtol(rest.c_str(), &end, 10);
        if (*end || n < 1 || n > count) {
          out_ << "no item \"" << rest << "\" in " << WideToUtf8(parent.text) << ": type \"" << title
               << "\" to list its items" << std::endl;
          return true;
        }
        MenuItemInfo item;
        GetMenuItem(sub, static_cast<std::uint16_t>(n), &item);
        if (PostMenuItemChoice(sub, static_cast<std::uint16_t>(n)) != kNoErr)
          out_ << "the menu item \"" << WideToUtf8(item.text) << "\" is disabled" << std::endl;
        return true;
      }
    }
    return false;
  }

  void EndOfInput() {
    if (!givenPath_.empty()) PathNotUsed();
    ended_ = true;
    out_ << "end of input: quitting" << std::endl;
    // A question or file dialog that waits is answered at the end (AnswerAtEnd) and the run
    // ends there; a Quit chosen behind it would only ask the same question again.
    if (WaitingAlert() || FrontNavDialog()) return;
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
  // The menu bar line last printed, and the titles of the windows shown.
  std::string menuBar_;
  std::map<std::uint64_t, std::wstring> titles_;
  // The questions and file dialogs answered at the end of the input.
  std::set<std::uint64_t> answeredAtEnd_;
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
std::function<void()>& LostHandler() {
  static std::function<void()> handler;
  return handler;
}
}  // namespace

void SetDisplayLostHandler(std::function<void()> handler) { LostHandler() = std::move(handler); }

void DisplayLost() {
  std::function<void()> handler = std::move(LostHandler());
  LostHandler() = nullptr;
  if (handler) handler();
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
