#pragma once
// Icon references: icon families (the data of an 'icns' resource) registered under a
// creator and type, as the icon services of the platform keep them for toolbar items.
#include <string>
#include <string_view>

#include "toolbox/Types.h"

namespace toolbox {

struct IconTag;
using IconRef = Handle<IconTag>;

// Registers the icon family under (creator, type), replacing an earlier registration, and
// gives a reference that holds one count. kParamErr for data that is not an icon family
// ("icns" and a big-endian length that matches the data).
OSStatus RegisterIconRefFromIconFamily(OSType creator, OSType type, std::string_view family,
                                       IconRef* outRef);
// Drops one count of the reference; kParamErr for an unknown one.
OSStatus ReleaseIconRef(IconRef ref);
// Removes the registration under (creator, type); kNotFoundErr when there is none.
OSStatus UnregisterIconRef(OSType creator, OSType type);
// The family registered under (creator, type); false when there is none.
bool GetRegisteredIconFamily(OSType creator, OSType type, std::string* outFamily);
// The family registered under the creator with any type (the lowest type when several).
bool GetRegisteredIconFamilyOfCreator(OSType creator, std::string* outFamily);

}  // namespace toolbox
