#pragma once
// Code bundles loaded at run time, stored data resources of the file "main.rsrc" among the
// application's resources, files among those resources, the product's support folder and
// the plug-in bundle of the maker's companion protection tool.
//
// On Linux the application's resources are its data folder (toolbox::ResourcesFolder), a
// code bundle is a shared library (or a folder holding "<name>.so" for a folder "<name>" or
// "<name>.bundle"), and support folders sit under $XDG_DATA_HOME (default ~/.local/share).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/platform/PathString.h"
#include "toolbox/AppleDouble.h"

class Bundle {
 public:
  Bundle() = default;
  // Keeps a loaded library loaded: functions handed out stay valid.
  ~Bundle() = default;
  Bundle(const Bundle&) = delete;
  Bundle& operator=(const Bundle&) = delete;

  // True when a bundle (a file or folder) is at the path.
  bool Load(const PathString& path);
  // The function of that name; loads the library on first use. Null when absent or when
  // nothing is loaded.
  void* GetFunction(const char* name);
  void* GetFunction(const wchar_t* name);
  // Unloads the library when one is held, then forgets the bundle.
  void Unload();
  bool IsLoaded() const { return !path_.empty(); }

 private:
  std::string path_;
  void* library_ = nullptr;
};

// A stored resource's bytes, owned by whoever holds the handle.
using ResourceHandle = std::shared_ptr<const std::string>;

// The path of the named file among the application's resources; false when absent.
bool GetBundleResourcePath(PathString& out, const PathString& name);
// The resource of that type and id in "main.rsrc" (its resource fork, or its data when it
// has no resource fork), read afresh; false when the file or the resource is missing.
bool GetResourceFromMainFile(toolbox::OSType type, int16_t id, ResourceHandle& outHandle,
                             size_t* outSize);
// The same through the process-wide open "main.rsrc": opened on the first call and kept;
// when it cannot be opened, false, and a later call tries again.
bool GetMainResource(toolbox::OSType type, int16_t id, ResourceHandle& outHandle, size_t* outSize);
// Lets go of a handle; true.
bool ReleaseResourceHandle(ResourceHandle& handle);

// The maker's and the product's folders.
inline constexpr const wchar_t* kMakerFolderName = L"Orvenna";
inline constexpr int32_t kThisProductCode = 1852;
// The folder name of a product code: "Brivane" for this product, "Common" for any code not
// in the table.
PathString ProductFolderName(int32_t productCode);
// The product's folder inside the maker's folder inside the user's application support
// folder, each made when missing; false when one cannot be made.
bool GetProductSupportFolder(PathString& out, int32_t productCode);

// The companion protection tool: its preferences domain, the value that records where its
// application is, and the file name of its plug-in bundle.
inline constexpr const wchar_t* kLinkedAppDomain = L"orvenna-protect";
inline constexpr const wchar_t* kLinkedAppPathKey = L"app_path";
inline constexpr const wchar_t* kLinkedAppBundleName = L"OrvennaProtect.bundle";
// The companion tool's application path from its preferences; false when the domain or the
// value is missing.
bool ReadLinkedAppPath(PathString& out);
// The plug-in bundle beside the companion tool's application; true when it exists.
bool FindLinkedAppBundle(PathString& out);
