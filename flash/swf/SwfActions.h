#pragma once
// Action records: one bytecode instruction of a frame or button script each. A record is the
// action code and, for codes from 0x80 up, a u16 payload length and the payload. GetSize is
// the bytes the record occupies, so that branch offsets can be summed.
//
// Strings in actions are encoded once for the SWF version the action is built for (`version`,
// which DoActionTag::AddAction sets to its own), or kept as the bytes read; GetSize, the length
// fields and Write all count the same bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfText.h"

inline constexpr uint8_t kSwfDefaultVersion = 4;

class SwfAction : public SwfObject {
 public:
  // A script holds many small actions: they are carved from shared blocks of memory rather
  // than taken from the heap one by one (see SwfActions.cpp).
  static void* operator new(size_t size);
  static void operator delete(void* action, size_t size) noexcept;

  // Writes the code byte; returns 1.
  uint32_t Write(SwfBitWriter& out) override;
  SwfAction* Reset() { return this; }
  virtual uint8_t GetActionCode() const { return 0; }
  virtual void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta);
  virtual uint16_t GetSize() const { return 1; }

  uint8_t version = kSwfDefaultVersion;
};

// Payload-less actions: the record is the code byte.
template <uint8_t Code>
class SwfSimpleAction : public SwfAction {
 public:
  uint8_t GetActionCode() const override { return Code; }
};

class ActionNextFrame : public SwfSimpleAction<0x04> {};
class ActionPrevFrame : public SwfSimpleAction<0x05> {};
class ActionPlay : public SwfSimpleAction<0x06> {};
class ActionStop : public SwfSimpleAction<0x07> {};
class ActionAdd : public SwfSimpleAction<0x0A> {};
class ActionMultiply : public SwfSimpleAction<0x0C> {};
class ActionDivide : public SwfSimpleAction<0x0D> {};
class ActionLess : public SwfSimpleAction<0x0F> {};
class ActionNot : public SwfSimpleAction<0x12> {};
class ActionPop : public SwfSimpleAction<0x17> {};
class ActionToInteger : public SwfSimpleAction<0x18> {};
class ActionGetVariable : public SwfSimpleAction<0x1C> {};
class ActionSetVariable : public SwfSimpleAction<0x1D> {};
class ActionStringAdd : public SwfSimpleAction<0x21> {};
class ActionGetProperty : public SwfSimpleAction<0x22> {};
class ActionSetProperty : public SwfSimpleAction<0x23> {};
class ActionGetTime : public SwfSimpleAction<0x34> {};
class ActionNewObject : public SwfSimpleAction<0x40> {};
class ActionAdd2 : public SwfSimpleAction<0x47> {};
class ActionLess2 : public SwfSimpleAction<0x48> {};
class ActionEquals2 : public SwfSimpleAction<0x49> {};
class ActionGetMember : public SwfSimpleAction<0x4E> {};
class ActionCallMethod : public SwfSimpleAction<0x52> {};

class ActionGotoFrame : public SwfAction {
 public:
  explicit ActionGotoFrame(uint16_t frame = 0) : frame(frame) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x81; }
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;
  uint16_t GetSize() const override { return 5; }

  uint16_t frame;
};

class ActionGetUrl : public SwfAction {
 public:
  ActionGetUrl() = default;
  ActionGetUrl(SwfString url, SwfString target) : url(std::move(url)), target(std::move(target)) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x83; }
  uint16_t GetSize() const override;

  SwfString url, target;
};

class ActionStoreRegister : public SwfAction {
 public:
  explicit ActionStoreRegister(uint8_t reg = 0) : registerNumber(reg) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x87; }
  uint16_t GetSize() const override { return 4; }

  uint8_t registerNumber;
};

class ActionConstantPool : public SwfAction {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x88; }
  uint16_t GetSize() const override;
  // Does nothing when `s` is already in the pool; else inserts it before `position` when that
  // is below the count, or appends it.
  void AddConstant(const wchar_t* s, uint32_t position);
  int FindConstant(const wchar_t* s) const;
  // The entry at `index` clamped to the pool (which must not be empty).
  std::wstring GetConstant(int index) const;
  void Clear() { constants.clear(); }

  std::vector<SwfString> constants;
};

class ActionWaitForFrame : public SwfAction {
 public:
  explicit ActionWaitForFrame(uint16_t frame = 0, uint8_t skipCount = 0) : frame(frame), skipCount(skipCount) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x8A; }
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;
  uint16_t GetSize() const override { return 6; }

  uint16_t frame;
  uint8_t skipCount;
};

class ActionSetTarget : public SwfAction {
 public:
  ActionSetTarget() = default;
  explicit ActionSetTarget(const wchar_t* target) : target(target) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x8B; }
  uint16_t GetSize() const override;

  SwfString target;
};

class ActionGotoLabel : public SwfAction {
 public:
  ActionGotoLabel() = default;
  explicit ActionGotoLabel(const wchar_t* label) : label(label) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x8C; }
  uint16_t GetSize() const override;

  SwfString label;
};

class ActionWaitForFrame2 : public SwfAction {
 public:
  explicit ActionWaitForFrame2(uint8_t skipCount = 0) : skipCount(skipCount) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x8D; }
  uint16_t GetSize() const override { return 4; }

  uint8_t skipCount;
};

class ActionWith : public SwfAction {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x94; }
  uint16_t GetSize() const override;

  uint16_t blockSize = 0;
  SwfString name;
};

// One value of a Push record.
struct SwfPushValue {
  enum Type : uint8_t {
    kString = 0, kFloat = 1, kNull = 2, kUndefined = 3, kRegister = 4, kBoolean = 5,
    kDouble = 6, kInteger = 7, kConstant8 = 8, kConstant16 = 9
  };
  uint8_t type = kNull;
  uint32_t number = 0;  // float bits, integer, register, boolean or constant index
  SwfString text;       // string
  double real = 0;      // double
  // Bytes in the payload, the type byte included.
  uint32_t GetSize(uint8_t version) const;
};

class ActionPush : public SwfAction {
 public:
  static constexpr uint32_t kAppend = 0xFFFFFFFF;

  ActionPush() = default;
  explicit ActionPush(int value);
  explicit ActionPush(const wchar_t* value);
  // Type 4 a register, 8 a one-byte and 9 a two-byte constant index; other types add nothing.
  ActionPush(uint16_t value, int type);
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x96; }
  uint16_t GetSize() const override;

  // Each inserts the value before `position` when that is below the count, else appends, and
  // returns the value's size in the payload.
  uint32_t AddString(const wchar_t* value, uint32_t position);
  uint32_t AddString(const SwfString& value, uint32_t position);
  uint32_t AddFloat(uint32_t bits, uint32_t position);
  uint32_t AddNull(uint32_t position);
  uint32_t AddUndefined(uint32_t position);
  uint32_t AddRegister(uint8_t reg, uint32_t position);
  uint32_t AddBoolean(uint8_t value, uint32_t position);
  uint32_t AddDouble(double value, uint32_t position);
  uint32_t AddInteger(uint32_t value, uint32_t position);
  uint32_t AddConstant8(uint8_t index, uint32_t position);
  uint32_t AddConstant16(uint16_t index, uint32_t position);
  void Clear() { values.clear(); }
  // The payload length: the sum of the values' sizes.
  uint32_t GetPayloadLength() const;

  std::vector<SwfPushValue> values;

 private:
  uint32_t Add(SwfPushValue value, uint32_t position);
};

// If and Jump: a signed offset from the end of the record, and the actions the branch jumps
// over (not owned), which BindBranches records. An offset of 0 is written as the span's size.
class SwfBranchAction : public SwfAction {
 public:
  explicit SwfBranchAction(int16_t offset) : offset(offset) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetSize() const override { return 5; }

  int16_t offset;
  std::vector<SwfAction*> span;
};

class ActionJump : public SwfBranchAction {
 public:
  explicit ActionJump(int16_t offset = 0) : SwfBranchAction(offset) {}
  uint8_t GetActionCode() const override { return 0x99; }
};

class ActionIf : public SwfBranchAction {
 public:
  explicit ActionIf(int16_t offset = 0) : SwfBranchAction(offset) {}
  uint8_t GetActionCode() const override { return 0x9D; }
};

class ActionGetUrl2 : public SwfAction {
 public:
  explicit ActionGetUrl2(uint8_t method = 0) : method(method) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x9A; }
  uint16_t GetSize() const override { return 4; }

  uint8_t method;
};

class ActionGotoFrame2 : public SwfAction {
 public:
  explicit ActionGotoFrame2(uint8_t flags = 0) : flags(flags) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return 0x9F; }
  uint16_t GetSize() const override;

  uint8_t flags;
  uint16_t sceneBias = 0;
  bool pad = false;           // a stray 0 byte after the record belongs to it
  uint32_t listEnd = 0;       // end of the list it was read from; 0 when not known
};

// Any action held as its code and payload bytes.
class ActionGeneric : public SwfAction {
 public:
  explicit ActionGeneric(uint8_t code) : code(code) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint8_t GetActionCode() const override { return code; }
  uint16_t GetSize() const override;

  uint8_t code;
  uint16_t payloadLength = 0;  // as read
  std::vector<uint8_t> payload;
};

// The empty action of the class that reads records of `code` in an action list: the payload
// classes above, ActionSetVariable for 0x1D, and ActionGeneric for every other code.
SwfAction* CreateActionForCode(uint8_t code);
