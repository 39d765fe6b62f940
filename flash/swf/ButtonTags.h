#pragma once
// The button characters: DefineButton with its one action list, DefineButton2 with colour
// transforms and an action list per transition, and the colour transform and sounds a
// DefineButton can be given (DefineButtonCxform, DefineButtonSound).
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/DoActionTag.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"

inline constexpr uint8_t kButtonStateUp = 0x01;
inline constexpr uint8_t kButtonStateOver = 0x02;
inline constexpr uint8_t kButtonStateDown = 0x04;
inline constexpr uint8_t kButtonStateHitTest = 0x08;
inline constexpr uint8_t kButtonHasFilterList = 0x10;  // DefineButton2, version 8 and later
inline constexpr uint8_t kButtonHasBlendMode = 0x20;   // DefineButton2, version 8 and later

// The condition of the transition a button's release makes (over-down to over-up).
inline constexpr uint16_t kButtonConditionRelease = 0x0008;

class SwfButtonRecord {
 public:
  uint8_t stateFlags = 0;
  uint16_t characterId = 0;
  uint16_t depth = 1;
  std::unique_ptr<SwfMatrix> matrix;
  std::unique_ptr<SwfCxformWithAlpha> cxform;  // DefineButton2 only
  // With the flags above: the filter list (its count byte and the filters) as stored, and the
  // blend mode.
  std::vector<uint8_t> filterList;
  uint8_t blendMode = 0;
};

class DefineButtonTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 7; }
  void VisitIds(SwfIdVisitor& visitor) override;
  void ShiftDepthsAndFrames(uint16_t depthDelta, uint32_t frameDelta) override;
  virtual void Clear();
  // Appends the record, which the button then owns.
  void AddButtonRecord(SwfButtonRecord* record);

  std::vector<std::unique_ptr<SwfButtonRecord>> records;
  std::vector<std::unique_ptr<DoActionTag>> actionLists;

 protected:
  // The records up to their closing 0 byte (or the tag's end); false when a record runs past
  // the tag's end or holds a filter of unknown size.
  bool ReadRecords(SwfReader& reader, bool extended);
  void WriteRecords(SwfBitWriter& out, bool extended);
};

class DefineButton2Tag : public DefineButtonTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 34; }
  // Deletes the action lists and the condition words; the records stay.
  void Clear() override;

  void AddConditionWord(uint16_t word) { conditions.push_back(word); }
  // Appends the list, which the button then owns.
  void AddCondActionList(DoActionTag* list);
  bool AddCondAction(uint16_t word, DoActionTag* list);
  void ClearCondActions();
  // A button kept as read holds ids inside its body that cannot be found.
  void VisitIds(SwfIdVisitor& visitor) override;

  std::vector<uint16_t> conditions;
  uint8_t flags = 0;  // 0x01: track as menu
  // A button whose records cannot be followed keeps its body after the id as read.
  bool keptAsRead = false;
  std::vector<uint8_t> bodyAsRead;
};

class DefineButtonCxformTag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 23; }
  // The id of the button it applies to.
  void VisitIds(SwfIdVisitor& visitor) override;

  std::unique_ptr<SwfCxform> cxform = std::make_unique<SwfCxform>();
  // Bytes some authoring tools leave after the colour transform, written back as read.
  std::vector<uint8_t> trailing;
};

class DefineButtonSoundTag : public SwfCharacterTag {
 public:
  // Over-up to idle, idle to over-up, over-up to over-down, over-down to over-up.
  static constexpr int kTransitions = 4;

  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 17; }
  void VisitIds(SwfIdVisitor& visitor) override;

  uint16_t soundIds[kTransitions] = {};
  SwfSoundInfo soundInfos[kTransitions];
};
