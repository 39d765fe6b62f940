#include "flash/swf/SwfActions.h"

#include <algorithm>
#include <cstring>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

namespace {

void WriteHeader(SwfBitWriter& out, uint8_t code, uint32_t length) {
  out.WriteU8(code);
  out.WriteU16(static_cast<uint16_t>(length));
}

// A string's bytes in this action and its terminating zero.
void WriteText(SwfBitWriter& out, const SwfString& s, uint8_t version) {
  out.WriteString(s.Encode(version));
  out.WriteU8(0);
}

uint16_t Size16(uint32_t n) { return static_cast<uint16_t>(n); }

}  // namespace

uint32_t SwfAction::Write(SwfBitWriter& out) {
  out.WriteU8(GetActionCode());
  return 1;
}

void SwfAction::ShiftIdsAndDepths(uint16_t, uint16_t, uint32_t) {}

// ---- fixed payloads

uint32_t ActionGotoFrame::Read(SwfReader& reader) {
  reader.ReadU16();
  frame = reader.ReadU16();
  return 4;
}

uint32_t ActionGotoFrame::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 2);
  out.WriteU16(frame);
  return GetSize();
}

void ActionGotoFrame::ShiftIdsAndDepths(uint16_t, uint16_t, uint32_t frameDelta) {
  frame = static_cast<uint16_t>(frame + frameDelta);
}

uint32_t ActionStoreRegister::Read(SwfReader& reader) {
  reader.ReadU16();
  registerNumber = reader.ReadU8();
  return 3;
}

uint32_t ActionStoreRegister::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(registerNumber);
  return GetSize();
}

uint32_t ActionWaitForFrame::Read(SwfReader& reader) {
  reader.ReadU16();
  frame = reader.ReadU16();
  skipCount = reader.ReadU8();
  return 5;
}

uint32_t ActionWaitForFrame::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 3);
  out.WriteU16(frame);
  out.WriteU8(skipCount);
  return GetSize();
}

void ActionWaitForFrame::ShiftIdsAndDepths(uint16_t, uint16_t, uint32_t frameDelta) {
  frame = static_cast<uint16_t>(frame + frameDelta);
}

uint32_t ActionWaitForFrame2::Read(SwfReader& reader) {
  reader.ReadU16();
  skipCount = reader.ReadU8();
  return 3;
}

uint32_t ActionWaitForFrame2::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(skipCount);
  return GetSize();
}

uint32_t ActionGetUrl2::Read(SwfReader& reader) {
  reader.ReadU16();
  method = reader.ReadU8();
  return 3;
}

uint32_t ActionGetUrl2::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(method);
  return GetSize();
}

uint32_t SwfBranchAction::Read(SwfReader& reader) {
  reader.ReadU16();
  offset = static_cast<int16_t>(reader.ReadU16());
  return 4;
}

uint32_t SwfBranchAction::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 2);
  int16_t value = offset;
  if (value == 0) {
    uint32_t sum = 0;
    for (SwfAction* a : span) sum += a->GetSize();
    value = static_cast<int16_t>(sum);
  }
  out.WriteS16(value);
  return GetSize();
}

// ---- strings

uint32_t ActionGetUrl::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadU16();
  reader.ReadString(url, 0, false);
  reader.ReadString(target, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionGetUrl::GetSize() const { return Size16(url.EncodedSize(version) + target.EncodedSize(version) + 5); }

uint32_t ActionGetUrl::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), GetSize() - 3u);
  WriteText(out, url, version);
  WriteText(out, target, version);
  return GetSize();
}

uint32_t ActionSetTarget::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadU16();
  reader.ReadString(target, 0, true);
  return reader.GetPosition() - start;
}

uint16_t ActionSetTarget::GetSize() const { return Size16(target.EncodedSize(version) + 4); }

uint32_t ActionSetTarget::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), GetSize() - 3u);
  WriteText(out, target, version);
  return GetSize();
}

uint32_t ActionGotoLabel::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadU16();
  reader.ReadString(label, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionGotoLabel::GetSize() const { return Size16(label.EncodedSize(version) + 4); }

uint32_t ActionGotoLabel::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), GetSize() - 3u);
  WriteText(out, label, version);
  return GetSize();
}

uint32_t ActionWith::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  name.clear();
  const uint16_t length = reader.ReadU16();
  blockSize = reader.ReadU16();
  if (length >= 3) reader.ReadString(name, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionWith::GetSize() const { return name.empty() ? 5 : Size16(name.EncodedSize(version) + 6); }

uint32_t ActionWith::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), GetSize() - 3u);
  out.WriteU16(blockSize);
  if (!name.empty()) WriteText(out, name, version);
  return GetSize();
}

// ---- constant pool

uint32_t ActionConstantPool::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  const uint16_t length = reader.ReadU16();
  reader.ReadU16();  // the count; the strings are counted by their bytes
  int32_t remaining = static_cast<int32_t>(length) - 2;
  while (remaining > 0) {
    SwfString s;
    const uint32_t before = reader.GetPosition();
    reader.ReadString(s, 0, true);
    remaining -= static_cast<int32_t>(s.EncodedSize(version) + 1);
    constants.push_back(std::move(s));
    if (reader.GetPosition() == before) break;  // the input ended
  }
  return reader.GetPosition() - start;
}

uint16_t ActionConstantPool::GetSize() const {
  uint32_t sum = 5;
  for (const auto& s : constants) sum += s.EncodedSize(version) + 1;
  return Size16(sum);
}

uint32_t ActionConstantPool::Write(SwfBitWriter& out) {
  SwfBitWriter strings(out.GetVersion());
  for (const auto& s : constants) WriteText(strings, s, version);
  WriteHeader(out, GetActionCode(), strings.GetByteCount() + 2);
  out.WriteU16(static_cast<uint16_t>(constants.size()));
  out.AppendWriter(strings);
  return GetSize();
}

void ActionConstantPool::AddConstant(const wchar_t* s, uint32_t position) {
  if (!s || FindConstant(s) >= 0) return;
  if (position < constants.size())
    constants.insert(constants.begin() + position, SwfString(s));
  else
    constants.emplace_back(s);
}

int ActionConstantPool::FindConstant(const wchar_t* s) const {
  if (!s) return -1;
  for (size_t i = 0; i < constants.size(); ++i)
    if (constants[i].Text() == s) return static_cast<int>(i);
  return -1;
}

std::wstring ActionConstantPool::GetConstant(int index) const {
  if (constants.empty()) return std::wstring();
  index = std::clamp(index, 0, static_cast<int>(constants.size()) - 1);
  return constants[static_cast<size_t>(index)].Text();
}

// ---- push

uint32_t SwfPushValue::GetSize(uint8_t version) const {
  switch (type) {
    case kString: return text.EncodedSize(version) + 2;
    case kFloat:
    case kInteger: return 5;
    case kRegister:
    case kBoolean:
    case kConstant8: return 2;
    case kDouble: return 9;
    case kConstant16: return 3;
    default: return 1;
  }
}

ActionPush::ActionPush(int value) { AddInteger(static_cast<uint32_t>(value), kAppend); }

ActionPush::ActionPush(const wchar_t* value) { AddString(value, kAppend); }

ActionPush::ActionPush(uint16_t value, int type) {
  if (type == SwfPushValue::kRegister) AddRegister(static_cast<uint8_t>(value), kAppend);
  if (type == SwfPushValue::kConstant8) AddConstant8(static_cast<uint8_t>(value), kAppend);
  if (type == SwfPushValue::kConstant16) AddConstant16(value, kAppend);
}

uint32_t ActionPush::Add(SwfPushValue value, uint32_t position) {
  const uint32_t size = value.GetSize(version);
  if (position < values.size())
    values.insert(values.begin() + position, std::move(value));
  else
    values.push_back(std::move(value));
  return size;
}

uint32_t ActionPush::AddString(const wchar_t* value, uint32_t position) {
  return AddString(SwfString(value), position);
}

uint32_t ActionPush::AddString(const SwfString& value, uint32_t position) {
  SwfPushValue v;
  v.type = SwfPushValue::kString;
  v.text = value;
  return Add(std::move(v), position);
}

namespace {
SwfPushValue Numeric(uint8_t type, uint32_t number) {
  SwfPushValue v;
  v.type = type;
  v.number = number;
  return v;
}
}  // namespace

uint32_t ActionPush::AddFloat(uint32_t bits, uint32_t position) { return Add(Numeric(SwfPushValue::kFloat, bits), position); }
uint32_t ActionPush::AddNull(uint32_t position) { return Add(Numeric(SwfPushValue::kNull, 0), position); }
uint32_t ActionPush::AddUndefined(uint32_t position) { return Add(Numeric(SwfPushValue::kUndefined, 0), position); }
uint32_t ActionPush::AddRegister(uint8_t reg, uint32_t position) { return Add(Numeric(SwfPushValue::kRegister, reg), position); }
uint32_t ActionPush::AddBoolean(uint8_t value, uint32_t position) { return Add(Numeric(SwfPushValue::kBoolean, value), position); }
uint32_t ActionPush::AddInteger(uint32_t value, uint32_t position) { return Add(Numeric(SwfPushValue::kInteger, value), position); }
uint32_t ActionPush::AddConstant8(uint8_t index, uint32_t position) { return Add(Numeric(SwfPushValue::kConstant8, index), position); }
uint32_t ActionPush::AddConstant16(uint16_t index, uint32_t position) { return Add(Numeric(SwfPushValue::kConstant16, index), position); }

uint32_t ActionPush::AddDouble(double value, uint32_t position) {
  SwfPushValue v;
  v.type = SwfPushValue::kDouble;
  v.real = value;
  return Add(std::move(v), position);
}

uint32_t ActionPush::GetPayloadLength() const {
  uint32_t sum = 0;
  for (const auto& v : values) sum += v.GetSize(version);
  return sum;
}

uint16_t ActionPush::GetSize() const { return Size16(GetPayloadLength() + 3); }

uint32_t ActionPush::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  values.clear();
  const uint16_t length = reader.ReadU16();
  const uint32_t recordEnd = reader.GetPosition() + length;
  int32_t remaining = length;
  while (remaining > 0) {
    const uint8_t type = reader.ReadU8();
    uint32_t size;
    switch (type) {
      case SwfPushValue::kString: {
        SwfString s;
        reader.ReadString(s, 0, true);
        size = AddString(s, kAppend);
        // A string that runs past the record: go back to the record's end.
        if (reader.GetPosition() > recordEnd) reader.Seek(recordEnd);
        break;
      }
      case SwfPushValue::kFloat: size = AddFloat(reader.ReadU32(), kAppend); break;
      case SwfPushValue::kUndefined: size = AddUndefined(kAppend); break;
      case SwfPushValue::kRegister: size = AddRegister(reader.ReadU8(), kAppend); break;
      case SwfPushValue::kBoolean: size = AddBoolean(reader.ReadU8(), kAppend); break;
      case SwfPushValue::kDouble: {
        const uint32_t high = reader.ReadU32();
        const uint32_t low = reader.ReadU32();
        const uint64_t bits = (uint64_t{high} << 32) | low;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        size = AddDouble(d, kAppend);
        break;
      }
      case SwfPushValue::kInteger: size = AddInteger(reader.ReadU32(), kAppend); break;
      case SwfPushValue::kConstant8: size = AddConstant8(reader.ReadU8(), kAppend); break;
      case SwfPushValue::kConstant16: size = AddConstant16(reader.ReadU16(), kAppend); break;
      default: size = AddNull(kAppend); break;
    }
    remaining -= static_cast<int32_t>(size);
  }
  return reader.GetPosition() - start;
}

uint32_t ActionPush::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), GetPayloadLength());
  for (const auto& v : values) {
    out.WriteU8(v.type);
    switch (v.type) {
      case SwfPushValue::kString: WriteText(out, v.text, version); break;
      case SwfPushValue::kFloat:
      case SwfPushValue::kInteger: out.WriteU32(v.number); break;
      case SwfPushValue::kRegister:
      case SwfPushValue::kBoolean:
      case SwfPushValue::kConstant8: out.WriteU8(static_cast<uint8_t>(v.number)); break;
      case SwfPushValue::kConstant16: out.WriteU16(static_cast<uint16_t>(v.number)); break;
      case SwfPushValue::kDouble: {
        uint64_t bits;
        std::memcpy(&bits, &v.real, sizeof bits);
        out.WriteU32(static_cast<uint32_t>(bits >> 32));  // high word first
        out.WriteU32(static_cast<uint32_t>(bits));
        break;
      }
      default: break;
    }
  }
  return GetSize();
}

// ---- goto frame 2

uint16_t ActionGotoFrame2::GetSize() const { return static_cast<uint16_t>(((flags & 0x02) ? 6 : 4) + (pad ? 1 : 0)); }

uint32_t ActionGotoFrame2::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadU16();
  flags = reader.ReadU8();
  if (flags & 0x02) sceneBias = reader.ReadU16();
  // A 0 byte here that is not the list's last byte (its End action) belongs to this record.
  if (listEnd != 0 && reader.BytesLeft() > 0 && reader.PeekU8() == 0 && listEnd > reader.GetPosition() + 1) {
    reader.ReadU8();
    pad = true;
  }
  return reader.GetPosition() - start;
}

uint32_t ActionGotoFrame2::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), (flags & 0x02) ? 3 : 1);
  out.WriteU8(flags);
  if (flags & 0x02) out.WriteU16(sceneBias);
  if (pad) out.WriteU8(0);
  return GetSize();
}

// ---- generic

uint32_t ActionGeneric::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  payload.clear();
  if (code >= 0x80) {
    payloadLength = reader.ReadU16();
    reader.ReadBytes(payload, payloadLength);
  }
  return reader.GetPosition() - start;
}

uint16_t ActionGeneric::GetSize() const { return code < 0x80 ? 1 : Size16(3 + payload.size()); }

uint32_t ActionGeneric::Write(SwfBitWriter& out) {
  out.WriteU8(code);
  if (code >= 0x80) {
    out.WriteU16(static_cast<uint16_t>(payload.size()));
    out.WriteBytes(payload);
  }
  return GetSize();
}

SwfAction* CreateActionForCode(uint8_t code) {
  switch (code) {
    case 0x1D: return new ActionSetVariable();
    case 0x81: return new ActionGotoFrame();
    case 0x83: return new ActionGetUrl();
    case 0x87: return new ActionStoreRegister();
    case 0x88: return new ActionConstantPool();
    case 0x8A: return new ActionWaitForFrame();
    case 0x8B: return new ActionSetTarget();
    case 0x8C: return new ActionGotoLabel();
    case 0x8D: return new ActionWaitForFrame2();
    case 0x94: return new ActionWith();
    case 0x96: return new ActionPush();
    case 0x99: return new ActionJump();
    case 0x9A: return new ActionGetUrl2();
    case 0x9D: return new ActionIf();
    case 0x9F: return new ActionGotoFrame2();
    default: return new ActionGeneric(code);
  }
}
