#pragma once
// The input side of the SWF object model: loading a movie (a file, a block of memory or a
// writer's bytes) into memory, reading its tags into a tag list, and the primitive reads
// through which every tag parses itself. Movies come from anywhere, so every read is bounded
// by the bytes present: reads past the end give 0 and never move beyond the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "flash/swf/SwfHeaderRecord.h"
#include "flash/swf/SwfText.h"
#include "framework/platform/PathString.h"

class SwfBitWriter;
class SwfTag;

// The largest movie the readers load (declared length included): a larger one is refused
// rather than allocated.
inline constexpr uint32_t kMaxSwfMovieBytes = 512u << 20;

// Reasons of a failed load (SwfReader::errorCode).
inline constexpr uint32_t kSwfErrorCannotOpen = 1;
inline constexpr uint32_t kSwfErrorNotSwf = 2;  // bad signature, LZMA, or a damaged CWS stream
inline constexpr uint32_t kSwfErrorTooLarge = 3;

class SwfReader {
 public:
  SwfReader();
  virtual ~SwfReader();
  SwfReader(const SwfReader&) = delete;
  SwfReader& operator=(const SwfReader&) = delete;

  virtual void Close() {}
  // Empties the input and the tag list (without deleting the tags); position, bit position,
  // frame count and flags back to 0.
  virtual void Reset();
  // Takes the writer's bytes (aligned first) as the input, read as a movie of the writer's
  // version; the tags can then be read with ReadTagsUntil.
  virtual bool LoadFromWriter(SwfBitWriter& writer);
  // Loads a file into memory and parses its header; with `parseTags` also every tag. A "CWS"
  // file is inflated first (into a temporary file of this reader's own, deleted before this
  // returns). `byteCount` other than 0 takes the place of the header's file length. Without
  // `checkSignature` the file starts with the length field.
  virtual bool ReadAllTagsFromMemory(const PathString& path, bool checkSignature, uint32_t byteCount,
                                     bool parseTags);
  // Loads a file and reads its tags in the light form: every tag a RawTag except
  // SetBackgroundColor and FrameLabel (for copying a movie through unchanged).
  virtual bool ReadAllTags(const PathString& path);
  // The same as ReadAllTagsFromMemory from `size` bytes of memory; compressed data is refused.
  virtual bool OpenMemory(const uint8_t* bytes, size_t size, bool checkSignature, uint32_t byteCount,
                          bool parseTags);
  // With `deleteTags`, deletes every tag of the list and empties it; otherwise does nothing.
  virtual void ClearTags(bool deleteTags);
  // The stage in twips.
  virtual void GetFrameSize(uint32_t& width, uint32_t& height);

  virtual void Seek(uint32_t newPosition);
  virtual void Skip(uint32_t count);
  virtual void AlignByte();
  // `count` bits, most significant first; with `isSigned` sign-extended from the top bit.
  virtual uint32_t ReadBits(uint16_t count, bool isSigned);
  virtual uint8_t PeekU8();
  virtual uint8_t ReadU8();
  virtual uint16_t ReadU16();
  virtual uint32_t ReadU32();
  // With `count` 0, bytes up to and including the first 0 byte (or the end of the tag being
  // read); otherwise exactly `count` bytes, never beyond the end. Each byte becomes the
  // character with the same code; one trailing 0 character is removed.
  virtual void ReadString(std::wstring& out, uint32_t count, bool detectRootPath);
  // The same, keeping the bytes as read (for writing them back unchanged), decoded for the
  // movie's version. With `detectRootPath` a string starting with "/" or "_root" (in any
  // letter case) sets `rootPathSeen`.
  void ReadString(SwfString& out, uint32_t count, bool detectRootPath);
  // Up to `count` bytes appended to `out`: no more than remain in the input.
  virtual void ReadBytes(std::vector<uint8_t>& out, uint32_t count);

  uint32_t GetPosition() const { return position; }
  uint32_t GetBitPosition() const { return bitPosition; }
  // The bytes of the input.
  virtual uint32_t GetSize() const { return static_cast<uint32_t>(buffer.size()); }
  uint32_t BytesLeft() const;
  // Bytes left before the end of the tag being read (never beyond the input's end).
  uint32_t TagBytesLeft() const;
  // The SWF version of the movie being read.
  uint8_t GetVersion() const { return header.version; }

  // Reads one tag at the current position: its record header, a tag from the factory and
  // the tag's own Read; then moves to the tag's end. The caller owns the tag. The end is
  // clamped to the input, so every tag moves the position forward.
  SwfTag* ReadNextTag();
  // Reads tags from `source` (this reader when null) into `tags`, which is emptied (not
  // deleted) first; the tags are created with this reader, so ShowFrames count into this
  // frameCount. Ends after the End tag (appended too), after the ShowFrame that completes
  // `frameLimit` frames when that is not 0, or at the end of the body being read (the
  // source's `tagEnd`). Returns true when it stopped at the frame limit.
  bool ReadTagsUntil(SwfReader* source, uint32_t frameLimit);
  std::vector<SwfTag*>& GetTagList(bool = false) { return tags; }
  int32_t GetWidth() const { return header.GetWidth(); }
  int32_t GetHeight() const { return header.GetHeight(); }

  SwfHeaderRecord header;
  uint32_t frameCount = 0;
  // The tags read; the reader does not delete them unless told (ClearTags).
  std::vector<SwfTag*> tags;
  uint32_t errorCode = 0;
  uint8_t compressed = 0;
  // Set on the reader through which a sprite reads its nested tags: a DefineSprite met there
  // is kept as a RawTag (sprites cannot nest in a valid movie).
  bool insideSprite = false;
  // Body length of the tag being read, and the position where its body ends.
  uint32_t tagLength = 0;
  uint32_t tagEnd = 0;
  bool rootPathSeen = false;
  // Set when a tag's record header or body runs past the end of the input (a cut movie); the
  // loading operations then refuse the movie.
  bool truncated = false;

  // Reads a tag's record header at the position (aligned first): false, with nothing read,
  // at the end of the input. Sets `truncated` when the header does not fit in the bytes left.
  bool ReadRecordHeader(uint16_t& code, uint32_t& length);

 protected:
  // The bytes of a string field (see ReadString).
  virtual std::string ReadStringBytes(uint32_t count);
  // Copies up to `total` bytes of the movie into `buffer` from `next` (which yields at most
  // the asked number of bytes, 0 at the end), the signature and length already there.
  template <class Next>
  bool FillBuffer(uint32_t total, Next next);
  bool FinishLoad(bool checkSignature, bool parseTags);
  // Deletes the tags read and fails the load as a damaged movie.
  bool Refuse();
  // Refuses a cut movie; gives a movie without its End tag one from `makeEnd`.
  template <class MakeEnd>
  bool CompleteTagList(MakeEnd makeEnd);

  std::vector<uint8_t> buffer;
  uint32_t position = 0;
  uint32_t bitPosition = 0;
};

// Reads one tag at the source's position, ending no later than `limit`; the tag is created
// with `factory` (see CreateTagForCode).
SwfTag* ReadTagFrom(SwfReader& source, SwfReader& factory, uint32_t limit);

// Inflates the "CWS" file at `path` into a new file of a unique name in the application's
// private temporary folder, no further than the movie's declared length; the caller deletes
// it. False, with no file left and the reason in `errorCode`, when the file is not a complete
// "CWS" movie or declares more than the readers load.
bool InflateSwfToTemporary(const PathString& path, PathString& temporary, uint32_t& errorCode);
