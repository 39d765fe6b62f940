#include "script/compiler/CodeRecords.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }

uint32_t Get32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Strings go into the actions as the bytes they are: script text reaches the generator
// already encoded for the movie (UTF-8 from SWF 6 on, Latin-1 below).
uint8_t* PutText(uint8_t* p, std::string_view text) {
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  p[text.size()] = 0;
  return p + text.size() + 1;
}

// The value's type byte and payload; returns the end.
uint8_t* PutValue(uint8_t* p, const PushItem& value) {
  *p++ = value.type;
  switch (value.type) {
    case SwfPushValue::kString: return PutText(p, value.text);
    case SwfPushValue::kFloat:
    case SwfPushValue::kInteger: Put32(p, value.number); return p + 4;
    case SwfPushValue::kRegister:
    case SwfPushValue::kBoolean:
    case SwfPushValue::kConstant8: *p = static_cast<uint8_t>(value.number); return p + 1;
    case SwfPushValue::kConstant16: Put16(p, value.number); return p + 2;
    case SwfPushValue::kDouble: {
      uint64_t bits;
      std::memcpy(&bits, &value.real, sizeof bits);
      Put32(p, static_cast<uint32_t>(bits >> 32));  // high word first
      Put32(p + 4, static_cast<uint32_t>(bits));
      return p + 8;
    }
    default: return p;
  }
}

// The value whose type byte stands at `p`; a string runs to the zero before `end`.
PushItem ReadValue(const uint8_t* p, const uint8_t* end) {
  PushItem value;
  value.type = *p++;
  switch (value.type) {
    case SwfPushValue::kString:
      value.text = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p - 1));
      break;
    case SwfPushValue::kFloat:
    case SwfPushValue::kInteger: value.number = Get32(p); break;
    case SwfPushValue::kRegister:
    case SwfPushValue::kBoolean:
    case SwfPushValue::kConstant8: value.number = *p; break;
    case SwfPushValue::kConstant16: value.number = Get16(p); break;
    case SwfPushValue::kDouble: {
      const uint64_t bits = (uint64_t{Get32(p)} << 32) | Get32(p + 4);
      std::memcpy(&value.real, &bits, sizeof bits);
      break;
    }
    default: break;
  }
  return value;
}

// Bytes of a value of a type other than string, the type byte included.
uint32_t FixedValueSize(uint8_t type) {
  switch (type) {
    case SwfPushValue::kFloat:
    case SwfPushValue::kInteger: return 5;
    case SwfPushValue::kRegister:
    case SwfPushValue::kBoolean:
    case SwfPushValue::kConstant8: return 2;
    case SwfPushValue::kDouble: return 9;
    case SwfPushValue::kConstant16: return 3;
    default: return 1;
  }
}

// Bytes of the value whose type byte stands at `p`.
uint32_t ValueLength(const uint8_t* p, const uint8_t* end) {
  if (*p != SwfPushValue::kString) return FixedValueSize(*p);
  const void* zero = std::memchr(p + 1, 0, static_cast<size_t>(end - p - 1));
  return zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - p + 1) : static_cast<uint32_t>(end - p);
}

}  // namespace

// ---- push values

PushDouble::PushDouble(double d) {
  value.type = SwfPushValue::kDouble;
  value.real = d;
}

PushInteger::PushInteger(int32_t n) {
  value.type = SwfPushValue::kInteger;
  value.number = static_cast<uint32_t>(n);
}

PushItem PushItem::String(std::string_view bytes) {
  PushItem item;
  item.type = SwfPushValue::kString;
  item.text = bytes;
  return item;
}

PushItem PushItem::Double(double d) {
  PushItem item;
  item.type = SwfPushValue::kDouble;
  item.real = d;
  return item;
}

PushItem PushItem::Of(const SwfPushValue& value) {
  PushItem item;
  item.type = value.type;
  item.number = value.number;
  item.real = value.real;
  return item;
}

uint32_t PushItem::Size() const {
  if (type != SwfPushValue::kString) return FixedValueSize(type);
  return static_cast<uint32_t>(std::min<size_t>(text.size(), UINT32_MAX - 2) + 2);
}

// ---- records

std::vector<uint8_t> BufferPool::Take() noexcept {
  return count_ == 0 ? std::vector<uint8_t>() : std::move(spare_[--count_]);
}

void BufferPool::Give(std::vector<uint8_t>&& buffer) noexcept {
  if (buffer.capacity() == 0 || buffer.capacity() > kLargest || count_ == kMost) return;
  buffer.clear();
  spare_[count_++] = std::move(buffer);
}

RecordList& RecordList::operator=(RecordList&& other) noexcept {
  if (this == &other) return *this;
  if (pool_) pool_->Give(std::move(bytes_));
  pool_ = other.pool_;
  bytes_ = std::move(other.bytes_);
  other.bytes_.clear();
  markers_ = std::move(other.markers_);
  other.markers_.clear();
  tail_ = other.tail_;
  joinAt_ = other.joinAt_;
  other.Clear();
  return *this;
}

std::vector<uint8_t> RecordList::TakeBytes() {
  std::vector<uint8_t> bytes = std::move(bytes_);
  bytes_ = std::vector<uint8_t>();
  Clear();
  return bytes;
}

void RecordList::Clear() {
  bytes_.clear();
  markers_.clear();
  tail_ = Tail();
  joinAt_ = -1;
}

uint8_t* RecordList::StartRecord(uint32_t opcode, size_t count) {
  const size_t at = bytes_.size();
  if (count > UINT32_MAX - at) throw CodeGenerationError("The script is too long");
  tail_.prevStart = tail_.lastStart;
  tail_.prevOpcode = tail_.lastOpcode;
  tail_.prevKnown = true;
  tail_.lastStart = static_cast<uint32_t>(at);
  tail_.lastOpcode = opcode;
  tail_.lastValueKnown = false;
  bytes_.resize(at + count);
  return bytes_.data() + at;
}

void RecordList::AppendAction(uint32_t opcode) {
  if (opcode < 0x80) {
    *StartRecord(opcode, 1) = static_cast<uint8_t>(opcode);
    return;
  }
  uint8_t* p = StartRecord(opcode, 3);
  p[0] = static_cast<uint8_t>(opcode);
  Put16(p + 1, 0);
}

void RecordList::AppendOperand(uint32_t opcode, int32_t operand) {
  switch (opcode) {
    case kActionStoreRegister:
    case kActionGetURL2:
    case kActionGotoFrame2: {
      uint8_t* p = StartRecord(opcode, 4);
      p[0] = static_cast<uint8_t>(opcode);
      Put16(p + 1, 1);
      p[3] = static_cast<uint8_t>(operand);
      return;
    }
    case kActionWith:
      if (operand < 0 || static_cast<uint32_t>(operand) > kMaxFieldLength)
        throw CodeGenerationError("with block longer than 65535 bytes");
      break;
    case kActionJump:
    case kActionIf:
      if (operand < INT16_MIN || operand > INT16_MAX)
        throw CodeGenerationError("branch distance beyond 32767 bytes");
      break;
    case kActionGotoFrame:
      break;
    default:
      throw CodeGenerationError("break or continue outside a loop");
  }
  uint8_t* p = StartRecord(opcode, 5);
  p[0] = static_cast<uint8_t>(opcode);
  Put16(p + 1, 2);
  Put16(p + 3, static_cast<uint16_t>(operand));
}

void RecordList::AppendMarker(uint32_t marker, int32_t line) {
  // Written as the jump it becomes, its distance still open.
  uint8_t* p = StartRecord(marker, 5);
  p[0] = kActionJump;
  Put16(p + 1, 2);
  Put16(p + 3, 0);
  markers_.push_back({tail_.lastStart, marker, line});
}

void RecordList::AppendGetUrl(std::string_view url, std::string_view target) {
  const uint64_t payload = uint64_t{url.size()} + target.size() + 2;
  if (payload > kMaxFieldLength) throw CodeGenerationError("getURL strings longer than 65535 bytes");
  uint8_t* p = StartRecord(kActionGetURL, static_cast<size_t>(payload) + 3);
  p[0] = kActionGetURL;
  Put16(p + 1, static_cast<uint32_t>(payload));
  PutText(PutText(p + 3, url), target);
}

void RecordList::AppendConstantPool(const std::vector<uint8_t>& payload) {
  uint8_t* p = StartRecord(kActionConstantPool, payload.size() + 3);
  p[0] = kActionConstantPool;
  Put16(p + 1, static_cast<uint32_t>(payload.size()));
  std::memcpy(p + 3, payload.data(), payload.size());
}

void RecordList::AppendDefineFunction(std::string_view name, const std::vector<std::string_view>& parameters,
                                      RecordList& body) {
  uint64_t header = name.size() + 8;
  for (const auto& parameter : parameters) header += parameter.size() + 1;
  if (header - 3 > kMaxFieldLength || parameters.size() > kMaxFieldLength)
    throw CodeGenerationError("function header longer than 65535 bytes");
  const uint32_t codeSize = body.Size();
  if (codeSize > kMaxFieldLength) throw CodeGenerationError("function body longer than 65535 bytes");
  uint8_t* p = StartRecord(kActionDefineFunction, static_cast<size_t>(header) + codeSize);
  p[0] = kActionDefineFunction;
  Put16(p + 1, static_cast<uint32_t>(header - 3));
  p = PutText(p + 3, name);
  Put16(p, static_cast<uint32_t>(parameters.size()));
  p += 2;
  for (const auto& parameter : parameters) p = PutText(p, parameter);
  Put16(p, codeSize);
  if (codeSize > 0) std::memcpy(p + 2, body.bytes_.data(), codeSize);
  body.Clear();
}

void RecordList::AppendEventHandler(uint32_t kind, uint32_t flags, RecordList& body, int version) {
  const bool wide = version >= 6;
  const size_t codeSize = body.Size();
  uint8_t* p;
  if (kind == 12) {  // onClipEvent: 32-bit flags from SWF 6 on, and a length
    const size_t flagBytes = wide ? 4 : 2;
    const uint64_t size = uint64_t{codeSize} + (wide ? 9 : 7);
    if (size > UINT32_MAX) throw CodeGenerationError("The script is too long");
    p = StartRecord(kind, static_cast<size_t>(size));
    if (wide) Put32(p, flags); else Put16(p, flags);
    Put32(p + flagBytes, static_cast<uint32_t>(size - flagBytes - 4));
    p += flagBytes + 4;
  } else {
    p = StartRecord(kind, codeSize + 3);
    Put16(p, flags);
    p += 2;
  }
  if (codeSize > 0) std::memcpy(p, body.bytes_.data(), codeSize);
  p[codeSize] = 0;
  body.Clear();
}

void RecordList::AppendPush(const PushItem& value) {
  const uint32_t size = value.Size();
  // An ActionPush's length field is 16 bits: a value that would carry it past 65535 bytes
  // starts a new ActionPush.
  if (size > kMaxFieldLength) throw CodeGenerationError("string longer than 65533 bytes");
  if (tail_.lastOpcode == kActionPush && !AtJoin()) {
    uint8_t* length = bytes_.data() + tail_.lastStart + 1;
    const uint32_t payload = Get16(length);
    if (payload + size <= kMaxFieldLength) {
      Put16(length, payload + size);
      const size_t at = bytes_.size();
      bytes_.resize(at + size);
      PutValue(bytes_.data() + at, value);
      tail_.lastValueStart = static_cast<uint32_t>(at);
      tail_.lastValueKnown = true;
      return;
    }
  }
  uint8_t* p = StartRecord(kActionPush, size + 3);
  p[0] = kActionPush;
  Put16(p + 1, size);
  PutValue(p + 3, value);
  tail_.lastValueStart = tail_.lastStart + 3;
  tail_.lastValueKnown = true;
}

void RecordList::Append(RecordList& other) {
  if (other.empty()) return;
  if (empty()) {
    // Taken over whole: the buffers change hands.
    std::swap(bytes_, other.bytes_);
    std::swap(markers_, other.markers_);
    tail_ = other.tail_;
    joinAt_ = other.joinAt_;
    other.Clear();
    return;
  }
  const uint32_t offset = Size();
  if (other.Size() > UINT32_MAX - offset) throw CodeGenerationError("The script is too long");
  bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
  for (const Marker& marker : other.markers_) markers_.push_back({marker.offset + offset, marker.kind, marker.line});
  if (other.tail_.lastStart == 0) {
    // One record: the one before it is this list's last.
    tail_.prevStart = tail_.lastStart;
    tail_.prevOpcode = tail_.lastOpcode;
    tail_.prevKnown = true;
  } else {
    tail_.prevStart = other.tail_.prevStart + offset;
    tail_.prevOpcode = other.tail_.prevOpcode;
    tail_.prevKnown = other.tail_.prevKnown;
  }
  tail_.lastStart = other.tail_.lastStart + offset;
  tail_.lastOpcode = other.tail_.lastOpcode;
  tail_.lastValueStart = other.tail_.lastValueStart + offset;
  tail_.lastValueKnown = other.tail_.lastValueKnown;
  if (other.joinAt_ >= 0) joinAt_ = other.joinAt_ + offset;
  other.Clear();
}

void RecordList::AppendRaw(uint32_t kind, const uint8_t* bytes, size_t count) {
  uint8_t* p = StartRecord(kind, count);
  if (count > 0) std::memcpy(p, bytes, count);
}

void RecordList::RemoveLast() {
  if (tail_.lastOpcode == 0 || AtJoin()) return;
  if (!tail_.prevKnown) Rescan();
  bytes_.resize(tail_.lastStart);
  while (!markers_.empty() && markers_.back().offset >= tail_.lastStart) markers_.pop_back();
  tail_.lastOpcode = tail_.prevOpcode;
  tail_.lastStart = tail_.lastOpcode == 0 ? 0 : tail_.prevStart;
  // The record before the new last one is known only when there is none.
  tail_.prevStart = 0;
  tail_.prevOpcode = 0;
  tail_.prevKnown = tail_.lastStart == 0;
  tail_.lastValueKnown = false;
}

void RecordList::Rescan() {
  // Only lists of actions are read back: a define function record holds its body.
  uint32_t position = 0;
  uint32_t last = 0, lastCode = 0, previous = 0, previousCode = 0;
  size_t marker = 0;
  const uint32_t size = Size();
  while (position < size) {
    const uint8_t code = bytes_[position];
    uint32_t recordCode = code;
    if (marker < markers_.size() && markers_[marker].offset == position) recordCode = markers_[marker++].kind;
    previous = last;
    previousCode = lastCode;
    last = position;
    lastCode = recordCode;
    uint32_t length = code < 0x80 ? 1 : 3 + Get16(&bytes_[position + 1]);
    if (code == kActionDefineFunction) length += Get16(&bytes_[position + length - 2]);
    position += length;
  }
  tail_.lastStart = last;
  tail_.lastOpcode = lastCode;
  tail_.prevStart = previous;
  tail_.prevOpcode = previousCode;
  tail_.prevKnown = true;
  tail_.lastValueKnown = false;
  if (tail_.lastOpcode == kActionPush) {
    const uint8_t* end = bytes_.data() + size;
    uint32_t value = tail_.lastStart + 3;
    while (value < size) {
      tail_.lastValueStart = value;
      value += ValueLength(bytes_.data() + value, end);
    }
    tail_.lastValueKnown = true;
  }
}

PushItem RecordList::LastPushValue() {
  if (!tail_.lastValueKnown) Rescan();
  return ReadValue(bytes_.data() + tail_.lastValueStart, bytes_.data() + bytes_.size());
}

void RecordList::ReplaceLastPushValue(const PushItem& value) {
  if (!tail_.lastValueKnown) Rescan();
  bytes_.resize(tail_.lastValueStart);
  const size_t at = bytes_.size();
  bytes_.resize(at + value.Size());
  PutValue(bytes_.data() + at, value);
  const size_t payload = bytes_.size() - tail_.lastStart - 3;
  if (payload > kMaxFieldLength) throw CodeGenerationError("The generated code does not match its size");
  Put16(bytes_.data() + tail_.lastStart + 1, static_cast<uint32_t>(payload));
}

void RecordList::ResolveMarkers(int64_t start, int64_t breakTarget, int64_t continueTarget) {
  for (const Marker& marker : markers_) {
    const int64_t position = start + marker.offset + 5;
    const int64_t target = marker.kind == kBreakMarker ? breakTarget : continueTarget;
    const int64_t distance = target - position;
    if (distance < INT16_MIN || distance > INT16_MAX)
      throw CodeGenerationError("branch distance beyond 32767 bytes");
    Put16(bytes_.data() + marker.offset + 3, static_cast<uint16_t>(distance));
    if (marker.offset == tail_.lastStart) tail_.lastOpcode = kActionJump;
    if (marker.offset == tail_.prevStart && tail_.prevOpcode == marker.kind) tail_.prevOpcode = kActionJump;
  }
  markers_.clear();
}

uint32_t ParseInteger(std::string_view text) {
  uint32_t base = 10;
  size_t i = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else break;
    value = value * base + digit;
  }
  return value;
}

// ---- generation state

namespace {

// FNV-1a: pool strings are short names, hashed inline faster than by a library call.
uint64_t HashText(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return hash;
}

}  // namespace

size_t GenerationContext::PoolSlot(std::string_view text, uint64_t hash) const {
  const size_t mask = poolSlots_.size() - 1;
  for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
    const int32_t entry = poolSlots_[slot];
    if (entry < 0) return slot;
    const auto index = static_cast<size_t>(entry);
    if (poolHashes_[index] == hash && pool[index] == text) return slot;
  }
}

void GenerationContext::AddPoolString(std::string_view text) {
  if (poolRecording) {
    const auto size = static_cast<uint32_t>(text.size());
    const uint8_t bytes[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
    poolRecording->insert(poolRecording->end(), bytes, bytes + 4);
    poolRecording->insert(poolRecording->end(), text.begin(), text.end());
    return;
  }
  const uint64_t hash = HashText(text);
  const size_t slot = PoolSlot(text, hash);
  if (poolSlots_[slot] >= 0) {
    poolUsed = true;
    return;
  }
  // Version 5 players read at most 256 pool entries; later ones take a 16-bit count, and
  // the pool record's own length field is 16 bits as well.
  const size_t limit = version <= 5 ? 256 : 65535;
  if (pool.size() >= limit) return;
  if (uint64_t{poolBytes} + text.size() + 1 > kMaxFieldLength) return;
  poolSlots_[slot] = static_cast<int32_t>(pool.size());
  pool.emplace_back(text);
  poolHashes_.push_back(hash);
  poolBytes += static_cast<uint32_t>(text.size() + 1);
  if (2 * pool.size() > poolSlots_.size()) {
    // Grown before it is half full, so that probes stay short.
    poolSlots_.assign(2 * poolSlots_.size(), -1);
    for (size_t i = 0; i < pool.size(); ++i)
      poolSlots_[PoolSlot(pool[i], poolHashes_[i])] = static_cast<int32_t>(i);
  }
}

void GenerationContext::AddRecordedNames(const std::vector<uint8_t>& recording) {
  // Each name as AddPoolString noted it: its size in four bytes, low first, then its bytes.
  for (size_t at = 0; at + 4 <= recording.size();) {
    const uint8_t* p = recording.data() + at;
    const uint32_t size = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    AddPoolString(std::string_view(reinterpret_cast<const char*>(p + 4), size));
    at += 4 + size;
  }
}

int32_t GenerationContext::PoolIndexOf(std::string_view text) const {
  return poolSlots_[PoolSlot(text, HashText(text))];
}

bool GenerationContext::ContainsName(std::string_view text) const {
  for (const auto& name : nameStack)
    if (name == text) return true;
  return false;
}

const std::vector<uint8_t>& GenerationContext::PoolPayload() {
  if (poolPayload_.empty()) {
    poolPayload_.resize(poolBytes);
    Put16(poolPayload_.data(), static_cast<uint32_t>(pool.size()));
    uint8_t* p = poolPayload_.data() + 2;
    for (const auto& s : pool) p = PutText(p, s);
  }
  return poolPayload_;
}
