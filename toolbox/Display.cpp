#include "toolbox/Display.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

#include "toolbox/Events.h"
#include "toolbox/Menus.h"
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

class HeadlessBackend : public DisplayBackend {
 public:
  HeadlessBackend(int fd, std::ostream& out) : fd_(fd), out_(out) {}

  std::string Name() const override { return "headless"; }

  bool WaitForInput(double seconds) override {
    if (ended_) {
      if (seconds < 0) return false;
      std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 1.0)));
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    int timeout = seconds < 0 ? -1 : static_cast<int>(std::min(std::ceil(seconds * 1000), 1e6));
    int n = poll(&p, 1, timeout);
    if (n < 0) {
      if (errno == EINTR) return true;
      EndOfInput();
      return true;
    }
    if (n == 0) return true;
    char buf[4096];
    ssize_t got = read(fd_, buf, sizeof buf);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got <= 0) {
      EndOfInput();
      return true;
    }
    pending_.append(buf, static_cast<std::size_t>(got));
    std::size_t nl;
    while ((nl = pending_.find('\n')) != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      Command(line);
    }
    if (pending_.size() > 4096) pending_.clear();  // no command is that long
    return true;
  }

  void WindowShown(WindowRef w) override { out_ << "showing " << DescribeWindow(w) << std::endl; }
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
        out_ << (first ? "" : ", ") << WideToUtf8(item.text) << " '" << FourCCText(item.command)
             << "'";
        first = false;
      }
      out_ << ")";
    }
    out_ << std::endl;
  }

 private:
  void Command(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return;
    line = line.substr(start);
    if (line.size() > 4) {
      out_ << "no command \"" << line << "\": commands have four characters" << std::endl;
      return;
    }
    line.resize(4, ' ');
    char code[5] = {line[0], line[1], line[2], line[3], 0};
    if (PostMenuCommand(FourCC(code)) != kNoErr)
      out_ << "no menu item has the command '" << line << "'" << std::endl;
  }

  void EndOfInput() {
    if (!pending_.empty()) Command(pending_);
    pending_.clear();
    ended_ = true;
    out_ << "end of input: quitting" << std::endl;
    if (PostMenuCommand(kHICommandQuit) != kNoErr) {
      auto quit = std::make_unique<Event>(kEventClassApplication, kEventAppQuit);
      PostEventToQueue(std::move(quit));
    }
  }

  int fd_;
  std::ostream& out_;
  std::string pending_;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<DisplayBackend> SetDisplayBackend(std::unique_ptr<DisplayBackend> backend) {
  std::unique_ptr<DisplayBackend> previous = std::move(Current());
  Current() = std::move(backend);
  return previous;
}

DisplayBackend* GetDisplayBackend() { return Current().get(); }

std::unique_ptr<DisplayBackend> MakeHeadlessBackend(int inputFd, std::ostream& out) {
  return std::make_unique<HeadlessBackend>(inputFd, out);
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
