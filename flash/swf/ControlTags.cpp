#include "flash/swf/ControlTags.h"

#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagBody.h"

namespace {

void WriteZeroTerminated(SwfBitWriter& out, const SwfString& s) {
  out.WriteSwfString(s);
  out.WriteU8(0);
}

}  // namespace

uint32_t EndTag::Read(SwfReader&) { return 0; }

uint32_t EndTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  return WriteTagWithBody(*this, out, body);
}

uint32_t SetBackgroundColorTag::Read(SwfReader& reader) { return color.Read(reader); }

uint32_t SetBackgroundColorTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteRecord(&color);
  return WriteTagWithBody(*this, out, body);
}

uint32_t FrameLabelTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadString(name, 0, false);
  anchor = 0;
  anchorByteRead = reader.GetVersion() > 5 && reader.TagBytesLeft() > 0;
  if (anchorByteRead) anchor = reader.ReadU8();
  readFromFile = true;
  return reader.GetPosition() - start;
}

uint32_t FrameLabelTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  WriteZeroTerminated(body, name);
  // Many tools write no anchor byte: a label read from a movie keeps the form it had, unless
  // the program has made it an anchor since.
  const bool withAnchor = readFromFile ? anchorByteRead || anchor != 0 : true;
  if (out.GetVersion() > 5 && withAnchor) body.WriteU8(anchor);
  return WriteTagWithBody(*this, out, body);
}

uint32_t ProtectTag::Read(SwfReader& reader) {
  const uint32_t left = reader.TagBytesLeft();
  reader.Skip(left);
  return left;
}

uint32_t ProtectTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  return WriteTagWithBody(*this, out, body);
}

void ExportAssetsTag::InsertAsset(SwfAssetEntry* entry, uint32_t index) {
  if (!entry) return;
  std::unique_ptr<SwfAssetEntry> owned(entry);
  if (index < assets.size())
    assets.insert(assets.begin() + index, std::move(owned));
  else
    assets.push_back(std::move(owned));
}

void ExportAssetsTag::VisitIds(SwfIdVisitor& visitor) {
  for (auto& a : assets) visitor.Visit(a->characterId, SwfIdRole::kRefers);
}

void ImportAssetsTag::VisitIds(SwfIdVisitor& visitor) {
  for (auto& a : assets) visitor.Visit(a->characterId, SwfIdRole::kDefines);
}

void ExportAssetsTag::ReadAssets(SwfReader& reader) {
  assets.clear();
  const uint16_t count = reader.ReadU16();
  // An entry takes at least three bytes: stop where the tag's bytes end, whatever the count.
  for (uint32_t i = 0; i < count && reader.TagBytesLeft() > 0; ++i) {
    auto entry = std::make_unique<SwfAssetEntry>(reader.ReadU16(), nullptr);
    reader.ReadString(entry->name, 0, false);
    assets.push_back(std::move(entry));
  }
}

void ExportAssetsTag::WriteAssets(SwfBitWriter& body) {
  body.WriteU16(static_cast<uint16_t>(assets.size()));
  for (auto& a : assets) {
    body.WriteU16(a->characterId);
    WriteZeroTerminated(body, a->name);
  }
}

uint32_t ExportAssetsTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  ReadAssets(reader);
  return reader.GetPosition() - start;
}

uint32_t ExportAssetsTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  WriteAssets(body);
  return WriteTagWithBody(*this, out, body);
}

uint32_t ImportAssetsTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  assets.clear();
  url.clear();
  reader.ReadString(url, 0, false);
  ReadAssets(reader);
  return reader.GetPosition() - start;
}

uint32_t ImportAssetsTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  WriteZeroTerminated(body, url);
  WriteAssets(body);
  return WriteTagWithBody(*this, out, body);
}

uint32_t EnableDebuggerTag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reader.ReadString(password, 0, false);
  return reader.GetPosition() - start;
}

uint32_t EnableDebuggerTag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  WriteZeroTerminated(body, password);
  return WriteTagWithBody(*this, out, body);
}

uint32_t EnableDebugger2Tag::Read(SwfReader& reader) {
  const uint32_t start = reader.GetPosition();
  reserved = reader.ReadU16();
  reader.ReadString(password, 0, false);
  return reader.GetPosition() - start;
}

uint32_t EnableDebugger2Tag::Write(SwfBitWriter& out) {
  SwfBitWriter body(out.GetVersion());
  body.WriteU16(reserved);
  WriteZeroTerminated(body, password);
  return WriteTagWithBody(*this, out, body);
}
