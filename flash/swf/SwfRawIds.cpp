#include "flash/swf/SwfRawIds.h"

#include <algorithm>

#include "flash/swf/SwfObject.h"

namespace {

// Reads a raw body bit by bit and byte by byte; any read past its end spoils it.
class BodyBits {
 public:
  explicit BodyBits(const std::vector<uint8_t>& bytes) : b_(bytes) {}
  bool ok() const { return ok_; }
  uint32_t Position() const { return pos_; }
  void Align() {
    if (bit_ != 0) {
      bit_ = 0;
      ++pos_;
    }
  }
  uint32_t Bits(uint32_t n) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < n && ok_; ++i) {
      if (pos_ >= b_.size()) {
        ok_ = false;
        return 0;
      }
      v = (v << 1) | ((b_[pos_] >> (7 - bit_)) & 1u);
      if (++bit_ == 8) {
        bit_ = 0;
        ++pos_;
      }
    }
    return v;
  }
  uint32_t U8() { return Bytes(1) ? b_[pos_ - 1] : 0; }
  uint32_t U16() { return Bytes(2) ? b_[pos_ - 2] | b_[pos_ - 1] << 8 : 0; }
  bool Bytes(uint32_t n) {
    Align();
    if (!ok_ || b_.size() - std::min<size_t>(pos_, b_.size()) < n) return ok_ = false;
    pos_ += n;
    return true;
  }
  void Rect() {
    Align();
    const uint32_t n = Bits(5);
    for (int i = 0; i < 4; ++i) Bits(n);
    Align();
  }
  void Matrix() {
    Align();
    for (int i = 0; i < 2; ++i)
      if (Bits(1)) {
        const uint32_t n = Bits(5);
        Bits(n);
        Bits(n);
      }
    const uint32_t n = Bits(5);
    Bits(n);
    Bits(n);
    Align();
  }
  void Fail() { ok_ = false; }

 private:
  const std::vector<uint8_t>& b_;
  uint32_t pos_ = 0;
  uint32_t bit_ = 0;
  bool ok_ = true;
};

bool IsBitmapFill(uint32_t type) { return type >= 0x40 && type <= 0x43; }

// Where the clip depth of a PlaceObject2 or PlaceObject3 stands: behind the matrix, the colour
// transform, the ratio and the name its flags announce, the fields from `at` on. 0 when the
// body ends first.
uint32_t ClipDepthAt(const std::vector<uint8_t>& body, uint8_t flags, uint32_t at) {
  BodyBits in(body);
  in.Bytes(at);
  if (flags & 0x04) in.Matrix();
  if (flags & 0x08) {
    in.Align();
    const uint32_t hasAdd = in.Bits(1), hasMult = in.Bits(1), n = in.Bits(4);
    in.Bits(4 * n * (hasAdd + hasMult));
    in.Align();
  }
  if (flags & 0x10) in.Bytes(2);
  if (flags & 0x20) {
    while (in.ok() && in.U8() != 0) {
    }
  }
  in.Align();
  const uint32_t clipAt = in.Position();
  return in.ok() && clipAt < body.size() && body.size() - clipAt >= 2 ? clipAt : 0;
}

// One fill style of a DefineShape4 (`morph`: of a DefineMorphShape2); bitmap ids to `ids`.
void FillStyle(BodyBits& in, bool morph, std::vector<uint32_t>& ids) {
  const uint32_t type = in.U8();
  if (type == 0x00) {
    in.Bytes(morph ? 8 : 4);
  } else if (type == 0x10 || type == 0x12 || type == 0x13) {
    in.Matrix();
    if (morph) in.Matrix();
    // The count's top bits carry the spread and interpolation modes.
    const uint32_t count = in.U8() & 0x0F;
    in.Bytes(count * (morph ? 10 : 5) + (type == 0x13 ? (morph ? 4 : 2) : 0));
  } else if (IsBitmapFill(type)) {
    const uint32_t at = in.Position();
    // An id cut short by the end of the body is no id: only whole ones are recorded.
    const uint32_t id = in.U16();
    if (in.ok() && id != 0xFFFF) ids.push_back(at);
    in.Matrix();
    if (morph) in.Matrix();
  } else {
    in.Fail();
  }
}

uint32_t StyleCount(BodyBits& in) {
  const uint32_t n = in.U8();
  return n == 0xFF ? in.U16() : n;
}

// The fill and line style arrays (line styles of the second kind, which may fill).
void StyleArrays(BodyBits& in, bool morph, std::vector<uint32_t>& ids) {
  for (uint32_t i = 0, n = StyleCount(in); i < n && in.ok(); ++i) FillStyle(in, morph, ids);
  for (uint32_t i = 0, n = StyleCount(in); i < n && in.ok(); ++i) {
    in.Bytes(morph ? 4 : 2);
    const uint32_t first = in.U8();
    in.U8();
    if (((first >> 4) & 3) == 2) in.Bytes(2);  // miter limit
    if (first & 0x08) FillStyle(in, morph, ids);
    else in.Bytes(morph ? 8 : 4);
  }
}

// A DefineShape4's bitmap fills, in its style arrays and in the new styles of its records.
bool Shape4Bitmaps(const std::vector<uint8_t>& body, std::vector<uint32_t>& ids) {
  BodyBits in(body);
  in.Bytes(2);
  in.Rect();
  in.Rect();
  in.U8();
  StyleArrays(in, false, ids);
  in.Align();
  uint32_t fillBits = in.Bits(4), lineBits = in.Bits(4);
  while (in.ok()) {
    if (in.Bits(1) == 0) {
      const uint32_t flags = in.Bits(5);
      if (flags == 0) return in.ok();
      if (flags & 0x01) {
        const uint32_t n = in.Bits(5);
        in.Bits(n);
        in.Bits(n);
      }
      if (flags & 0x02) in.Bits(fillBits);
      if (flags & 0x04) in.Bits(fillBits);
      if (flags & 0x08) in.Bits(lineBits);
      if (flags & 0x10) {
        StyleArrays(in, false, ids);
        in.Align();
        fillBits = in.Bits(4);
        lineBits = in.Bits(4);
      }
    } else if (in.Bits(1) == 1) {
      const uint32_t n = in.Bits(4) + 2;
      if (in.Bits(1)) in.Bits(2 * n);
      else in.Bits(1 + n);
    } else {
      in.Bits(4 * (in.Bits(4) + 2));
    }
  }
  return false;
}

// A DefineMorphShape2's bitmap fills: its edges carry no styles of their own.
bool MorphShape2Bitmaps(const std::vector<uint8_t>& body, std::vector<uint32_t>& ids) {
  BodyBits in(body);
  in.Bytes(2);
  for (int i = 0; i < 4; ++i) in.Rect();
  in.Bytes(5);
  StyleArrays(in, true, ids);
  return in.ok();
}

}  // namespace

bool IsCharacterDefinitionCode(uint16_t code) {
  switch (code) {
    case 2: case 6: case 7: case 10: case 11: case 14: case 20: case 21: case 22: case 32: case 33: case 34: case 35:
    case 36: case 37: case 39: case 46: case 48: case 60: case 75: case 83: case 84: case 87: case 90: case 91:
      return true;
    default:
      return false;
  }
}

uint16_t RawU16(const RawTag& tag, uint32_t at) {
  const auto& b = tag.body;
  return at < b.size() && b.size() - at >= 2 ? static_cast<uint16_t>(b[at] | b[at + 1] << 8) : 0;
}

SwfRawIds FindRawIds(const RawTag& tag) {
  SwfRawIds ids;
  const auto& b = tag.body;
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(b.size(), UINT32_MAX));
  auto use = [&](uint32_t at) {
    if (at < size && size - at >= 2) ids.usedAt.push_back(at);
  };
  auto depth = [&](uint32_t at) {
    if (at < size && size - at >= 2) ids.depthAt.push_back(at);
  };
  // The end of the zero-terminated string at `at`, or the body's size when it has none.
  auto afterString = [&](uint32_t at) {
    while (at < size && b[at] != 0) ++at;
    return at < size ? at + 1 : size;
  };
  const uint16_t code = tag.code;
  if (IsCharacterDefinitionCode(code)) {
    if (size >= 2) ids.definedAt = 0;
    switch (code) {
      case 83: ids.known = Shape4Bitmaps(b, ids.usedAt); break;
      case 84: ids.known = MorphShape2Bitmaps(b, ids.usedAt); break;
      // Kept raw only when damaged: what else they refer to cannot be found.
      case 2: case 7: case 11: case 22: case 32: case 33: case 34: case 37: case 39: case 46: ids.known = size < 2; break;
      default: break;
    }
    return ids;
  }
  switch (code) {
    case 4: case 5:  // PlaceObject, RemoveObject: id, depth
      use(0);
      depth(2);
      break;
    case 28: depth(0); break;  // RemoveObject2
    case 26:  // PlaceObject2: flags, depth, the id when flagged, ..., the clip depth
      depth(1);
      if (size >= 1 && (b[0] & 0x02)) use(3);
      if (size >= 1 && (b[0] & 0x40)) {
        const uint32_t clipAt = ClipDepthAt(b, b[0], (b[0] & 0x02) ? 5 : 3);
        if (clipAt != 0) depth(clipAt);
        else ids.known = false;
      }
      break;
    case 70: {  // PlaceObject3: two flag bytes, depth, class name, the id when flagged
      if (size < 4) break;
      depth(2);
      // The class name stands there only with its flag (an image placement without it, as
      // authoring tools write them, has its id right after the depth).
      const bool hasCharacter = b[0] & 0x02, hasClassName = b[1] & 0x08;
      const uint32_t idAt = hasClassName ? afterString(4) : 4;
      if (hasCharacter) use(idAt);
      if (b[0] & 0x40) {
        const uint32_t clipAt = ClipDepthAt(b, b[0], hasCharacter ? idAt + 2 : idAt);
        if (clipAt != 0) depth(clipAt);
        else ids.known = false;
      }
      break;
    }
    case 3: case 13: case 15: case 23: case 59: case 61: case 62: case 73: case 74: case 78: case 88:
      use(0);
      break;
    case 17:  // DefineButtonSound: button, then sounds with their sound infos
      ids.known = size < 2;
      use(0);
      break;
    case 56: case 76: {  // ExportAssets, SymbolClass: (id, name) pairs; id 0 is the movie itself
      uint32_t at = 2;
      for (uint32_t i = 0, n = RawU16(tag, 0); i < n && at < size; ++i) {
        if (RawU16(tag, at) != 0) use(at);
        at = afterString(at + 2);
      }
      break;
    }
    case 71: {  // ImportAssets2: the URL, two reserved bytes, then (id, name) pairs it defines
      uint32_t at = afterString(0) + 2;
      const uint32_t count = at < size ? RawU16(tag, at) : 0;
      at += 2;
      for (uint32_t i = 0; i < count && at < size; ++i) {
        use(at);
        at = afterString(at + 2);
      }
      break;
    }
    case 57:  // ImportAssets has a class: kept raw only when damaged
      ids.known = false;
      break;
    default: break;
  }
  return ids;
}

void RawTag::VisitIds(SwfIdVisitor& visitor) {
  const SwfRawIds ids = FindRawIds(*this);
  auto visit = [&](uint32_t at, SwfIdRole role) {
    // Never outside the body, whatever the offsets say; written back only when changed.
    if (at >= body.size() || body.size() - at < 2) return;
    const uint16_t before = RawU16(*this, at);
    uint16_t id = before;
    visitor.Visit(id, role);
    if (id == before) return;
    body[at] = static_cast<uint8_t>(id);
    body[at + 1] = static_cast<uint8_t>(id >> 8);
  };
  if (ids.definedAt >= 0) visit(static_cast<uint32_t>(ids.definedAt), SwfIdRole::kDefines);
  // ImportAssets2 defines the characters it takes from another movie.
  for (uint32_t at : ids.usedAt) visit(at, code == 71 ? SwfIdRole::kDefines : SwfIdRole::kRefers);
  if (!ids.known) visitor.Unfound(*this);
}

void RawTag::ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t) {
  if (depthDelta == 0) return;
  // Depths stop at the last one, as the placement classes' do.
  for (uint32_t at : FindRawIds(*this).depthAt) {
    if (at >= body.size() || body.size() - at < 2) continue;
    const auto depth = static_cast<uint16_t>(std::min<uint32_t>(RawU16(*this, at) + depthDelta, 65535));
    body[at] = static_cast<uint8_t>(depth);
    body[at + 1] = static_cast<uint8_t>(depth >> 8);
  }
}
