#include "SwfTestSupport.h"

#include <cstdio>
#include <sstream>

#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfRecords.h"

namespace swftest {

Bytes Hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (char c : text)
    if (!isspace(static_cast<unsigned char>(c))) digits.push_back(c);
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    snprintf(buf, sizeof buf, "%02X", bytes[i]);
    if (i) out += ' ';
    out += buf;
  }
  return out;
}

std::string ToHex(const std::string& bytes) { return ToHex(Bytes(bytes.begin(), bytes.end())); }

Bytes Written(SwfObject& object, uint8_t version) {
  SwfBitWriter w(version);
  object.Write(w);
  return w.GetBuffer();
}

void Load(SwfReader& reader, const Bytes& bytes, uint8_t version) {
  SwfBitWriter w(version);
  w.WriteBytes(bytes);
  reader.LoadFromWriter(w);
  reader.header.version = version;
}

std::unique_ptr<SwfObject> ReadOne(SwfReader& reader, const RoundTrip& c) {
  switch (c.kind) {
    case Kind::kTag:
      return std::unique_ptr<SwfObject>(reader.ReadNextTag());
    case Kind::kAction:
      {
        std::unique_ptr<SwfAction> action(CreateActionForCode(reader.ReadU8()));
        action->version = c.version;
        action->Read(reader);
        return action;
      }
    case Kind::kRecord: {
      auto object = c.blank();
      object->Read(reader);
      reader.AlignByte();
      return object;
    }
  }
  return nullptr;
}

void ExpectRoundTrip(const RoundTrip& c) {
  SCOPED_TRACE(c.name + " (version " + std::to_string(c.version) + ")");
  const Bytes expected = Hex(c.hex);
  auto object = c.make();
  if (auto* action = dynamic_cast<SwfAction*>(object.get())) action->version = c.version;
  EXPECT_EQ(ToHex(Written(*object, c.version)), ToHex(expected)) << "writing the object";

  SwfReader reader;
  Load(reader, expected, c.version);
  auto read = ReadOne(reader, c);
  ASSERT_TRUE(read);
  EXPECT_EQ(reader.GetPosition(), expected.size()) << "every byte is consumed";
  EXPECT_EQ(Describe(*read, c.version), Describe(*object, c.version)) << "reading the bytes";
  EXPECT_EQ(ToHex(Written(*read, c.version)), ToHex(expected)) << "writing what was read";
}

}  // namespace swftest
