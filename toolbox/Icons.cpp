#include "toolbox/Icons.h"

#include <map>
#include <utility>

namespace toolbox {
namespace {

struct IconEntry {
  std::string family;
  int count = 0;
};

struct IconModel {
  std::map<std::uint64_t, IconEntry> icons;                        // by reference id
  std::map<std::pair<OSType, OSType>, std::uint64_t> registered;  // (creator, type) -> id
};

IconModel& Model() {
  static IconModel model;
  return model;
}

std::uint32_t Be32(std::string_view b, std::size_t at) {
  return (std::uint32_t{static_cast<unsigned char>(b[at])} << 24) |
         (std::uint32_t{static_cast<unsigned char>(b[at + 1])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(b[at + 2])} << 8) |
         std::uint32_t{static_cast<unsigned char>(b[at + 3])};
}

void Drop(std::uint64_t id) {
  auto it = Model().icons.find(id);
  if (it != Model().icons.end() && --it->second.count <= 0) Model().icons.erase(it);
}

}  // namespace

OSStatus RegisterIconRefFromIconFamily(OSType creator, OSType type, std::string_view family,
                                       IconRef* outRef) {
  if (family.size() < 8 || family.substr(0, 4) != "icns" || Be32(family, 4) != family.size())
    return kParamErr;
  UnregisterIconRef(creator, type);
  const IconRef ref{NextHandleId()};
  // One count for the registration, one for the caller.
  Model().icons[ref.id] = IconEntry{std::string(family), 2};
  Model().registered[{creator, type}] = ref.id;
  if (outRef) *outRef = ref;
  return kNoErr;
}

OSStatus ReleaseIconRef(IconRef ref) {
  if (!Model().icons.count(ref.id)) return kParamErr;
  Drop(ref.id);
  return kNoErr;
}

OSStatus UnregisterIconRef(OSType creator, OSType type) {
  auto it = Model().registered.find({creator, type});
  if (it == Model().registered.end()) return kNotFoundErr;
  Drop(it->second);
  Model().registered.erase(it);
  return kNoErr;
}

bool GetRegisteredIconFamily(OSType creator, OSType type, std::string* outFamily) {
  auto it = Model().registered.find({creator, type});
  if (it == Model().registered.end()) return false;
  if (outFamily) *outFamily = Model().icons[it->second].family;
  return true;
}

bool GetRegisteredIconFamilyOfCreator(OSType creator, std::string* outFamily) {
  auto it = Model().registered.lower_bound({creator, 0});
  if (it == Model().registered.end() || it->first.first != creator) return false;
  if (outFamily) *outFamily = Model().icons[it->second].family;
  return true;
}

}  // namespace toolbox
