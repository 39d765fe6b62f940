#pragma once
// Reading the map of a classic resource fork (header, map, type list, reference lists) to
// find one resource's bytes. Every offset is checked against the fork's size.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "toolbox/AppleDouble.h"

namespace toolbox {

// Finds the resource of the given type and id; `offset` and `length` then delimit its data
// inside `fork` (after the 4-byte length that precedes it). False when the fork is
// malformed or has no such resource.
bool FindResourceData(std::string_view fork, OSType type, int16_t id, size_t& offset, size_t& length);

}  // namespace toolbox
