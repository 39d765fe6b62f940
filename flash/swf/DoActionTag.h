#pragma once
// Action lists: a frame script (DoAction), the actions inside clip events and buttons, and a
// sprite's one-shot initialisation script (DoInitAction). While a script is assembled action by
// action, the offset of the last If or Jump appended grows with every action after it.
#include <cstdint>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfObject.h"

// The actions of a DoAction: a list with the vector operations its users need, which may
// instead hold the actions still encoded (see DoActionTag::HoldActions) and reads them into
// action objects only when they are first asked for, through any of its operations, const
// ones included: a held list must not be first used from two threads at once. Until then it
// costs only its bytes, and the tag writes them as they are.
class SwfActionList {
 public:
  using value_type = std::unique_ptr<SwfAction>;
  using iterator = std::vector<value_type>::iterator;
  using const_iterator = std::vector<value_type>::const_iterator;

  SwfActionList() = default;
  // Branches point at the actions they jump over: moving keeps those actions where they are,
  // a copy could not.
  SwfActionList(const SwfActionList&) = delete;
  SwfActionList& operator=(const SwfActionList&) = delete;
  SwfActionList(SwfActionList&&) noexcept = default;
  SwfActionList& operator=(SwfActionList&&) noexcept = default;

  size_t size() const { return Items().size(); }
  // A held list has at least one action: no reading needed to tell.
  bool empty() const { return encoded_.empty() && items_.empty(); }
  value_type& operator[](size_t i) { return Items()[i]; }
  const value_type& operator[](size_t i) const { return Items()[i]; }
  value_type& back() { return Items().back(); }
  const value_type& back() const { return Items().back(); }
  value_type* data() { return Items().data(); }
  iterator begin() { return Items().begin(); }
  iterator end() { return Items().end(); }
  const_iterator begin() const { return Items().begin(); }
  const_iterator end() const { return Items().end(); }
  void reserve(size_t count) { Items().reserve(count); }
  void push_back(value_type&& action) { Items().push_back(std::move(action)); }
  template <class... Args>
  value_type& emplace_back(Args&&... args) {
    return Items().emplace_back(std::forward<Args>(args)...);
  }
  // Empties the list, held bytes included, without reading them.
  void clear();

  // The records held still encoded (the End byte not among them); empty once read.
  const std::vector<uint8_t>& GetEncoded() const { return encoded_; }

 private:
  friend class DoActionTag;
  std::vector<value_type>& Items() const {
    if (!encoded_.empty()) Decode();
    return items_;
  }
  // Reads the held records as DoActionTag::Read reads a tag body and lets the bytes go.
  void Decode() const;

  mutable std::vector<value_type> items_;
  mutable std::vector<uint8_t> encoded_;
  uint8_t encodedVersion_ = kSwfDefaultVersion;
  bool padCheck_ = true;
};

class DoActionTag : public SwfTag {
 public:
  // `version` is the SWF version of the movie the script is built for: the strings of the
  // actions appended are encoded for it.
  explicit DoActionTag(uint8_t version = kSwfDefaultVersion) : version(version) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 12; }
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;

  // The same as Read of `records` as a tag body of this tag's version, but a list of whole
  // records without the End byte, as the writer writes them, is taken as it is and read
  // only when its actions are first asked for; a write before that writes these bytes.
  // Anything else (an End byte, a cut record, actions already in the list) is read at once.
  void HoldActions(std::vector<uint8_t> records);

  // Appends the action, which the list then owns; returns its size.
  uint16_t AddAction(SwfAction* action);
  void SetAutoBranchOffsets(bool on, bool dropPending);
  // Closes the last pending branch and records every branch's span.
  void BindBranches();
  void Clear();
  uint32_t WriteActions(SwfBitWriter& writer, bool withHeader);

  std::vector<SwfAction*> pendingBranches;
  SwfActionList actions;
  bool headerOff = false;
  bool autoBranchOffsetsOff = false;
  bool padCheck = true;
  uint8_t version;
  // The bytes behind the End action up to the tag's end, as read; written back after the End.
  std::vector<uint8_t> trailingBytes;
};

class DoInitActionTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 59; }
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t spriteId = 0;
  std::vector<std::unique_ptr<SwfAction>> actions;
  // The bytes behind the End action up to the tag's end, as read; written back after the End.
  std::vector<uint8_t> trailingBytes;
};
