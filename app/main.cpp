// The program's entry: reads the command line, chooses the display back end (GTK when a
// display can be opened, headless otherwise) and runs the application's entry sequence.
// Paths named on the command line (as a desktop file's %F gives them) arrive as one
// open-documents event, which opens the first of them.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPrefs.h"
#include "app/AppShell.h"
#include "framework/app/Application.h"
#include "toolbox/Display.h"
#include "toolbox/Launch.h"
#ifdef BRIVANE_HAVE_GTK
#include "toolbox/GtkDisplay.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: brivane [--help] [--] [PROJECT.bva]\n"
    "\n"
    "Opens the project file named, or an empty project.\n"
    "\n"
    "With an X11 or Wayland display its window opens through GTK 3. Without one it runs\n"
    "headless: it reports on standard output what a screen would show (the windows, their\n"
    "titles as they change, and the menu bar) and reads menu commands from standard input,\n"
    "one per line, by their four-character command (the menu bar it prints lists them, for\n"
    "example \"new\", \"undV\", \"quit\"). An item of a submenu, listed in brackets, is chosen\n"
    "by the submenu's name and the item's number (\"open recent 1\"); the name alone lists\n"
    "the items. A command that shows a file dialog takes the path after it (\"open\n"
    "/music/songs.bva\", \"svas copy\"), or the next line answers the dialog (a path, or\n"
    "\"cancel\"); a relative path is taken in the folder the dialog shows (the project's\n"
    "folder, or the home folder), and a project is saved with the .bva extension. A message\n"
    "box is printed on standard error and answered by a line with a button's name or number;\n"
    "a help page that cannot be shown is named there by its path.\n"
    "\n"
    "The end of the input quits. A question still waiting then is answered as its Cancel\n"
    "button does, and the answer is printed on standard error; when the project's unsaved\n"
    "changes are lost that way, the exit status is 1.\n"
    "\n"
    "Options:\n"
    "  -h, --help  print this text and exit\n"
    "  --          every argument after it is a file name\n";

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit (ulimit -f) fails as on a full disk, reported by
  // whatever wrote it, instead of ending the program with every unsaved change.
  toolbox::CatchFileSizeLimitSignal();
  std::vector<std::string> documents;
  std::string cwd;
  if (char* here = getcwd(nullptr, 0)) {
    cwd = here;
    std::free(here);
  }
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i];
    if (path.empty()) continue;
    if (options && path == "--") {
      options = false;
      continue;
    }
    if (options && path.size() > 1 && path[0] == '-') {
      if (path == "--help" || path == "-h") {
        std::cout << kUsage;
        return 0;
      }
      std::cerr << "brivane: unknown option '" << path << "'\nTry 'brivane --help'.\n";
      return 2;
    }
    if (path[0] != '/' && !cwd.empty()) path = cwd + "/" + path;
    documents.push_back(path);
  }
  if (documents.size() > 1)
    std::cerr << "brivane: opening only the first file named, " << documents.front() << "; "
              << documents.size() - 1 << " more ignored" << std::endl;

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
                 " the end of input quits. See brivane --help."
              << std::endl;
    backend = toolbox::MakeHeadlessBackend(STDIN_FILENO, std::cout);
  }
  toolbox::SetDisplayBackend(std::move(backend));
  InstallApplicationPreferences();
  int result = ApplicationMain(documents);
  toolbox::SetDisplayBackend(nullptr);
  if (result == 0 && UnsavedChangesDiscarded()) result = 1;
  return result;
}
