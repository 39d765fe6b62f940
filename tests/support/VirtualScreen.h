#pragma once
// An X server of the test's own (Xvfb) on a free display, stopped with the test, and the
// tools that drive and photograph it.
#include <signal.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

class VirtualScreen {
 public:
  // False when Xvfb is missing or no display could be had. The server picks a free display
  // number itself and tells it through a pipe, so that two tests starting at once never
  // share one server (the one that stops first would take the other's display with it).
  bool Start() {
    if (!HaveTool("Xvfb")) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // the server goes with the test, however it ends
      close(fds[0]);
      if (int quiet = open("/dev/null", O_WRONLY); quiet >= 0) {
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
      }
      const std::string fd = std::to_string(fds[1]);
      // -noreset: by default the server resets when its last client leaves, and a program
      // started during the reset cannot open the display (it would then run headless).
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      pid_ = 0;
      close(fds[0]);
      return false;
    }
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c;
    while (poll(&ready, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
      Stop();
      return false;
    }
    display_ = ":" + number;
    return true;
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
  }
  ~VirtualScreen() { Stop(); }
  const std::string& Display() const { return display_; }

  // The whole screen as a PNG file; false when import failed.
  bool Shot(const std::filesystem::path& file) const {
    int status = -1;
    Run("import -display " + display_ + " -window root " + file.string() + " 2>&1", &status);
    return status == 0 && std::filesystem::exists(file);
  }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

// The screen of the whole test process, started on first use: GTK opens its display once
// per process, so every test of a process that shows windows shares one server.
inline VirtualScreen& SharedScreen() {
  static VirtualScreen screen;
  static const bool started = screen.Start();
  (void)started;
  return screen;
}

// Where a test keeps its screenshots for a person to look at.
inline std::filesystem::path ShotsDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("brivane-shots-" + name);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace testsupport
