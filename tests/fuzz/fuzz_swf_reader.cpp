// fuzz-links: flash_swf
// fuzz-corpus-seeds: swf
// Fuzz target: any bytes as a movie in memory. The reader loads them, reads every tag (sprites,
// clip actions, action lists, shapes, morph shapes, bitmaps and buttons included) and writes
// the tag list back; the asset importer gathers every sprite and the tag index every
// character; nothing may crash, hang or allocate without bound. Seeded with the movies of the
// corpus folder swf/ (the CWS ones only exercise the refusal, as the in-memory reader takes
// uncompressed movies) and seeds/swf_reader/ (shapes, a gradient, a bitmap fill, a button).
#include <cstddef>
#include <cstdint>

#include <vector>

#include "flash/swf/AssetImporter.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfObject.h"
#include "flash/swf/SwfReader.h"
#include "flash/swf/SwfTagIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SwfReader reader;
  if (reader.OpenMemory(data, size, true, 0, true)) {
    SwfBitWriter out(reader.GetVersion());
    reader.header.Write(out);
    for (SwfTag* tag : reader.tags) tag->Write(out);
    // Read what was written once more: the writers must produce what the readers take.
    SwfReader again;
    again.LoadFromWriter(out);
    again.header.Read(again, true);
    again.ReadTagsUntil(nullptr, 0);
    again.ClearTags(true);

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
