#include "framework/platform/Bundle.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/Preferences.h"
#include "toolbox/AppLocation.h"
#include "toolbox/ResourceFork.h"
#include "toolbox/Utf8.h"

namespace {

// Resource files are small; anything larger is not one.
constexpr std::streamsize kMaxResourceFile = 64 << 20;

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamsize size = in.tellg();
  if (size < 0 || size > kMaxResourceFile) return false;
  in.seekg(0);
  out.resize(static_cast<size_t>(size));
  return static_cast<bool>(in.read(out.data(), size));
}

// The resource map of "main.rsrc": its resource fork when it has one, otherwise its data.
bool ReadMainResourceFile(std::string& out) {
  PathString path;
  if (!GetBundleResourcePath(path, L"main.rsrc")) return false;
  const std::string native = toolbox::WideToUtf8(path);
  const toolbox::SidecarContents sidecar = toolbox::ReadSidecar(native);
  if (!sidecar.resourceFork.empty()) {
    out = sidecar.resourceFork;
    return true;
  }
  return ReadWholeFile(native, out);
}

bool FindIn(const std::string& fork, toolbox::OSType type, int16_t id, ResourceHandle& outHandle,
            size_t* outSize) {
  size_t offset = 0, length = 0;
  if (!toolbox::FindResourceData(fork, type, id, offset, length)) return false;
  outHandle = std::make_shared<const std::string>(fork.substr(offset, length));
  if (outSize) *outSize = length;
  return true;
}

// The process-wide open "main.rsrc".
class MainResourceFile {
 public:
  bool Open() { return ReadMainResourceFile(fork_); }
  bool Get(toolbox::OSType type, int16_t id, ResourceHandle& outHandle, size_t* outSize) const {
    return FindIn(fork_, type, id, outHandle, outSize);
  }

 private:
  std::string fork_;
};

std::unique_ptr<MainResourceFile>& MainFile() {
  static std::unique_ptr<MainResourceFile> file;
  return file;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// A folder's own folder, made when missing.
bool EnsureFolder(PathString& folder) { return IsFolder(folder) || CreateFolder(folder); }

}  // namespace

bool Bundle::Load(const PathString& path) {
  Unload();
  const std::string native = toolbox::WideToUtf8(MakeAbsolutePath(path));
  if (path.empty() || !Exists(native)) return false;
  path_ = native;
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
  return true;
}

void* Bundle::GetFunction(const char* name) {
  if (path_.empty() || !name) return nullptr;
  if (!library_) {
    std::string file = path_;
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::string base = file.substr(file.rfind('/') + 1);
      if (base.size() > 7 && base.compare(base.size() - 7, 7, ".bundle") == 0)
        base.resize(base.size() - 7);
      file += "/" + base + ".so";
    }
    library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) return nullptr;
  }
  return dlsym(library_, name);
}

void* Bundle::GetFunction(const wchar_t* name) {
  return name ? GetFunction(toolbox::WideToUtf8(name).c_str()) : nullptr;
}

void Bundle::Unload() {
  if (library_) dlclose(library_);
  library_ = nullptr;
  path_.clear();
}

bool GetBundleResourcePath(PathString& out, const PathString& name) {
  const std::string folder = toolbox::ResourcesFolder();
  const std::string native = toolbox::WideToUtf8(name);
  if (folder.empty() || native.empty() || native.find("..") != std::string::npos ||
      native[0] == '/' || !Exists(folder + native))
    return false;
  out = PathString(toolbox::Utf8ToWide(folder + native));
  return true;
}

bool GetResourceFromMainFile(toolbox::OSType type, int16_t id, ResourceHandle& outHandle,
                             size_t* outSize) {
  std::string fork;
  return ReadMainResourceFile(fork) && FindIn(fork, type, id, outHandle, outSize);
}

bool GetMainResource(toolbox::OSType type, int16_t id, ResourceHandle& outHandle, size_t* outSize) {
  std::unique_ptr<MainResourceFile>& file = MainFile();
  if (!file) {
    auto opened = std::make_unique<MainResourceFile>();
    if (!opened->Open()) return false;
    file = std::move(opened);
  }
  return file->Get(type, id, outHandle, outSize);
}

bool ReleaseResourceHandle(ResourceHandle& handle) {
  handle.reset();
  return true;
}

PathString ProductFolderName(int32_t productCode) {
  static const struct {
    int32_t code;
    const wchar_t* folder;
  } kProducts[] = {{kThisProductCode, L"Brivane"}};
  for (const auto& p : kProducts)
    if (p.code == productCode) return p.folder;
  return L"Common";
}

bool GetProductSupportFolder(PathString& out, int32_t productCode) {
  PathString maker;
  if (!GetSupportFolderPath(maker, kMakerFolderName, kSupportDomainUser)) return false;
  if (!EnsureFolder(maker)) return false;
  PathString product;
  JoinPath(product, ProductFolderName(productCode), maker);
  if (!EnsureFolder(product)) return false;
  out = product;
  return true;
}

bool ReadLinkedAppPath(PathString& out) {
  Preferences store;
  if (!store.Open(kLinkedAppDomain, kPrefsCurrentUser)) return false;
  std::wstring path;
  if (!store.GetString(kLinkedAppPathKey, path)) return false;
  out = PathString(std::move(path));
  return true;
}

bool FindLinkedAppBundle(PathString& out) {
  PathString app;
  if (!ReadLinkedAppPath(app)) return false;
  PathString folder, bundle;
  GetParentFolder(folder, app, true);
  JoinPath(bundle, kLinkedAppBundleName, folder);
  if (!PathExists(bundle)) return false;
  out = bundle;
  return true;
}
