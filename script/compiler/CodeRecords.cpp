#include "script/compiler/CodeRecords.h"

#include <cstdlib>

namespace {

// Script text reaches the generator already encoded for the movie (UTF-8 from SWF 6 on,
// Latin-1 below); the action classes keep such bytes exactly as given.
SwfString Bytes(const std::string& bytes) { return SwfString::FromFile(bytes, 6); }

SwfPushValue Value(uint8_t type, uint32_t number) {
  SwfPushValue v;
  v.type = type;
  v.number = number;
  return v;
}

void WriteAction(CodeWriter& writer, SwfAction& action) {
  action.version = static_cast<uint8_t>(writer.version);
  action.Write(writer.out);
}

void WriteRecords(CodeWriter& writer, RecordList& records) {
  for (auto& record : records) record->Write(writer);
}

uint32_t SizeAll(RecordList& records, int version) {
  uint64_t sum = 0;
  for (auto& record : records) sum += record->Size(version);
  if (sum > UINT32_MAX) throw CodeGenerationError("The script is too long");
  return static_cast<uint32_t>(sum);
}

}  // namespace

// ---- push values

PushString::PushString(const std::string& bytes) {
  value.type = SwfPushValue::kString;
  value.text = Bytes(bytes);
}

PushNull::PushNull() : PushValue(Value(SwfPushValue::kNull, 0)) {}
PushUndefined::PushUndefined() : PushValue(Value(SwfPushValue::kUndefined, 0)) {}
PushRegister::PushRegister(uint8_t number) : PushValue(Value(SwfPushValue::kRegister, number)) {}
PushBoolean::PushBoolean(bool b) : PushValue(Value(SwfPushValue::kBoolean, b ? 1 : 0)) {}

PushDouble::PushDouble(double d) {
  value.type = SwfPushValue::kDouble;
  value.real = d;
}

PushDouble::PushDouble(const std::string& text) : PushDouble(std::atof(text.c_str())) {}

PushInteger::PushInteger(int32_t n)
    : PushValue(Value(SwfPushValue::kInteger, static_cast<uint32_t>(n))) {}

PushInteger::PushInteger(const std::string& text)
    : PushValue(Value(SwfPushValue::kInteger, ParseInteger(text))) {}

PushConstant::PushConstant(uint32_t index)
    : PushValue(Value(index <= 255 ? SwfPushValue::kConstant8 : SwfPushValue::kConstant16, index)) {}

// ---- records

OpcodeRecord::OpcodeRecord(uint32_t opcode) : CodeRecord(opcode, opcode == kActionCall ? 3 : 1) {}

uint32_t OpcodeRecord::Size(int) { return size = (opcode == kActionCall ? 3 : 1); }

void OpcodeRecord::Write(CodeWriter& writer) {
  ActionGeneric action(static_cast<uint8_t>(opcode));
  WriteAction(writer, action);
}

namespace {
uint32_t OperandSize(uint32_t opcode) {
  return (opcode == kActionStoreRegister || opcode == kActionGetURL2 || opcode == kActionGotoFrame2) ? 4 : 5;
}
}  // namespace

OperandRecord::OperandRecord(uint32_t opcode, int32_t operand)
    : CodeRecord(opcode, OperandSize(opcode)), operand(operand) {}

uint32_t OperandRecord::Size(int) { return size = OperandSize(opcode); }

void OperandRecord::Write(CodeWriter& writer) {
  switch (opcode) {
    case kActionGotoFrame: {
      ActionGotoFrame action(static_cast<uint16_t>(operand));
      WriteAction(writer, action);
      break;
    }
    case kActionStoreRegister: {
      ActionStoreRegister action(static_cast<uint8_t>(operand));
      WriteAction(writer, action);
      break;
    }
    case kActionWith: {
      if (operand < 0 || static_cast<uint32_t>(operand) > kMaxFieldLength)
        throw CodeGenerationError("with block longer than 65535 bytes");
      ActionWith action;
      action.blockSize = static_cast<uint16_t>(operand);
      WriteAction(writer, action);
      break;
    }
    case kActionJump:
    case kActionIf: {
      if (operand < INT16_MIN || operand > INT16_MAX)
        throw CodeGenerationError("branch distance beyond 32767 bytes");
      if (opcode == kActionJump) {
        ActionJump action(static_cast<int16_t>(operand));
        WriteAction(writer, action);
      } else {
        ActionIf action(static_cast<int16_t>(operand));
        WriteAction(writer, action);
      }
      break;
    }
    case kActionGetURL2: {
      ActionGetUrl2 action(static_cast<uint8_t>(operand));
      WriteAction(writer, action);
      break;
    }
    case kActionGotoFrame2: {
      ActionGotoFrame2 action(static_cast<uint8_t>(operand));
      WriteAction(writer, action);
      break;
    }
    default:
      throw CodeGenerationError("break or continue outside a loop");
  }
}

StringOperandRecord::StringOperandRecord(uint32_t opcode, const std::string& first,
                                         const std::string& second)
    : CodeRecord(opcode, 0), first(first), second(second) {
  const uint64_t total = uint64_t{first.size()} + second.size() + 5;
  if (total - 3 > kMaxFieldLength) throw CodeGenerationError("getURL strings longer than 65535 bytes");
  size = static_cast<uint32_t>(total);
}

uint32_t StringOperandRecord::Size(int) {
  return size = static_cast<uint32_t>(first.size() + second.size() + 5);
}

void StringOperandRecord::Write(CodeWriter& writer) {
  ActionGetUrl action(Bytes(first), Bytes(second));
  WriteAction(writer, action);
}

PushRecord::PushRecord(PushValue* first) : CodeRecord(kActionPush, 3) { Append(first); }

void PushRecord::Append(PushValue* value) {
  std::unique_ptr<PushValue> owned(value);
  payloadLength += owned->Size();
  action.values.push_back(owned->value);
  size = payloadLength + 3;
}

void PushRecord::RemoveLast() {
  if (action.values.empty()) return;
  payloadLength -= action.values.back().GetSize(6);
  action.values.pop_back();
  size = payloadLength + 3;
}

uint32_t PushRecord::Size(int) { return size = PayloadLength() + 3; }

void PushRecord::Write(CodeWriter& writer) { WriteAction(writer, action); }

ConstantPoolRecord::ConstantPoolRecord(const std::vector<std::string>& strings)
    : CodeRecord(kActionConstantPool, 5), strings(strings) {
  for (const auto& s : strings) size += static_cast<uint32_t>(s.size() + 1);
}

uint32_t ConstantPoolRecord::Size(int) { return size; }

void ConstantPoolRecord::Write(CodeWriter& writer) {
  ActionConstantPool action;
  action.constants.reserve(strings.size());
  for (const auto& s : strings) action.constants.push_back(Bytes(s));
  WriteAction(writer, action);
}

DefineFunctionRecord::DefineFunctionRecord(const std::string& name,
                                           const std::vector<std::string>& parameters,
                                           RecordList body)
    : CodeRecord(kActionDefineFunction, 0), name(name), parameters(parameters), body(std::move(body)) {
  Size(0);
}

uint32_t DefineFunctionRecord::Size(int version) {
  uint64_t header = name.size() + 8;
  for (const auto& p : parameters) header += p.size() + 1;
  if (header - 3 > kMaxFieldLength || parameters.size() > kMaxFieldLength)
    throw CodeGenerationError("function header longer than 65535 bytes");
  codeSize = SizeAll(body, version);
  if (codeSize > kMaxFieldLength) throw CodeGenerationError("function body longer than 65535 bytes");
  return size = static_cast<uint32_t>(header) + codeSize;
}

void DefineFunctionRecord::Write(CodeWriter& writer) {
  ActionGeneric action(kActionDefineFunction);
  auto& p = action.payload;
  p.insert(p.end(), name.begin(), name.end());
  p.push_back(0);
  p.push_back(static_cast<uint8_t>(parameters.size()));
  p.push_back(static_cast<uint8_t>(parameters.size() >> 8));
  for (const auto& parameter : parameters) {
    p.insert(p.end(), parameter.begin(), parameter.end());
    p.push_back(0);
  }
  p.push_back(static_cast<uint8_t>(codeSize));
  p.push_back(static_cast<uint8_t>(codeSize >> 8));
  WriteAction(writer, action);
  WriteRecords(writer, body);
}

ScriptRootRecord::ScriptRootRecord(uint32_t kind, RecordList children)
    : CodeRecord(kind, 0), children(std::move(children)) {}

uint32_t ScriptRootRecord::Size(int version) {
  uint64_t sum = SizeAll(children, version);
  if (opcode == 2) {
    for (auto& child : children) {
      if (child->size + 2 > kMaxFieldLength)
        throw CodeGenerationError("button condition actions longer than 65535 bytes");
    }
    sum += 2 * uint64_t{children.size()};
  } else if (opcode == 3) {
    sum += version < 6 ? 6 : 10;
  }
  if (sum > UINT32_MAX) throw CodeGenerationError("The script is too long");
  return size = static_cast<uint32_t>(sum);
}

void ScriptRootRecord::Write(CodeWriter& writer) {
  const bool wide = writer.version >= 6;
  if (opcode == 2) {
    for (size_t i = 0; i < children.size(); ++i) {
      const bool last = i + 1 == children.size();
      writer.out.WriteU16(last ? 0 : static_cast<uint16_t>(children[i]->size + 2));
      children[i]->Write(writer);
    }
    return;
  }
  if (opcode == 3) {
    uint32_t all = 0;
    for (auto& child : children) all |= static_cast<EventHandlerRecord&>(*child).flags;
    writer.out.WriteU16(0);
    if (wide) writer.out.WriteU32(all); else writer.out.WriteU16(static_cast<uint16_t>(all));
    WriteRecords(writer, children);
    if (wide) writer.out.WriteU32(0); else writer.out.WriteU16(0);
    return;
  }
  WriteRecords(writer, children);
}

EventHandlerRecord::EventHandlerRecord(uint32_t kind, uint32_t flags, RecordList body)
    : CodeRecord(kind, 0), flags(flags), body(std::move(body)) {}

uint32_t EventHandlerRecord::Size(int version) {
  uint64_t sum = SizeAll(body, version);
  if (opcode == 12) sum += version < 6 ? 7 : 9;
  else sum += 3;
  if (sum > UINT32_MAX) throw CodeGenerationError("The script is too long");
  return size = static_cast<uint32_t>(sum);
}

void EventHandlerRecord::Write(CodeWriter& writer) {
  const bool wide = writer.version >= 6;
  if (opcode == 12) {
    if (wide) writer.out.WriteU32(flags); else writer.out.WriteU16(static_cast<uint16_t>(flags));
    writer.out.WriteU32(size - (wide ? 4 : 2) - 4);
  } else {
    writer.out.WriteU16(static_cast<uint16_t>(flags));
  }
  WriteRecords(writer, body);
  writer.out.WriteU8(0);
}

uint32_t SizeOfRecords(const RecordList& records) {
  uint64_t sum = 0;
  for (const auto& record : records) sum += record->Size(0);
  if (sum > UINT32_MAX) throw CodeGenerationError("The script is too long");
  return static_cast<uint32_t>(sum);
}

uint32_t ParseInteger(const std::string& text) {
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

void GenerationContext::AddPoolString(const std::string& text) {
  if (poolIndex.count(text)) {
    poolUsed = true;
    return;
  }
  // Version 5 players read at most 256 pool entries; later ones take a 16-bit count, and
  // the pool record's own length field is 16 bits as well.
  const size_t limit = version <= 5 ? 256 : 65535;
  if (pool.size() >= limit) return;
  if (uint64_t{poolBytes} + text.size() + 1 > kMaxFieldLength) return;
  poolIndex.emplace(text, static_cast<int32_t>(pool.size()));
  pool.push_back(text);
  poolBytes += static_cast<uint32_t>(text.size() + 1);
}

int32_t GenerationContext::PoolIndexOf(const std::string& text) const {
  auto found = poolIndex.find(text);
  return found == poolIndex.end() ? -1 : found->second;
}

bool GenerationContext::ContainsName(const std::string& text) const {
  for (const auto& name : nameStack)
    if (name == text) return true;
  return false;
}

void ReplaceLastPushValue(PushRecord& record, PushValue* value) {
  record.RemoveLast();
  record.Append(value);
}
