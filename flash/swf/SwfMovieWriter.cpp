#include "flash/swf/SwfMovieWriter.h"

#include <sys/stat.h>

#include "flash/swf/ControlTags.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "framework/platform/PathLayer.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Utf8.h"

namespace {

// Tags are gathered and handed to the file in whole blocks of this size, so that the file's
// writes start and end on page boundaries (the kernel copies partial pages far more slowly).
constexpr size_t kFlushSize = 256 * 1024;
// The room a tag's bytes may keep for the next tags; a larger tag's goes with it.
constexpr uint32_t kScratchKeep = 1024 * 1024;

constexpr uint16_t kShowFrameCode = 1;
constexpr uint16_t kFrameLabelCode = 43;

void DeleteUnlessKept(SwfTag* tag, bool keep) {
  if (!keep) delete tag;
}

}  // namespace

SwfMovieWriter::SwfMovieWriter()
    : stage{0, 20, 0, 20}, frameRate(0), frameCount(0), headerEnd(0), version(4), fileLength(0), open(false) {}

SwfMovieWriter::~SwfMovieWriter() { file.Abandon(); }

void SwfMovieWriter::SetMovieProperties(uint32_t width, uint32_t height, float rate, uint8_t swfVersion) {
  stage[0] = 0;
  stage[1] = static_cast<int32_t>(width);
  stage[2] = 0;
  stage[3] = static_cast<int32_t>(height);
  frameRate = rate;
  version = swfVersion;
  headerEnd = 0;
}

void SwfMovieWriter::SetHeaderFrom(const SwfHeaderRecord& header) {
  stage[0] = header.frameRect.xmin;
  stage[1] = header.frameRect.xmax;
  stage[2] = header.frameRect.ymin;
  stage[3] = header.frameRect.ymax;
  frameRate = header.frameRate;
  version = header.version;
  headerEnd = 0;
}

void SwfMovieWriter::GetFrameSize(uint32_t& width, uint32_t& height) const {
  width = static_cast<uint32_t>(stage[1] - stage[0]);
  height = static_cast<uint32_t>(stage[3] - stage[2]);
}

bool SwfMovieWriter::Open(const PathString& target, bool replace) {
  file.Abandon();
  open = false;
  failureReason.clear();
  path = target;
  // A movie replaces a file, never a device, a pipe or a folder.
  struct stat st;
  const std::string native = toolbox::WideToUtf8(MakeAbsolutePath(target));
  if (stat(native.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;

  FileCreateInfo info;
  info.type = toolbox::MakeOSType("SWFL");
  info.creator = toolbox::MakeOSType("SWF2");
  if (!file.Open(target, &info, replace)) return false;

  SwfHeaderRecord header;
  header.frameRect.xmin = stage[0];
  header.frameRect.xmax = stage[1];
  header.frameRect.ymin = stage[2];
  header.frameRect.ymax = stage[3];
  header.frameRate = frameRate;
  header.version = version;
  header.fileLength = 32;  // placeholders, completed by Close
  header.frameCount = 1;
  frameCount = 0;

  SwfBitWriter head(4);
  header.Write(head);
  const auto& bytes = head.GetBuffer();
  pending.assign(bytes.begin(), bytes.end());
  fileLength = pending.size();
  headerEnd = static_cast<uint32_t>(fileLength);
  labels.clear();
  open = true;
  return true;
}

bool SwfMovieWriter::Flush(bool all) {
  const size_t count = all ? pending.size() : pending.size() / kFlushSize * kFlushSize;
  if (count == 0) return !file.Failed();
  const bool ok = file.Write(pending.data(), count);
  pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
  return ok;
}

uint32_t SwfMovieWriter::WriteTag(SwfTag* tag, bool keep) {
  if (!tag) return 0;
  if (!open) {
    DeleteUnlessKept(tag, keep);
    return 0;
  }
  const uint16_t code = tag->GetTagCode();
  if (code == kShowFrameCode) {
    frameWritten.Emit(frameCount);
    ++frameCount;
  } else if (code == kFrameLabelCode) {
    if (auto* label = dynamic_cast<FrameLabelTag*>(tag)) {
      std::string name = label->name.Encode(version);
      for (const auto& written : labels) {
        if (written == name) {
          DeleteUnlessKept(tag, keep);
          return 0;
        }
      }
      labels.push_back(std::move(name));
    }
  }
  // One writer serves every tag, its room kept from tag to tag.
  if (!scratch || scratch->GetVersion() != version || scratch->Capacity() > kScratchKeep)
    scratch = std::make_unique<SwfBitWriter>(version);
  SwfBitWriter& out = *scratch;
  out.Clear();
  tag->Write(out);
  DeleteUnlessKept(tag, keep);
  if (out.Failed()) {
    // A tag that cannot be written as it is makes the whole movie fail: nothing half-right
    // takes the target's place.
    if (failureReason.empty()) failureReason = out.FailureReason();
    return 0;
  }
  const auto& bytes = out.GetBuffer();
  pending.insert(pending.end(), bytes.begin(), bytes.end());
  fileLength += bytes.size();
  if (pending.size() >= kFlushSize && !Flush(false)) return 0;
  return file.Failed() ? 0 : static_cast<uint32_t>(bytes.size());
}

uint32_t SwfMovieWriter::Close() {
  labels.clear();
  if (!open) return 0;
  open = false;
  // The header can count no more frames and no longer a file: refuse rather than wrap.
  if (frameCount > kMaxSwfFrameCount && failureReason.empty())
    failureReason = "the movie has more frames than its header can count";
  if (fileLength > UINT32_MAX && failureReason.empty()) failureReason = "the movie is longer than its header can count";
  if (!Flush(true) || !failureReason.empty()) {
    if (failureReason.empty()) failureReason = "the movie file could not be written";
    file.Abandon();
    return 0;
  }
  const uint32_t length = static_cast<uint32_t>(fileLength);
  const uint8_t lengthBytes[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
  const uint8_t countBytes[2] = {static_cast<uint8_t>(frameCount), static_cast<uint8_t>(frameCount >> 8)};
  if (!file.WriteAt(4, lengthBytes, 4) || !file.WriteAt(headerEnd - 2, countBytes, 2) || !file.Commit()) {
    failureReason = "the movie file could not be written";
    file.Abandon();
    return 0;
  }
  return length;
}

bool IsBelowMinimumStage(int32_t width, int32_t height) { return width < 25600 || height < 19200; }
