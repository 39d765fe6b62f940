#include "SwfTestSupport.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "flash/swf/SwfHeaderRecord.h"
#include "flash/swf/SwfMovieWriter.h"
#include "toolbox/Utf8.h"

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

uint32_t RewriteMovie(const PathString& from, const PathString& to) {
  SwfReader r;
  if (!r.ReadAllTagsFromMemory(from, true, 0, true)) return 0;
  SwfMovieWriter w;
  w.SetHeaderFrom(r.header);
  if (!w.Open(to, true)) return 0;
  for (SwfTag* t : r.tags) w.WriteTag(t, false);
  r.tags.clear();
  return w.Close();
}

PathString PathOf(const std::filesystem::path& path) { return PathString(toolbox::Utf8ToWide(path.string())); }

std::string MovieBytes(uint8_t version, const std::vector<SwfTag*>& tags, uint16_t frames) {
  SwfBitWriter w(version);
  SwfHeaderRecord header;
  header.Set(0, 0, 550 * 20, 400 * 20, 12, version);
  header.SetFrameCount(frames);
  header.Write(w);
  for (SwfTag* t : tags) {
    t->Write(w);
    delete t;
  }
  w.Align();
  std::string bytes(w.GetBuffer().begin(), w.GetBuffer().end());
  const uint32_t n = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(n >> (8 * i));
  return bytes;
}

std::string Compressed(const std::string& fws) {
  uLongf size = compressBound(fws.size() - 8);
  std::string out(8 + size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[8]), &size, reinterpret_cast<const Bytef*>(fws.data() + 8), fws.size() - 8, 9);
  out.resize(8 + size);
  out.replace(0, 8, fws.substr(0, 8));
  out[0] = 'C';
  return out;
}

PrivateTemporaryFolder::PrivateTemporaryFolder() {
  std::random_device rd;
  base_ = std::filesystem::temp_directory_path() / ("brivane-tmpdir-" + std::to_string(rd()));
  std::filesystem::create_directories(base_);
  const char* old = std::getenv("TMPDIR");
  hadSaved_ = old != nullptr;
  if (old) saved_ = old;
  setenv("TMPDIR", base_.c_str(), 1);
}

PrivateTemporaryFolder::~PrivateTemporaryFolder() {
  if (hadSaved_) setenv("TMPDIR", saved_.c_str(), 1);
  else unsetenv("TMPDIR");
  std::error_code ec;
  std::filesystem::remove_all(base_, ec);
}

std::vector<std::string> PrivateTemporaryFolder::Files() const {
  std::vector<std::string> files;
  std::error_code ec;
  // Only the application's private folder: scratch folders of the test may sit beside it.
  const auto folder = base_ / ("brivane-" + std::to_string(geteuid()));
  for (auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
    if (!e.is_directory()) files.push_back(e.path().filename().string());
  return files;
}

}  // namespace swftest
