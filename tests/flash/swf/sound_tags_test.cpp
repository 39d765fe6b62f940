#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/SoundTags.h"

using namespace swftest;

namespace {

template <class T>
std::function<std::unique_ptr<SwfObject>()> Tag(std::function<void(T&)> fill) {
  return [fill] {
    auto o = std::make_unique<T>();
    fill(*o);
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

}  // namespace

TEST(SoundTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"stream head: MP3 44100 Hz 16 bit mono, 3675 samples", 6, Tag<SoundStreamHeadTag>([](auto& t) {
         t.streamFormat = 0x2E, t.sampleCount = 3675;
       }),
       "84 04 00 2E 5B 0E"},
      {"stream head 2", 6, Tag<SoundStreamHead2Tag>([](auto& t) {
         t.playbackFormat = 0x0F, t.streamFormat = 0x2F, t.sampleCount = 1152;
       }),
       "44 0B 0F 2F 80 04"},
      {"stream block", 6, Tag<SoundStreamBlockTag>([](auto& t) { t.data = {0x80, 0x04, 0x00, 0x00, 0xFF, 0xFB}; }),
       "C6 04 80 04 00 00 FF FB"},
      {"empty stream block", 6, Tag<SoundStreamBlockTag>([](auto&) {}), "C0 04"},
      {"DefineSound", 6, Tag<DefineSoundTag>([](auto& t) {
         t.SetCharacterId(1), t.soundFormat = 0x2E, t.sampleCount = 1152, t.data = {0, 0, 0xFF, 0xFB, 0x90};
       }),
       "8C 03 01 00 2E 80 04 00 00 00 00 FF FB 90"},
      {"StartSound looping without end", 6, Tag<StartSoundTag>([](auto& t) {
         t.soundId = 1, t.soundInfo.SetSyncNoMultiple(true), t.soundInfo.SetHasLoops(true);
         t.soundInfo.loopCount = 32767;
       }),
       "C5 03 01 00 14 FF 7F"},
      {"StartSound with every part", 6, Tag<StartSoundTag>([](auto& t) {
         t.soundId = 2, t.soundInfo.flags = 0x0F, t.soundInfo.inPoint = 1, t.soundInfo.outPoint = 2;
         t.soundInfo.loopCount = 3, t.soundInfo.envelope.push_back({16, 32, 48});
       }),
       "D6 03 02 00 0F 01 00 00 00 02 00 00 00 03 00 01 10 00 00 00 20 00 30 00"},
      {"StartSound stop, reserved bits kept", 6, Tag<StartSoundTag>([](auto& t) { t.soundInfo.flags = 0xE0; }),
       "C3 03 00 00 E0"},
      {"envelope flag without points", 6, Tag<StartSoundTag>([](auto& t) { t.soundId = 1, t.soundInfo.flags = 8; }),
       "C4 03 01 00 08 00"},
  };
  for (auto& c : cases) ExpectRoundTrip(c);
}

TEST(SoundTags, FormatSetters) {
  SoundStreamHeadTag h;
  h.SetStreamCompression(2), h.SetStreamRate(3), h.SetStreamSize(1), h.SetStreamType(1);
  EXPECT_EQ(h.streamFormat, 0x2F);
  h.SetStreamRate(1);
  EXPECT_EQ(h.streamFormat, 0x27);
  DefineSoundTag d;
  d.SetFormat(2), d.SetRate(2), d.SetSize(1), d.SetType(1);
  EXPECT_EQ(d.soundFormat, 0x2B);
  EXPECT_EQ(d.IsStereo(), 1);
  d.SetType(0);
  EXPECT_EQ(d.IsStereo(), 0);
}

TEST(SoundTags, BlockSampleCountFollowsTheHead) {
  SoundStreamHeadTag adpcm, mp3;
  adpcm.SetStreamCompression(1);
  mp3.SetStreamCompression(2);
  SoundStreamBlockTag empty, full, one;
  full.data = {0x80, 0x04, 0, 0};
  one.data = {0x80};
  EXPECT_EQ(empty.GetSampleCount(&adpcm), 1000u);
  EXPECT_EQ(full.GetSampleCount(&adpcm), 1000u);
  EXPECT_EQ(full.GetSampleCount(&mp3), 1152u);
  EXPECT_EQ(one.GetSampleCount(&mp3), 0u);
  EXPECT_EQ(full.GetSampleCount(nullptr), 0u);
}

TEST(SoundTags, NormalisedOnTheWayThrough) {
  struct Case {
    const char* name;
    const char* in;
    const char* out;
  } cases[] = {
      {"reserved playback bits written as 0", "84 04 F5 2E 5B 0E", "84 04 05 2E 5B 0E"},
      {"latency seek of a 6-byte head is dropped", "86 04 05 2E 5B 0E 01 00 40 00", "84 04 05 2E 5B 0E 40 00"},
      {"short DefineSound body is kept as read", "83 03 01 00 2E", "83 03 01 00 2E"},
      {"sound info with in/out values but no flags", "C3 03 01 00 00", "C3 03 01 00 00"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SwfReader r;
    Load(r, Hex(c.in), 6);
    SwfBitWriter out(6);
    while (r.GetPosition() < r.GetSize()) std::unique_ptr<SwfTag>(r.ReadNextTag())->Write(out);
    EXPECT_EQ(ToHex(out.GetBuffer()), c.out);
  }
  StartSoundTag s;
  s.soundInfo.inPoint = 5, s.soundInfo.outPoint = 6, s.soundInfo.loopCount = 7;
  EXPECT_EQ(ToHex(Written(s, 6)), "C3 03 00 00 00");
}

TEST(SoundTags, LongBodiesAndCounts) {
  DefineSoundTag d;
  d.data.assign(1000, 0xAA);
  const Bytes w = Written(d, 6);
  EXPECT_EQ(ToHex(Bytes(w.begin(), w.begin() + 6)), "BF 03 EF 03 00 00");  // long form, 1007

  // More envelope points than the count byte can announce: count and points agree.
  StartSoundTag s;
  s.soundInfo.flags = SwfSoundInfo::kHasEnvelope;
  s.soundInfo.envelope.resize(300);
  SwfReader r;
  Load(r, Written(s, 6), 6);
  std::unique_ptr<SwfTag> back(r.ReadNextTag());
  EXPECT_EQ(r.GetPosition(), r.GetSize());
  EXPECT_EQ(dynamic_cast<StartSoundTag&>(*back).soundInfo.envelope.size(), 255u);

  s.ShiftIdsAndDepths(4, 1, 1);
  EXPECT_EQ(s.soundId, 4);
  d.ShiftIdsAndDepths(4, 1, 1);
  EXPECT_EQ(d.GetCharacterId(), 4);
}

// Lengths come from the file: a block that claims 2 GiB in a 1 KiB movie holds only the bytes
// that are there.
TEST(SoundTags, ForgedLengthsTakeOnlyTheBytesPresent) {
  for (const char* header : {"FF 04 00 00 00 80", "BF 03 00 00 00 80"}) {
    Bytes movie = Hex(header);
    movie.resize(1024, 0x55);
    SwfReader r;
    Load(r, movie, 6);
    std::unique_ptr<SwfTag> t(r.ReadNextTag());
    if (auto* block = dynamic_cast<SoundStreamBlockTag*>(t.get())) {
      EXPECT_EQ(block->data.size(), 1018u);
      EXPECT_LE(block->data.capacity(), 1024u);
    } else {
      auto& sound = dynamic_cast<DefineSoundTag&>(*t);
      EXPECT_EQ(sound.data.size(), 1011u);
    }
    EXPECT_EQ(r.GetPosition(), 1024u);
  }
}
