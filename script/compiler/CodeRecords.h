#pragma once
// Generated code: lists of encoded actions (see RecordList), the values they push, and the
// state of one generation.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "flash/swf/SwfActions.h"

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
  kActionStackSwap = 0x4D,
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

// ---- push values

// A value of the name tables (the numeric constants), as a push value of the SWF object
// model.
class PushValue {
 public:
  PushValue() = default;
  explicit PushValue(SwfPushValue value) : value(std::move(value)) {}
  virtual ~PushValue() = default;
  // A new value of the same contents, owned by the caller.
  virtual PushValue* Clone() const { return new PushValue(value); }
  uint32_t Type() const { return value.type; }

  SwfPushValue value;
};

class PushDouble : public PushValue {
 public:
  explicit PushDouble(double d);
};

class PushInteger : public PushValue {
 public:
  explicit PushInteger(int32_t n);
};

// A value pushed by ActionPush, as the emitters pass it: strings are borrowed, nothing is
// allocated.
struct PushItem {
  uint8_t type = SwfPushValue::kNull;
  uint32_t number = 0;  // integer, register, boolean or constant index
  double real = 0;      // double
  std::string_view text;

  static PushItem String(std::string_view bytes);
  static PushItem Null() { return PushItem(); }
  static PushItem Undefined() { return Number(SwfPushValue::kUndefined, 0); }
  static PushItem Register(uint8_t n) { return Number(SwfPushValue::kRegister, n); }
  static PushItem Boolean(bool b) { return Number(SwfPushValue::kBoolean, b ? 1 : 0); }
  static PushItem Double(double d);
  static PushItem Integer(int32_t n) { return Number(SwfPushValue::kInteger, static_cast<uint32_t>(n)); }
  // Type 8 for indices up to 255, else type 9.
  static PushItem Constant(uint32_t index) {
    return Number(index <= 255 ? SwfPushValue::kConstant8 : SwfPushValue::kConstant16, index);
  }
  // The value of a push value of the name tables (numbers only).
  static PushItem Of(const SwfPushValue& value);
  // Bytes in the push payload, the type byte included.
  uint32_t Size() const;

 private:
  static PushItem Number(uint8_t type, uint32_t number) {
    PushItem item;
    item.type = type;
    item.number = number;
    return item;
  }
};

// ---- records

// Spare buffers of record lists that have served, for the next lists of the same generation:
// most lists are short-lived and small, and would otherwise each allocate.
class BufferPool {
 public:
  std::vector<uint8_t> Take() noexcept;
  void Give(std::vector<uint8_t>&& buffer) noexcept;

 private:
  static constexpr size_t kLargest = 64 * 1024;
  static constexpr size_t kMost = 32;
  std::array<std::vector<uint8_t>, kMost> spare_;
  size_t count_ = 0;
};

// Generated code before it is placed: the encoded actions of a run of code, in one
// contiguous buffer, with what the emitters still need to know about them. An emitter
// appends actions; a construct that branches over parts of its code builds them in lists of
// their own, sums their sizes and appends them in order. Break and continue stand as jumps
// whose distance is filled in by the enclosing loop ("markers"). The last record (and the one
// before it) is known, so that a trailing get action can be taken back and consecutive
// values share one ActionPush. Neither happens across a join, a place where a branch lands:
// a player that jumps there must find an instruction starting there.
class RecordList {
 public:
  // A list whose buffer comes from and goes back to `pool` when one is given.
  explicit RecordList(BufferPool* pool = nullptr) : pool_(pool) {
    if (pool_) bytes_ = pool_->Take();
  }
  ~RecordList() {
    if (pool_) pool_->Give(std::move(bytes_));
  }
  RecordList(RecordList&& other) noexcept : pool_(other.pool_) { *this = std::move(other); }
  RecordList& operator=(RecordList&& other) noexcept;
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;

  bool empty() const { return bytes_.empty(); }
  // Encoded size of the list, in bytes.
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t> TakeBytes();
  // Makes room for `bytes` in all before the list grows to them.
  void Reserve(size_t bytes) { bytes_.reserve(bytes); }
  // Empties the list; its buffer stays for reuse.
  void Clear();

  // Code of the last record: an action code, a marker, a handler or script kind; 0 when empty
  // or when the list ends at a join, since nothing before a join may be taken back.
  uint32_t LastOpcode() const { return AtJoin() ? 0 : tail_.lastOpcode; }
  // Removes the last record; nothing when the list ends at a join.
  void RemoveLast();
  // Marks the list's end as a join: a branch made so far lands there (the end of a branch of
  // "?:", "&&", "||" or "if", of a with-block). The next value starts an ActionPush of its
  // own. A loop needs no mark: it ends with its own ActionJump or ActionIf.
  void MarkJoin() { joinAt_ = Size(); }
  // Whether the list ends at a join.
  bool AtJoin() const { return joinAt_ == int64_t{Size()}; }

  // A one-byte action; ActionCall (0x9E) also writes its empty length field.
  void AppendAction(uint32_t opcode);
  // An action with one numeric operand: a frame, a register, a with-block size, a branch
  // distance or a flags byte.
  void AppendOperand(uint32_t opcode, int32_t operand);
  // A break or continue marker holding the line of its statement.
  void AppendMarker(uint32_t marker, int32_t line);
  // ActionGetURL with its URL and target.
  void AppendGetUrl(std::string_view url, std::string_view target);
  // ActionConstantPool with its payload (count and strings).
  void AppendConstantPool(const std::vector<uint8_t>& payload);
  // ActionDefineFunction followed by its body.
  void AppendDefineFunction(std::string_view name, const std::vector<std::string_view>& parameters,
                            RecordList& body);
  // An event handler of kind 12 (onClipEvent) or 13 (on) around its body, for `version`.
  void AppendEventHandler(uint32_t kind, uint32_t flags, RecordList& body, int version);
  // A value joins the last ActionPush while its 16-bit length allows, else starts one.
  void AppendPush(const PushItem& value);
  // Appends the records of `other`, in order, and empties it.
  void Append(RecordList& other);
  // Bytes of a record of its own kind (a script root's framing), recorded as one record.
  void AppendRaw(uint32_t kind, const uint8_t* bytes, size_t count);

  // The last value of the last record, which must be an ActionPush; its text points into
  // the list.
  PushItem LastPushValue();
  // Replaces the last value of the last record (an ActionPush) by `value`.
  void ReplaceLastPushValue(const PushItem& value);

  // Markers lying flat in the list, in order.
  struct Marker {
    uint32_t offset;
    uint32_t kind;
    int32_t line;
  };
  const std::vector<Marker>& Markers() const { return markers_; }
  // Turns every marker into a jump. Positions count from the loop's first byte; `start` is
  // where the list begins.
  void ResolveMarkers(int64_t start, int64_t breakTarget, int64_t continueTarget);

 private:
  uint8_t* StartRecord(uint32_t opcode, size_t count);
  // Finds the last two records (and the last value of a push) again by reading the list.
  void Rescan();

  // What is known of the last records.
  struct Tail {
    uint32_t lastStart = 0;
    uint32_t lastOpcode = 0;
    uint32_t prevStart = 0;
    uint32_t prevOpcode = 0;  // 0: the last record is the first
    bool prevKnown = true;
    uint32_t lastValueStart = 0;  // of the last value when the last record is a push
    bool lastValueKnown = false;
  };

  BufferPool* pool_ = nullptr;
  std::vector<uint8_t> bytes_;
  std::vector<Marker> markers_;
  Tail tail_;
  // Where the last join lies, or -1.
  int64_t joinAt_ = -1;
};

// The encoded size of the records of a list.
inline uint32_t SizeOfRecords(const RecordList& records) { return records.Size(); }

// Unsigned 32-bit value of a decimal or hexadecimal literal ("0x" prefix); reading stops at
// the first character that is no digit of the base.
uint32_t ParseInteger(std::string_view text);

// ---- generation state

// Hashing for lookups by string_view in tables keyed by std::string.
struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

class GenerationContext {
 public:
  explicit GenerationContext(int version) : version(version) {}

  void AddPoolString(std::string_view text);
  int32_t PoolIndexOf(std::string_view text) const;
  bool ContainsName(std::string_view text) const;
  // The ActionConstantPool payload of the pool (count and strings), made once.
  const std::vector<uint8_t>& PoolPayload();

  int version;
  BufferPool buffers;
  // Scopes open around the node being folded, each with the function definitions hoisted
  // into it so far, in order; they take their place at the front when the scope is left.
  std::vector<ScriptNode*> scopeStack;
  std::vector<std::vector<ScriptNode*>> hoisted;
  std::vector<std::string_view> nameStack;
  bool poolUsed = false;
  // When set, AddPoolString notes each name here instead of adding it; AddRecordedNames adds
  // them later, in the same order.
  std::vector<uint8_t>* poolRecording = nullptr;
  void AddRecordedNames(const std::vector<uint8_t>& recording);
  std::vector<std::string> pool;
  // When set, every name pushed as a string of its own while the pool is in use is noted
  // here: were it to join the pool later, its push would have to take the pool's entry.
  std::vector<std::string>* poolMisses = nullptr;
  // Bytes of the ActionConstantPool payload the pool needs (count field included).
  uint32_t poolBytes = 2;
  // for..in loops open around the code being emitted, within the innermost function body:
  // each holds its unread names and closing null on the stack.
  uint32_t openForIn = 0;

 private:
  // The slot of `text` in poolSlots_: the one holding its entry, or the empty one where it
  // would go.
  size_t PoolSlot(std::string_view text, uint64_t hash) const;

  std::vector<uint8_t> poolPayload_;
  // Open addressing over the pool, looked up once per name collected and once per name
  // pushed: an entry's index, or -1 for an empty slot. The size is a power of two, at
  // least twice the pool's.
  std::vector<int32_t> poolSlots_ = std::vector<int32_t>(1024, -1);
  std::vector<uint64_t> poolHashes_;
};
