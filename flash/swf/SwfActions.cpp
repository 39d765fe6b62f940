#include "flash/swf/SwfActions.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"

namespace {

// The most bytes a record's 16-bit length field can count.
constexpr uint32_t kMaxPayload = 0xFFFF;

// A record whose payload the length field cannot count is refused, never written with a cut
// length (that would make the rest of the list read as other actions).
bool WriteHeader(SwfBitWriter& out, uint8_t code, uint32_t length) {
  if (length > kMaxPayload) {
    char reason[120];
    snprintf(reason, sizeof reason, "an action record (code 0x%02X) of %u bytes is longer than its length field can count",
             code, static_cast<unsigned>(length));
    out.Fail(reason);
    return false;
  }
  out.WriteU8(code);
  out.WriteU16(static_cast<uint16_t>(length));
  return true;
}

// A string's bytes in this action and its terminating zero.
void WriteText(SwfBitWriter& out, const SwfString& s, uint8_t version) {
  if (s.IsFromFile()) {
    const std::string_view bytes = s.FileBytes();
    out.WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  } else {
    out.WriteString(s.Encode(version));
  }
  out.WriteU8(0);
}

uint16_t Size16(uint32_t n) { return static_cast<uint16_t>(n); }

// One record's payload being read: its length field is read first, and reads then stop at the
// end of the record, of the tag being read or of the input, whichever comes first. Bytes
// behind a shorter record's fields are left for the list to read as the next action.
class RecordScope {
 public:
  explicit RecordScope(SwfReader& reader) : reader_(reader), savedEnd_(reader.tagEnd) {
    length_ = reader.TagBytesLeft() >= 2 ? reader.ReadU16() : 0;
    const uint32_t limit = std::min(savedEnd_, reader.GetSize());
    reader.tagEnd = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{reader.GetPosition()} + length_, limit));
  }
  ~RecordScope() { Close(); }
  RecordScope(const RecordScope&) = delete;
  RecordScope& operator=(const RecordScope&) = delete;
  // Back to the bounds of the tag.
  void Close() { reader_.tagEnd = savedEnd_; }
  uint16_t Length() const { return length_; }
  uint32_t Left() const { return reader_.TagBytesLeft(); }
  uint8_t U8() { return Left() >= 1 ? reader_.ReadU8() : 0; }
  uint16_t U16() { return Left() >= 2 ? reader_.ReadU16() : 0; }
  uint32_t U32() { return Left() >= 4 ? reader_.ReadU32() : 0; }

 private:
  SwfReader& reader_;
  uint32_t savedEnd_;
  uint16_t length_ = 0;
};

}  // namespace

// ---- memory of actions
//
// Actions are carved in order from blocks of 64 KB aligned to their size, so that the block
// of an action is found from its address alone. A block counts the actions in it still alive
// and goes back to the heap when the last one is deleted, on whichever thread that happens.
// The thread that carves from a block holds a large share of its count until it moves on to
// another block (or ends), so the count cannot reach 0 while actions are still carved from it.
// Sanitizer builds take every action from the heap, so that their checks see each one.

namespace {

constexpr size_t kActionBlockBytes = 64 * 1024;
// Larger objects (none of the action classes here) come from the heap.
constexpr size_t kLargestCarved = 1024;
// No action class holds anything aligned beyond a pointer.
constexpr size_t kActionAlignment = alignof(void*);
constexpr uint32_t kCarverShare = 1u << 30;

struct alignas(16) ActionBlock {
  std::atomic<uint32_t> live{kCarverShare};
};

void FreeActionBlock(ActionBlock* block) {
  block->~ActionBlock();
  ::operator delete(block, std::align_val_t{kActionBlockBytes});
}

void ReleaseFromActionBlock(ActionBlock* block, uint32_t count) {
  if (block->live.fetch_sub(count, std::memory_order_acq_rel) == count) FreeActionBlock(block);
}

class ActionCarver {
 public:
  ActionCarver() = default;
  ActionCarver(const ActionCarver&) = delete;
  ActionCarver& operator=(const ActionCarver&) = delete;
  ~ActionCarver() { Leave(); }

  void* Take(size_t size) {
    size = (size + kActionAlignment - 1) & ~(kActionAlignment - 1);
    if (static_cast<size_t>(end_ - next_) < size) {
      Leave();
      void* memory = ::operator new(kActionBlockBytes, std::align_val_t{kActionBlockBytes});
      block_ = new (memory) ActionBlock;
      next_ = static_cast<char*>(memory) + sizeof(ActionBlock);
      end_ = static_cast<char*>(memory) + kActionBlockBytes;
    }
    void* taken = next_;
    next_ += size;
    ++carved_;
    return taken;
  }

 private:
  // Gives back the share of the block's count this thread held, less the actions carved.
  void Leave() {
    if (block_) ReleaseFromActionBlock(block_, kCarverShare - carved_);
    block_ = nullptr;
    next_ = end_ = nullptr;
    carved_ = 0;
  }

  ActionBlock* block_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
  uint32_t carved_ = 0;
};

static_assert(kActionBlockBytes / 8 < kCarverShare);

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCarveActions = false;
#else
constexpr bool kCarveActions = true;
#endif

}  // namespace

void* SwfAction::operator new(size_t size) {
  if (!kCarveActions || size > kLargestCarved) return ::operator new(size);
  thread_local ActionCarver carver;
  return carver.Take(size);
}

void SwfAction::operator delete(void* action, size_t size) noexcept {
  if (!action) return;
  if (!kCarveActions || size > kLargestCarved) {
    ::operator delete(action);
    return;
  }
  const auto address = reinterpret_cast<uintptr_t>(action) & ~uintptr_t{kActionBlockBytes - 1};
  ReleaseFromActionBlock(reinterpret_cast<ActionBlock*>(address), 1);
}

// ---- actions

uint32_t SwfAction::Write(SwfBitWriter& out) {
  out.WriteU8(GetActionCode());
  return 1;
}

void SwfAction::ShiftIdsAndDepths(uint16_t, uint16_t, uint32_t) {}

// ---- fixed payloads

uint32_t ActionGotoFrame::Read(SwfReader& reader) {
  RecordScope record(reader);
  frame = record.U16();
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
  RecordScope record(reader);
  registerNumber = record.U8();
  return 3;
}

uint32_t ActionStoreRegister::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(registerNumber);
  return GetSize();
}

uint32_t ActionWaitForFrame::Read(SwfReader& reader) {
  RecordScope record(reader);
  frame = record.U16();
  skipCount = record.U8();
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
  RecordScope record(reader);
  skipCount = record.U8();
  return 3;
}

uint32_t ActionWaitForFrame2::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(skipCount);
  return GetSize();
}

uint32_t ActionGetUrl2::Read(SwfReader& reader) {
  RecordScope record(reader);
  method = record.U8();
  return 3;
}

uint32_t ActionGetUrl2::Write(SwfBitWriter& out) {
  WriteHeader(out, GetActionCode(), 1);
  out.WriteU8(method);
  return GetSize();
}

uint32_t SwfBranchAction::Read(SwfReader& reader) {
  RecordScope record(reader);
  offset = static_cast<int16_t>(record.U16());
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
  RecordScope record(reader);
  reader.ReadString(url, 0, false);
  reader.ReadString(target, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionGetUrl::GetSize() const { return Size16(url.EncodedSize(version) + target.EncodedSize(version) + 5); }

uint32_t ActionGetUrl::Write(SwfBitWriter& out) {
  if (!WriteHeader(out, GetActionCode(), url.EncodedSize(version) + target.EncodedSize(version) + 2)) return 0;
  WriteText(out, url, version);
  WriteText(out, target, version);
  return GetSize();
}

uint32_t ActionSetTarget::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  RecordScope record(reader);
  reader.ReadString(target, 0, true);
  return reader.GetPosition() - start;
}

uint16_t ActionSetTarget::GetSize() const { return Size16(target.EncodedSize(version) + 4); }

uint32_t ActionSetTarget::Write(SwfBitWriter& out) {
  if (!WriteHeader(out, GetActionCode(), target.EncodedSize(version) + 1)) return 0;
  WriteText(out, target, version);
  return GetSize();
}

uint32_t ActionGotoLabel::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  RecordScope record(reader);
  reader.ReadString(label, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionGotoLabel::GetSize() const { return Size16(label.EncodedSize(version) + 4); }

uint32_t ActionGotoLabel::Write(SwfBitWriter& out) {
  if (!WriteHeader(out, GetActionCode(), label.EncodedSize(version) + 1)) return 0;
  WriteText(out, label, version);
  return GetSize();
}

uint32_t ActionWith::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  name.clear();
  RecordScope record(reader);
  blockSize = record.U16();
  if (record.Length() >= 3) reader.ReadString(name, 0, false);
  return reader.GetPosition() - start;
}

uint16_t ActionWith::GetSize() const { return name.empty() ? 5 : Size16(name.EncodedSize(version) + 6); }

uint32_t ActionWith::Write(SwfBitWriter& out) {
  if (!WriteHeader(out, GetActionCode(), name.empty() ? 2 : name.EncodedSize(version) + 3)) return 0;
  out.WriteU16(blockSize);
  if (!name.empty()) WriteText(out, name, version);
  return GetSize();
}

// ---- constant pool

uint32_t ActionConstantPool::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  RecordScope record(reader);
  record.U16();  // the count; the strings are counted by their bytes
  int32_t remaining = static_cast<int32_t>(record.Length()) - 2;
  while (remaining > 0 && record.Left() > 0) {
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
  // More entries than the count field holds cannot be written either.
  if (!WriteHeader(out, GetActionCode(), constants.size() > kMaxPayload ? kMaxPayload + 1 : strings.GetByteCount() + 2))
    return 0;
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
  // The values are gathered first and then stored in an array of exactly their number.
  thread_local std::vector<SwfPushValue> read;
  read.clear();
  auto add = [this](SwfPushValue&& v) { read.push_back(std::move(v)); };
  RecordScope record(reader);
  // Values are read while the record has bytes; a value cut by the record's end is dropped.
  bool cut = false;
  while (!cut && record.Left() > 0) {
    SwfPushValue v;
    v.type = reader.ReadU8();
    const uint32_t left = record.Left();
    auto fits = [left, &cut](uint32_t n) { return !(cut = left < n); };
    switch (v.type) {
      case SwfPushValue::kString:
        // A string missing its 0 byte ends with the record.
        reader.ReadString(v.text, 0, true);
        break;
      case SwfPushValue::kFloat:
      case SwfPushValue::kInteger:
        if (fits(4)) v.number = reader.ReadU32();
        break;
      case SwfPushValue::kRegister:
      case SwfPushValue::kBoolean:
      case SwfPushValue::kConstant8:
        if (fits(1)) v.number = reader.ReadU8();
        break;
      case SwfPushValue::kConstant16:
        if (fits(2)) v.number = reader.ReadU16();
        break;
      case SwfPushValue::kDouble: {
        if (!fits(8)) break;
        const uint32_t high = reader.ReadU32();
        const uint32_t low = reader.ReadU32();
        const uint64_t bits = (uint64_t{high} << 32) | low;
        std::memcpy(&v.real, &bits, sizeof v.real);
        break;
      }
      case SwfPushValue::kUndefined: break;
      default: v.type = SwfPushValue::kNull; break;
    }
    if (!cut) add(std::move(v));
  }
  values.clear();
  values.reserve(read.size());
  std::move(read.begin(), read.end(), std::back_inserter(values));
  read.clear();
  // A record of thousands of values (a long one of one-byte values) leaves nothing behind.
  if (read.capacity() > 256) std::vector<SwfPushValue>().swap(read);
  // A cut value's bytes belong to this record, not to the next action.
  reader.Skip(record.Left());
  return reader.GetPosition() - start;
}

uint32_t ActionPush::Write(SwfBitWriter& out) {
  if (!WriteHeader(out, GetActionCode(), GetPayloadLength())) return 0;
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
  RecordScope record(reader);
  flags = record.U8();
  if (flags & 0x02) sceneBias = record.U16();
  record.Close();
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
    RecordScope record(reader);
    payloadLength = record.Length();
    reader.ReadBytes(payload, std::min<uint32_t>(payloadLength, record.Left()));
  }
  return reader.GetPosition() - start;
}

uint16_t ActionGeneric::GetSize() const { return code < 0x80 ? 1 : Size16(3 + payload.size()); }

uint32_t ActionGeneric::Write(SwfBitWriter& out) {
  if (code < 0x80) {
    out.WriteU8(code);
  } else {
    if (!WriteHeader(out, code, static_cast<uint32_t>(std::min<size_t>(payload.size(), UINT32_MAX)))) return 0;
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
