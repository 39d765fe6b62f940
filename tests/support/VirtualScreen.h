#pragma once
// An X server of the test's own (Xvfb) on a free display, stopped with the test, and the
// tools that drive and photograph it.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

extern char** environ;

namespace testsupport {

class VirtualScreen {
 public:
  // False when Xvfb is missing or no display could be had.
  bool Start() {
    if (!HaveTool("Xvfb")) return false;
    for (int n = 160 + getpid() % 400, tries = 0; tries < 80; ++n, ++tries) {
      if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
          std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
        continue;
      const std::string display = ":" + std::to_string(n);
      std::vector<std::string> args = {"Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      if (posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) return false;
      for (int i = 0; i < 200; ++i) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
          display_ = display;
          return true;
        }
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {  // it gave up (display taken)
          pid_ = 0;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      Stop();
    }
    return false;
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

// Where a test keeps its screenshots for a person to look at.
inline std::filesystem::path ShotsDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("brivane-shots-" + name);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace testsupport
