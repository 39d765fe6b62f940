#pragma once
// The bitmap characters: JPEG images (DefineBits with the movie's shared JPEGTables,
// DefineBitsJPEG2 with its own tables, DefineBitsJPEG3 with an alpha channel) and lossless
// images (DefineBitsLossless, DefineBitsLossless2 with alpha). Image data is carried as the
// file stores it: never decoded, inflated or re-encoded.
#include <cstdint>
#include <vector>

#include "flash/swf/SwfObject.h"

class DefineBitsTag : public SwfCharacterTag {
 public:
  // A body length of 0 reads the JPEG data up to its end-of-image marker (for a tag built
  // without a length); the tag factory gives every tag it makes the length of its header.
  explicit DefineBitsTag(uint32_t bodyLength = 0) : bodyLength(bodyLength) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 6; }
  virtual void CopyFrom(const DefineBitsTag& other);
  virtual void Set(uint16_t id, const std::vector<uint8_t>& bytes);
  virtual void ClearData() { data.clear(); }
  // The length from the tag's header, used even when it is 0.
  void SetBodyLength(uint32_t length) { bodyLength = length, lengthFromHeader = true; }

  std::vector<uint8_t> data;
  uint32_t bodyLength;
  bool lengthFromHeader = false;
};

// The encoding tables shared by every DefineBits of a movie.
class JpegTablesTag : public SwfTag {
 public:
  explicit JpegTablesTag(uint32_t bodyLength = 0) : bodyLength(bodyLength) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 8; }

  std::vector<uint8_t> data;
  uint32_t bodyLength;
};

class DefineBitsJpeg2Tag : public SwfCharacterTag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 21; }
  virtual void SetBodyLength(uint32_t length) { bodyLength = length, lengthFromHeader = true; }
  virtual void Set(uint16_t id, const std::vector<uint8_t>& bytes);

  std::vector<uint8_t> data;
  uint32_t bodyLength = 0;
  bool lengthFromHeader = false;
};

class DefineBitsJpeg3Tag : public DefineBitsJpeg2Tag {
 public:
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 35; }

  uint32_t alphaDataOffset = 0;  // as last read or written: the JPEG data's length
  std::vector<uint8_t> alphaData;
};

// Bitmap formats of the lossless tags.
inline constexpr uint8_t kBitmapColorMapped = 3;
inline constexpr uint8_t kBitmapDirect15 = 4;
inline constexpr uint8_t kBitmapDirect24 = 5;

class DefineBitsLosslessTag : public SwfCharacterTag {
 public:
  explicit DefineBitsLosslessTag(uint8_t format = kBitmapDirect24) : format(format) {}
  uint32_t Read(SwfReader& reader) override;
  uint32_t Write(SwfBitWriter& out) override;
  uint16_t GetTagCode() const override { return 20; }
  virtual uint16_t GetWidth() const { return width; }
  virtual void SetWidth(uint16_t w) { width = w; }
  virtual uint16_t GetHeight() const { return height; }
  virtual void SetHeight(uint16_t h) { height = h; }
  virtual uint8_t GetFormat() const { return format; }
  virtual void ClearData() { data.clear(), colorTableSize = 0; }

  uint8_t colorTableSize = 0;  // colours minus one, format 3 only
  uint16_t width = 0, height = 0;
  uint8_t format;
  std::vector<uint8_t> data;  // zlib-compressed colour table and pixels, as stored
};

class DefineBitsLossless2Tag : public DefineBitsLosslessTag {
 public:
  using DefineBitsLosslessTag::DefineBitsLosslessTag;
  uint16_t GetTagCode() const override { return 36; }
};
