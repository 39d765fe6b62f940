// The program's entry: chooses the display back end (GTK when a display can be opened,
// headless otherwise) and runs the application's entry sequence. Paths named on the
// command line (as a desktop file's %F gives them) arrive as one open-documents event; no
// options are parsed.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPrefs.h"
#include "framework/app/Application.h"
#include "toolbox/Display.h"
#ifdef BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif
#include "toolbox/Utf8.h"

int main(int argc, char** argv) {
  std::vector<std::string> documents;
  std::string cwd;
  if (char* here = getcwd(nullptr, 0)) {
    cwd = here;
    std::free(here);
  }
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i];
    if (path.empty()) continue;
    if (!toolbox::IsValidUtf8(path)) {
      std::cerr << "brivane: skipping a file name that is not valid UTF-8" << std::endl;
      continue;
    }
    if (path[0] != '/' && !cwd.empty()) path = cwd + "/" + path;
    documents.push_back(path);
  }

  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool haveDisplay = (display && *display) || (wayland && *wayland);
  std::unique_ptr<toolbox::DisplayBackend> backend;
  const char* why = "no display";
#ifdef BRIVANE_HAVE_GTK
  if (haveDisplay) {
    backend = toolbox::MakeGtkBackend();
    why = "the display could not be opened";
  }
#else
  if (haveDisplay) why = "this build has no display back end";
#endif
  if (!backend) {
    std::cout << "brivane: " << why << "; running headless."
              << " Menu commands are read from standard input, one per line (\"quit\" quits);"
                 " the end of input quits."
              << std::endl;
    backend = toolbox::MakeHeadlessBackend(STDIN_FILENO, std::cout);
  }
  toolbox::SetDisplayBackend(std::move(backend));
  InstallApplicationPreferences();
  int result = ApplicationMain(documents);
  toolbox::SetDisplayBackend(nullptr);
  return result;
}
