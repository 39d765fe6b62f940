#pragma once
// Toolbar icons of the application: icon families ('icns' resources of "main.rsrc")
// registered under a creator and the type 'TEMP' for the life of a window.
#include <cstdint>

#include "toolbox/Icons.h"

inline constexpr toolbox::OSType kAppIconType = toolbox::FourCC("TEMP");

// Registers the icon family with the resource id under (creator, 'TEMP'). A creator of 0
// is replaced by one made from the tick count, different from the last one so made (the
// call waits for the next tick when needed). True on success, with the reference in
// outRef.
bool RegisterAppIcon(std::int16_t resourceId, toolbox::OSType& creator, toolbox::IconRef* outRef);
// Releases the reference and unregisters (creator, 'TEMP'); true.
bool UnregisterAppIcon(toolbox::OSType creator, toolbox::IconRef ref);
