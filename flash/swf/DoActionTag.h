#pragma once
// Action lists: a frame script (DoAction), the actions inside clip events and buttons, and a
// sprite's one-shot initialisation script (DoInitAction). While a script is assembled action by
// action, the offset of the last If or Jump appended grows with every action after it.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfObject.h"

class DoActionTag : public SwfTag {
 public:
  // `version` is the SWF version of the movie the script is built for: the strings of the
  // actions appended are encoded for it.
  explicit DoActionTag(uint8_t version = kSwfDefaultVersion) : version(version) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 12; }
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;

  // Appends the action, which the list then owns; returns its size.
  uint16_t AddAction(SwfAction* action);
  void SetAutoBranchOffsets(bool on, bool dropPending);
  // Closes the last pending branch and records every branch's span.
  void BindBranches();
  void Clear();
  uint32_t WriteActions(SwfBitWriter& writer, bool withHeader);

  std::vector<SwfAction*> pendingBranches;
  std::vector<std::unique_ptr<SwfAction>> actions;
  bool headerOff = false;
  bool autoBranchOffsetsOff = false;
  bool padCheck = true;
  uint8_t version;
  // The bytes behind the End action up to the tag's end, as read; written back after the End.
  std::vector<uint8_t> trailingBytes;

 private:
  void RecordSpans();
};

class DoInitActionTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 59; }
  void ShiftIdsAndDepths(uint16_t idDelta, uint16_t depthDelta, uint32_t frameDelta) override;

  uint16_t spriteId = 0;
  std::vector<std::unique_ptr<SwfAction>> actions;
  // The bytes behind the End action up to the tag's end, as read; written back after the End.
  std::vector<uint8_t> trailingBytes;
};
