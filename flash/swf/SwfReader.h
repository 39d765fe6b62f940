#pragma once
// The input side of the SWF object model: loading a movie (a file, a block of memory or a
// writer's bytes) into memory, or opening a file to read its tags one at a time through a
// window over it, reading its tags into a tag list, and the primitive reads through which
// every tag parses itself. Movies come from anywhere, so every read is bounded by the bytes
// present: reads past the end give 0 and never move beyond the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
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

// The bytes of a file an opened stream holds at a time (OpenStream).
inline constexpr uint32_t kSwfWindowBytes = 256 * 1024;

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
  // Takes `bytes` as the input, read as the body of one tag of a movie of `version` (no
  // header, no record header): the tag's Read can then read it.
  void LoadTagBody(std::vector<uint8_t> bytes, uint8_t version);
  // Loads a file into memory and parses its header; with `parseTags` also every tag. A "CWS"
  // file is inflated first (into a nameless temporary file of this reader's own, gone when
  // this returns). `byteCount` other than 0 takes the place of the header's file length. Without
  // `checkSignature` the file starts with the length field.
  virtual bool ReadAllTagsFromMemory(const PathString& path, bool checkSignature, uint32_t byteCount,
                                     bool parseTags);
  // The same as ReadAllTagsFromMemory(path, true, 0, false) without loading the file: the
  // header is read and the file stays open (until the reader loads another movie, is reset
  // or goes), its bytes read as they are needed through a window of `windowBytes` that moves
  // with the reads, so that a movie of any length costs that much memory (ReadNextTag,
  // StreamSwfTags). A "CWS" file is inflated into a nameless temporary file as when
  // loaded and read through the window; the copy goes with the stream. Should the file turn out shorter
  // than it was when opened, the reads past its new end give 0 and set `truncated`, as for a
  // cut movie. A file that is not a regular one is loaded whole.
  bool OpenStream(const PathString& path, uint32_t windowBytes = kSwfWindowBytes);
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
  virtual uint32_t GetSize() const { return inputSize; }
  uint32_t BytesLeft() const;
  // Bytes left before the end of the tag being read (never beyond the input's end).
  uint32_t TagBytesLeft() const;
  // Where the reads of the tag being read stop: its end, or the input's when sooner.
  uint32_t ReadLimit() const { return std::min(tagEnd, GetSize()); }
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
  // Set when a tag's record header or body runs past the end of the input (a cut movie), or
  // when an opened stream's file has shrunk; the loading operations then refuse the movie.
  bool truncated = false;
  // Set when a read asked for more than the tag being read holds (it gave 0): the tag is
  // shorter than its fields. Cleared by whoever wants to know, before the reads in question.
  bool overran = false;

  // Reads a tag's record header at the position (aligned first): false, with nothing read,
  // at the end of the input. Sets `truncated` when the header does not fit in the bytes left.
  bool ReadRecordHeader(uint16_t& code, uint32_t& length);

 protected:
  // Whether `count` more bytes lie within the tag being read; sets `overran` when not.
  bool CanRead(uint32_t count);
  // The bytes of a string field (see ReadString).
  virtual std::string ReadStringBytes(uint32_t count);
  // Copies up to `total` bytes of the movie into `buffer` from `next` (which yields at most
  // the asked number of bytes, 0 at the end), the signature and length already there.
  template <class Next>
  bool FillBuffer(uint32_t total, Next next);
  bool FinishLoad(bool checkSignature, bool parseTags);
  bool LoadFile(const PathString& path, bool checkSignature, uint32_t byteCount, bool parseTags, uint32_t window);
  // LoadFile from a file already open, which it takes; `path` names it, for inflating it when
  // compressed (null for a copy already inflated).
  bool LoadOpenFile(FILE* file, const PathString* path, bool checkSignature, uint32_t byteCount, bool parseTags,
                    uint32_t window);
  // Makes the input's bytes from `at` on, `count` of them as far as the input holds them,
  // present in the window; false when `at` is at or past the input's end.
  bool Have(uint32_t at, uint32_t count) {
    return (at >= windowBase && at - windowBase < windowSize && windowSize - (at - windowBase) >= count) ||
           MoveWindow(at, count);
  }
  bool MoveWindow(uint32_t at, uint32_t count);
  // Moves `count` bytes from the position on (no more than the input holds) to `append` in
  // one or more pieces (pointer, count).
  template <class Append>
  void TakeBytes(uint32_t count, Append append);
  // The input's byte at `at`, which Have has made present.
  uint8_t At(uint32_t at) const { return window[at - windowBase]; }
  void CloseStream();
  // Deletes the tags read and fails the load as a damaged movie.
  bool Refuse();
  // Refuses a cut movie; gives a movie without its End tag one from `makeEnd`.
  template <class MakeEnd>
  bool CompleteTagList(MakeEnd makeEnd);

  // The input loaded whole.
  std::vector<uint8_t> buffer;
  // The `windowSize` bytes of the input from `windowBase` on: the whole `buffer`, or those of
  // an opened stream's file in `streamWindow`.
  const uint8_t* window = nullptr;
  uint32_t windowBase = 0;
  uint32_t windowSize = 0;
  uint32_t inputSize = 0;
  FILE* streamFile = nullptr;  // the opened stream's file
  uint32_t windowBytes = kSwfWindowBytes;
  struct FreeBytes {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, FreeBytes> streamWindow;
  uint32_t streamWindowCapacity = 0;
  uint32_t position = 0;
  uint32_t bitPosition = 0;
};

// Reads the body of the tag being read into `tag` (which it takes): a tag too short for its
// fields comes back as a RawTag of `code` holding the body as it is.
SwfTag* ReadTagBody(SwfReader& source, SwfTag* tag, uint16_t code, uint32_t length);
// Reads one tag at the source's position, ending no later than `limit`; the tag is created
// with `factory` (see CreateTagForCode).
SwfTag* ReadTagFrom(SwfReader& source, SwfReader& factory, uint32_t limit);

// Inflates the "CWS" file at `path` into a new file of the application's private temporary
// folder, no further than the movie's declared length. The file has no name (it never shows in
// the folder and goes with its last descriptor, also when the process is killed): the result is
// its descriptor, read and write, at its start, which the caller closes. -1, with the reason in
// `errorCode`, when the file is not a complete "CWS" movie, its stream holds more than it
// declares, or it declares more than the readers load.
int InflateSwfToTemporary(const PathString& path, uint32_t& errorCode);
