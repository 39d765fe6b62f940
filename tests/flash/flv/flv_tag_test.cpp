#include "flash/flv/FlvTag.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "flash/flv/AmfValue.h"
#include "flash/flv/StreamBitWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::unique_ptr<AmfValue> Number(double v) {
  auto value = std::make_unique<AmfValue>(kAmfNumber);
  value->SetNumber(v);
  return value;
}

std::unique_ptr<AmfValue> String(const wchar_t* s) {
  auto value = std::make_unique<AmfValue>(kAmfNumber);
  value->SetString(MakeWideString(s));
  return value;
}

std::unique_ptr<AmfProperty> Property(const wchar_t* name, std::unique_ptr<AmfValue> value) {
  auto p = std::make_unique<AmfProperty>();
  p->SetName(MakeWideString(name));
  p->SetValue(std::move(value));
  return p;
}

TEST(AmfValue, Layouts) {
  struct Case {
    std::string name;
    std::function<std::unique_ptr<AmfValue>()> make;
    Bytes expected;
  };
  const std::vector<Case> cases = {
      {"number 12.0", [] { return Number(12.0); }, {0x00, 0x40, 0x28, 0, 0, 0, 0, 0, 0}},
      {"boolean", [] { return std::make_unique<AmfValue>(kAmfBoolean); }, {0x01, 0x00}},
      {"string cuts characters to their low byte",
       [] { return String(L"ab\u263Acd"); },
       {0x02, 0x00, 0x05, 'a', 'b', 0x3A, 'c', 'd'}},
      {"Latin-1 survives", [] { return String(L"\u00E9"); }, {0x02, 0x00, 0x01, 0xE9}},
      {"string from null", [] { return String(nullptr); }, {0x02, 0x00, 0x00}},
      {"type 4 as a string without text",
       [] { return std::make_unique<AmfValue>(kAmfObjectString); },
       {0x04, 0x00, 0x00}},
      {"empty ECMA array",
       [] { return std::make_unique<AmfValue>(kAmfEcmaArray); },
       {0x08, 0, 0, 0, 0, 0, 0, 9}},
      {"unknown type has no payload", [] { return std::make_unique<AmfValue>(5); }, {0x05}},
      {"ECMA array with nested values",
       [] {
         auto a = std::make_unique<AmfValue>(kAmfEcmaArray);
         a->AddProperty(Property(L"n", Number(1.0)));
         auto inner = std::make_unique<AmfValue>(kAmfEcmaArray);
         inner->AddProperty(Property(L"s", String(L"x")));
         a->AddProperty(Property(L"in", std::move(inner)));
         return a;
       },
       Concat({{0x08, 0, 0, 0, 2},
               {0, 1, 'n', 0x00, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0},
               {0, 2, 'i', 'n', 0x08, 0, 0, 0, 1, 0, 1, 's', 0x02, 0, 1, 'x', 0, 0, 9},
               {0, 0, 9}})},
      {"property without a value gets the undefined marker",
       [] {
         auto a = std::make_unique<AmfValue>(kAmfEcmaArray);
         auto p = std::make_unique<AmfProperty>();
         p->SetName(MakeWideString(L"k"));
         a->AddProperty(std::move(p));
         return a;
       },
       {0x08, 0, 0, 0, 1, 0, 1, 'k', 0x06, 0, 0, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BigEndianBitWriter w;
    auto value = c.make();
    EXPECT_EQ(value->Write(w), c.expected.size());
    EXPECT_EQ(w.GetBuffer(true), c.expected);
  }
}

TEST(AmfValue, LongStringIsCutAtTheCountWidth) {
  std::wstring text(70000, L'z');
  BigEndianBitWriter w;
  String(text.c_str())->Write(w);
  const Bytes& out = w.GetBuffer(true);
  ASSERT_EQ(out.size(), 3u + 65535u);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0xFF);
}

TEST(FlvTag, Layouts) {
  struct Case {
    std::string name;
    std::function<std::unique_ptr<FlvTag>()> make;
    Bytes expected;
  };
  const Bytes data417(417, 0x55);
  const std::vector<Case> cases = {
      {"audio tag at 1000 ms",
       [&] {
         auto tag = std::make_unique<FlvTag>(kFlvTagAudio);
         auto audio = std::make_unique<FlvAudioData>();
         audio->SetSoundFormat(0x20);
         audio->SetSoundRate(0x0C);
         audio->SetSoundSize(0x02);
         audio->SetSoundType(0x00);
         audio->SetData(data417.data(), 417);
         tag->SetBody(std::move(audio));
         tag->timestamp = 1000;
         return tag;
       },
       Concat({{0x08, 0x00, 0x01, 0xA2, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x2E},
               data417})},
      {"timestamp 2^24 goes into the extended byte",
       [] {
         auto tag = std::make_unique<FlvTag>(kFlvTagAudio);
         tag->timestamp = 16777216;
         return tag;
       },
       {0x08, 0, 0, 1, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0x00}},
      {"timestamp 17,000,000 ms",
       [] {
         auto tag = std::make_unique<FlvTag>(kFlvTagAudio);
         tag->timestamp = 17000000;  // 0x01036640
         return tag;
       },
       {0x08, 0, 0, 1, 0x03, 0x66, 0x40, 0x01, 0, 0, 0, 0x00}},
      {"largest 24-bit timestamp",
       [] {
         auto tag = std::make_unique<FlvTag>(kFlvTagAudio);
         tag->timestamp = 0xFFFFFF;
         return tag;
       },
       {0x08, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0x00}},
      {"video body packs frame type and codec",
       [] {
         auto tag = std::make_unique<FlvTag>(kFlvTagVideo);
         const uint8_t frame[] = {0x12, 0x34, 0x56};
         tag->GetBody()->Read(frame, 3);
         return tag;
       },
       {0x09, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56}},
      {"placeholder metadata",
       [] { return std::make_unique<FlvTag>(kFlvTagScriptData); },
       Concat({{0x12, 0, 0, 21, 0, 0, 0, 0, 0, 0, 0},
               {0x02, 0x00, 0x0A},
               Text("onMetaData"),
               {0x08, 0, 0, 0, 0, 0, 0, 9}})},
      {"script data with a name and an array",
       [] {
         auto tag = std::make_unique<FlvTag>(kFlvTagScriptData);
         auto script = std::make_unique<FlvScriptDataTag>();
         script->SetName(MakeWideString(L"onMetaData"));
         auto array = std::make_unique<AmfValue>(kAmfEcmaArray);
         array->AddProperty(Property(L"duration", Number(2.5)));
         script->SetValue(std::move(array));
         tag->SetBody(std::move(script));
         return tag;
       },
       Concat({{0x12, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0},
               {0x02, 0x00, 0x0A},
               Text("onMetaData"),
               {0x08, 0, 0, 0, 1, 0, 8},
               Text("duration"),
               {0x00, 0x40, 0x04, 0, 0, 0, 0, 0, 0},
               {0, 0, 9}})},
      {"a tag without a body writes nothing", [] { return std::make_unique<FlvTag>(7); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tag = c.make();
    BigEndianBitWriter w;
    EXPECT_EQ(tag->Write(w), c.expected.size());
    EXPECT_EQ(w.GetBuffer(true), c.expected);
    if (tag->GetBody()) {
      EXPECT_EQ(tag->GetBody()->Size() + kFlvTagHeaderSize, c.expected.size());
    }
  }
}

TEST(FlvTag, BodyTooLargeForItsSizeFieldWritesNothing) {
  FlvTag tag(kFlvTagAudio);
  Bytes big(kFlvMaxBodySize, 0);  // with the flags byte one more than the field holds
  tag.GetBody()->SetData(big.data(), static_cast<uint32_t>(big.size()));
  BigEndianBitWriter w;
  EXPECT_EQ(tag.Write(w), 0u);
  EXPECT_EQ(w.GetSize(), 0u);
}

TEST(FlvAudioData, SettersKeepTheOtherBits) {
  FlvAudioData audio;
  audio.SetSoundFormat(0x20);
  audio.SetSoundRate(0x0C);
  audio.SetSoundSize(0x02);
  audio.SetSoundType(0x01);
  EXPECT_EQ(audio.GetFlags(), 0x2F);
  audio.SetSoundRate(0x04);
  EXPECT_EQ(audio.GetFlags(), 0x27);
  audio.SetSoundFormat(0xA0);
  EXPECT_EQ(audio.GetFlags(), 0xA7);
  audio.SetSoundType(0x00);
  audio.SetSoundSize(0x00);
  EXPECT_EQ(audio.GetFlags(), 0xA4);
}

TEST(FlvAudioData, ReadBackWhatWasWritten) {
  FlvAudioData audio;
  audio.SetSoundFormat(0x20);
  const uint8_t data[] = {1, 2, 3};
  audio.SetData(data, 3);
  BigEndianBitWriter w;
  audio.Write(w);
  const Bytes bytes = w.GetBuffer(true);
  FlvAudioData back;
  EXPECT_EQ(back.Read(bytes.data(), static_cast<uint32_t>(bytes.size())), 4u);
  EXPECT_EQ(back.GetFlags(), 0x20);
  EXPECT_EQ(back.GetData(), (Bytes{1, 2, 3}));
  EXPECT_EQ(back.Read(bytes.data(), 0), 0u);
}

}  // namespace
