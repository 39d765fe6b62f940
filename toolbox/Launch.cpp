#include "toolbox/Launch.h"

#include <signal.h>

#include "toolbox/Display.h"

#ifdef BRIVANE_HAVE_GTK
#include <gio/gio.h>
#endif

namespace toolbox {

std::string FileUriFromPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return std::string();
  static const char* const hex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      uri.push_back(static_cast<char>(c));
    } else {
      uri.push_back('%');
      uri.push_back(hex[c >> 4]);
      uri.push_back(hex[c & 15]);
    }
  }
  return uri;
}

void CatchFileSizeLimitSignal() {
  struct sigaction action {};
  action.sa_handler = [](int) {};
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGXFSZ, &action, nullptr);
}

std::vector<std::string>& LaunchRequests() {
  static std::vector<std::string> requests;
  return requests;
}

bool DisplayBackend::OpenUri(const std::string& uri) {
  LaunchRequests().push_back("open " + uri);
  return true;
}

bool DisplayBackend::Spawn(const std::vector<std::string>& argv) {
  std::string line = "spawn";
  for (const std::string& arg : argv) line += " " + arg;
  LaunchRequests().push_back(line);
  return true;
}

bool OpenUri(const std::string& uri) {
  DisplayBackend* backend = GetDisplayBackend();
  return backend && !uri.empty() && backend->OpenUri(uri);
}

bool Spawn(const std::vector<std::string>& argv) {
  DisplayBackend* backend = GetDisplayBackend();
  return backend && !argv.empty() && !argv[0].empty() && backend->Spawn(argv);
}

#ifdef BRIVANE_HAVE_GTK

bool LaunchUriWithGio(const std::string& uri) {
  GError* error = nullptr;
  const gboolean ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
  if (error) g_error_free(error);
  return ok;
}

bool SpawnWithGio(const std::vector<std::string>& argv) {
  std::vector<gchar*> args;
  for (const std::string& a : argv) args.push_back(const_cast<gchar*>(a.c_str()));
  args.push_back(nullptr);
  GError* error = nullptr;
  const gboolean ok = g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_DEFAULT, nullptr,
                                    nullptr, nullptr, &error);
  if (error) g_error_free(error);
  return ok;
}

#else

bool LaunchUriWithGio(const std::string&) { return false; }
bool SpawnWithGio(const std::vector<std::string>&) { return false; }

#endif

}  // namespace toolbox
