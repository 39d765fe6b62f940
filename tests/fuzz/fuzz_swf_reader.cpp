// fuzz-links: flash_swf
// fuzz-corpus-seeds: swf
// Fuzz target: any bytes as a movie in memory. The reader loads them, reads every tag (sprites,
// clip actions, action lists, shapes, morph shapes, bitmaps and buttons included) and writes
// the tag list back; the asset importer gathers every sprite and the tag index every
// character; nothing may crash, hang or allocate without bound. A movie that loads must be
// stable: what is written loads again, and writing that gives the same bytes. Seeded with the
// movies of the corpus folder swf/ (the CWS ones only exercise the refusal, as the in-memory
// reader takes uncompressed movies) and seeds/swf_reader/ (shapes, a gradient, a bitmap fill, a
// button).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "flash/swf/AssetImporter.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagIndex.h"

namespace {

// The movie's header and tags as a whole movie, its length field right; empty when a tag
// cannot be written as it is (a save would fail with a reason).
std::vector<uint8_t> Written(SwfReader& reader) {
  SwfBitWriter out(reader.GetVersion());
  reader.header.Write(out);
  for (SwfTag* tag : reader.tags) tag->Write(out);
  if (out.Failed()) return {};
  std::vector<uint8_t> bytes = out.GetBuffer();
  const size_t n = bytes.size();
  for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
  return bytes;
}

void Unstable(const char* what) {
  fprintf(stderr, "a movie that loads is not stable: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SwfReader reader;
  if (reader.OpenMemory(data, size, true, 0, true)) {
    const std::vector<uint8_t> once = Written(reader);
    if (!once.empty()) {
      SwfReader again;
      if (!again.OpenMemory(once.data(), once.size(), true, 0, true)) Unstable("its written form does not load");
      if (Written(again) != once) Unstable("writing it again gives other bytes");
      again.ClearTags(true);
    }

    SwfTagIndex index;
    index.Build(reader.tags);
    for (SwfTag* tag : reader.tags) {
      std::vector<SwfTag*> gathered;
      if (auto* sprite = dynamic_cast<DefineSpriteTag*>(tag)) {
        AssetImporter importer;
        importer.Import(sprite, index);
        importer.AppendTo(gathered, true);
      }
      if (DefinedCharacterId(tag) >= 0) {
        index.ImportDefinition(static_cast<uint16_t>(DefinedCharacterId(tag)), gathered);
        FindCharacterById(static_cast<uint16_t>(DefinedCharacterId(tag)), reader.tags);
      }
    }
    uint16_t maxId = 0, maxDepth = 0;
    GetMaxIdAndDepth(reader.tags, maxId, maxDepth);
    FindInstanceByName(L"instance", reader.tags);
    ShiftTagIdsAndDepths(reader.tags, 7, 3, 1);
  }
  reader.ClearTags(true);
  return 0;
}
