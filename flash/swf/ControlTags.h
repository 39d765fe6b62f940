#pragma once
// Tags that describe a movie rather than draw it: End, SetBackgroundColor, FrameLabel,
// Protect, ExportAssets, ImportAssets, EnableDebugger and EnableDebugger2.
#include <cstdint>
#include <memory>
#include <vector>

#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfRecords.h"
#include "flash/swf/SwfText.h"

class EndTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 0; }
};

class SetBackgroundColorTag : public SwfTag {
 public:
  SetBackgroundColorTag(uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) : color(r, g, b) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 9; }

  SwfRgb color;
};

class FrameLabelTag : public SwfTag {
 public:
  explicit FrameLabelTag(const wchar_t* label = nullptr) : name(label) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 43; }

  SwfString name;
  uint8_t anchor = 0;  // named anchor (version 6 on)
  // Set by Read: the label came from a movie, with or without its anchor byte.
  bool readFromFile = false;
  bool anchorByteRead = false;
};

// Written with an empty body; a password body met when reading is skipped.
class ProtectTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 24; }
};

struct SwfAssetEntry {
  SwfAssetEntry(uint16_t id, const wchar_t* assetName) : characterId(id), name(assetName) {}
  uint16_t characterId;
  SwfString name;
};

class ExportAssetsTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 56; }
  void VisitIds(SwfIdVisitor& visitor) override;
  // Inserts before position `index` when the list is longer, else appends. Takes ownership.
  void InsertAsset(SwfAssetEntry* entry, uint32_t index);

  std::vector<std::unique_ptr<SwfAssetEntry>> assets;

 protected:
  void ReadAssets(SwfReader& reader);
  void WriteAssets(SwfBitWriter& body);
};

class ImportAssetsTag : public ExportAssetsTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 57; }
  // The characters it takes from the other movie, as defined here.
  void VisitIds(SwfIdVisitor& visitor) override;

  SwfString url;
};

class EnableDebuggerTag : public SwfTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 58; }

  SwfString password;
};

class EnableDebugger2Tag : public EnableDebuggerTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 64; }

  uint16_t reserved = 0;
};
