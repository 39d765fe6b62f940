#include "flash/flv/FlvFileWriter.h"

#include <vector>

#include "flash/flv/FlvTag.h"
#include "flash/flv/StreamBitWriter.h"
#include "framework/platform/FileOps.h"

namespace {

constexpr OSType kFlvCreator = toolbox::MakeOSType("FLV2");
constexpr OSType kFlvFileType = toolbox::MakeOSType("MFL2");

}  // namespace

FlvFileWriter::FlvFileWriter() = default;

FlvFileWriter::~FlvFileWriter() { Close(); }

void FlvFileWriter::SetHeader(bool hasVideo, bool hasAudio, uint8_t version) {
  header_.flags = static_cast<uint8_t>(hasVideo ? header_.flags | 0x01 : header_.flags & ~0x01);
  header_.flags = static_cast<uint8_t>(hasAudio ? header_.flags | 0x04 : header_.flags & ~0x04);
  header_.version = version;
}

bool FlvFileWriter::Open(const PathString& path, bool replaceExisting) {
  if (stream_) return false;
  // The file is written beside the target under a temporary name; Close moves it in place.
  auto file = std::make_unique<SafeFileWriter>();
  FileCreateInfo info;
  info.creator = kFlvCreator;
  info.type = kFlvFileType;
  if (!file->Open(path, &info, replaceExisting)) return false;
  BigEndianBitWriter writer;
  for (char c : header_.signature) writer.WriteU8(static_cast<uint8_t>(c));
  writer.WriteU8(header_.version);
  writer.WriteU8(header_.flags);
  writer.WriteU32(header_.headerSize);
  writer.WriteU32(0);  // size of the tag before the first: none
  const std::vector<uint8_t>& bytes = writer.GetBuffer(true);
  if (!file->Write(bytes.data(), bytes.size())) return false;  // the temporary file goes
  stream_ = std::move(file);
  position_ = bytes.size();
  failed_ = false;
  return true;
}

void FlvFileWriter::WriteTag(FlvTag* tag, bool keep) {
  if (!tag) return;
  if (stream_ && !failed_) {
    BigEndianBitWriter writer;
    const uint32_t written = tag->Write(writer);
    if (written == 0) {
      failed_ = true;  // a tag that cannot be framed would break the file
    } else {
      writer.WriteU32(written);
      const std::vector<uint8_t>& bytes = writer.GetBuffer(true);
      if (stream_->Write(bytes.data(), bytes.size()))
        position_ += bytes.size();
      else
        failed_ = true;
    }
  }
  if (!keep) delete tag;
}

uint32_t FlvFileWriter::Close() {
  if (!stream_) return 0;
  std::unique_ptr<SafeFileWriter> file = std::move(stream_);
  const bool ok = !failed_ && file->Commit();
  if (!ok) file->Abandon();
  failed_ = false;
  if (!ok) return 0;
  return position_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(position_);
}
