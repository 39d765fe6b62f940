#pragma once
// Generated code before it is written: one code record per SWF action or per enclosing
// structure (function body, script root, event handler). Every record tells its encoded size
// for a SWF version before anything is written, so that branch distances can be summed; the
// bytes themselves are produced by the SWF object model's action classes.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfBitWriter.h"

class ScriptNode;

// Raised by code generation for a script it cannot turn into valid actions. The message
// names the construct; `line` is the construct's line in the preprocessed text, 0 until the
// emitter of a node that knows its line passes the error on.
class CodeGenerationError : public std::runtime_error {
 public:
  explicit CodeGenerationError(const std::string& message, int32_t line = 0)
      : std::runtime_error(message), line(line) {}
  int32_t line;
};

// Action codes the generator emits.
enum ActionCode : uint32_t {
  kActionNextFrame = 0x04,
  kActionPrevFrame = 0x05,
  kActionPlay = 0x06,
  kActionStop = 0x07,
  kActionToggleQuality = 0x08,
  kActionStopSounds = 0x09,
  kActionSubtract = 0x0B,
  kActionMultiply = 0x0C,
  kActionDivide = 0x0D,
  kActionNot = 0x12,
  kActionPop = 0x17,
  kActionGetVariable = 0x1C,
  kActionSetVariable = 0x1D,
  kActionStringAdd = 0x21,
  kActionGetProperty = 0x22,
  kActionSetProperty = 0x23,
  kActionCloneSprite = 0x24,
  kActionRemoveSprite = 0x25,
  kActionTrace = 0x26,
  kActionStartDrag = 0x27,
  kActionEndDrag = 0x28,
  kActionGetTime = 0x34,
  kActionDelete = 0x3A,
  kActionDelete2 = 0x3B,
  kActionDefineLocal = 0x3C,
  kActionCallFunction = 0x3D,
  kActionReturn = 0x3E,
  kActionModulo = 0x3F,
  kActionNewObject = 0x40,
  kActionDefineLocal2 = 0x41,
  kActionInitArray = 0x42,
  kActionInitObject = 0x43,
  kActionTypeOf = 0x44,
  kActionTargetPath = 0x45,
  kActionEnumerate = 0x46,
  kActionAdd2 = 0x47,
  kActionLess2 = 0x48,
  kActionEquals2 = 0x49,
  kActionToNumber = 0x4A,
  kActionToString = 0x4B,
  kActionPushDuplicate = 0x4C,
  kActionGetMember = 0x4E,
  kActionSetMember = 0x4F,
  kActionIncrement = 0x50,
  kActionDecrement = 0x51,
  kActionCallMethod = 0x52,
  kActionInstanceOf = 0x54,
  kActionEnumerate2 = 0x55,
  kActionBitAnd = 0x60,
  kActionBitOr = 0x61,
  kActionBitXor = 0x62,
  kActionBitLShift = 0x63,
  kActionBitRShift = 0x64,
  kActionBitURShift = 0x65,
  kActionGotoFrame = 0x81,
  kActionGetURL = 0x83,
  kActionStoreRegister = 0x87,
  kActionConstantPool = 0x88,
  kActionWith = 0x94,
  kActionPush = 0x96,
  kActionJump = 0x99,
  kActionGetURL2 = 0x9A,
  kActionDefineFunction = 0x9B,
  kActionIf = 0x9D,
  kActionCall = 0x9E,
  kActionGotoFrame2 = 0x9F,
  // Markers of break and continue, rewritten into ActionJump by the enclosing loop.
  kBreakMarker = 256,
  kContinueMarker = 257,
};

// Largest payload a 16-bit length field can describe.
inline constexpr uint32_t kMaxFieldLength = 65535;

// Where Write puts the bytes: the SWF version generated for and the output so far.
class CodeWriter {
 public:
  explicit CodeWriter(int version) : version(version), out(static_cast<uint8_t>(version)) {}
  int version;
  SwfBitWriter out;
};

// ---- push values

// One value of an ActionPush. The classes below differ only in what they are built from.
class PushValue {
 public:
  PushValue() = default;
  explicit PushValue(SwfPushValue value) : value(std::move(value)) {}
  virtual ~PushValue() = default;
  // A new value of the same contents, owned by the caller.
  virtual PushValue* Clone() const { return new PushValue(value); }
  uint32_t Size() const { return value.GetSize(6); }
  uint32_t Type() const { return value.type; }

  SwfPushValue value;
};

class PushString : public PushValue {
 public:
  explicit PushString(const std::string& bytes);
};

class PushNull : public PushValue {
 public:
  PushNull();
};

class PushUndefined : public PushValue {
 public:
  PushUndefined();
};

class PushRegister : public PushValue {
 public:
  explicit PushRegister(uint8_t number);
};

class PushBoolean : public PushValue {
 public:
  explicit PushBoolean(bool b);
};

class PushDouble : public PushValue {
 public:
  explicit PushDouble(double d);
  // Decimal text read with the standard conversion.
  explicit PushDouble(const std::string& text);
};

class PushInteger : public PushValue {
 public:
  explicit PushInteger(int32_t n);
  // Text read with ParseInteger.
  explicit PushInteger(const std::string& text);
};

class PushConstant : public PushValue {
 public:
  // Type 8 for indices up to 255, else type 9.
  explicit PushConstant(uint32_t index);
};

// ---- records

class CodeRecord {
 public:
  CodeRecord(uint32_t opcode, uint32_t size) : opcode(opcode), size(size) {}
  virtual ~CodeRecord() = default;
  CodeRecord(const CodeRecord&) = delete;
  CodeRecord& operator=(const CodeRecord&) = delete;

  // The encoded size for `version`, also stored in `size`.
  virtual uint32_t Size(int version) = 0;
  virtual void Write(CodeWriter& writer) = 0;

  uint32_t opcode;
  uint32_t size;
};

using RecordList = std::vector<std::unique_ptr<CodeRecord>>;

// A one-byte action; ActionCall (0x9E) also writes its empty length field.
class OpcodeRecord : public CodeRecord {
 public:
  explicit OpcodeRecord(uint32_t opcode);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;
};

// An action with one numeric operand: a frame, a register, a with-block size, a branch
// distance or a flags byte. Also the break and continue markers.
class OperandRecord : public CodeRecord {
 public:
  OperandRecord(uint32_t opcode, int32_t operand);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  int32_t operand;
};

// ActionGetURL with its URL and target, written inline.
class StringOperandRecord : public CodeRecord {
 public:
  StringOperandRecord(uint32_t opcode, const std::string& first, const std::string& second);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  std::string first, second;
};

class PushRecord : public CodeRecord {
 public:
  // Takes ownership of the value.
  explicit PushRecord(PushValue* first);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;
  // Appends the value (ownership passes to the record).
  void Append(PushValue* value);
  // Removes the last value.
  void RemoveLast();
  uint32_t PayloadLength() const { return payloadLength; }

  ActionPush action;

 private:
  uint32_t payloadLength = 0;
};

class ConstantPoolRecord : public CodeRecord {
 public:
  explicit ConstantPoolRecord(const std::vector<std::string>& strings);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  std::vector<std::string> strings;
};

class DefineFunctionRecord : public CodeRecord {
 public:
  DefineFunctionRecord(const std::string& name, const std::vector<std::string>& parameters,
                       RecordList body);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  std::string name;
  std::vector<std::string> parameters;
  RecordList body;
  uint32_t codeSize = 0;
};

// The records of a whole script: kind 1 a frame script, 2 a button's condition actions,
// 3 a movie clip's event handlers. The kind is kept in `opcode`.
class ScriptRootRecord : public CodeRecord {
 public:
  ScriptRootRecord(uint32_t kind, RecordList children);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  RecordList children;
};

// One on (kind 13) or onClipEvent (kind 12) handler with its event flags and body.
class EventHandlerRecord : public CodeRecord {
 public:
  EventHandlerRecord(uint32_t kind, uint32_t flags, RecordList body);
  uint32_t Size(int version) override;
  void Write(CodeWriter& writer) override;

  uint32_t flags;
  RecordList body;
};

// The sum of Size(0) over a record list.
uint32_t SizeOfRecords(const RecordList& records);

// Unsigned 32-bit value of a decimal or hexadecimal literal ("0x" prefix); reading stops at
// the first character that is no digit of the base.
uint32_t ParseInteger(const std::string& text);

// ---- generation state

class GenerationContext {
 public:
  explicit GenerationContext(int version) : version(version) {}

  void AddPoolString(const std::string& text);
  int32_t PoolIndexOf(const std::string& text) const;
  bool ContainsName(const std::string& text) const;

  int version;
  std::vector<ScriptNode*> scopeStack;
  std::vector<uint32_t> insertCounters;
  std::vector<std::string> nameStack;
  bool poolUsed = false;
  std::vector<std::string> pool;
  std::unordered_map<std::string, int32_t> poolIndex;
  // Bytes of the ActionConstantPool payload the pool needs (count field included).
  uint32_t poolBytes = 2;
  // for..in loops open around the code being emitted, within the innermost function body:
  // each holds its unread names and closing null on the stack.
  uint32_t openForIn = 0;
};

// Removes the record's last value and appends `value`, whose ownership passes to the record.
void ReplaceLastPushValue(PushRecord& record, PushValue* value);
