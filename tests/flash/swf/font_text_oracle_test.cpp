// Judged by python3: the offsets of a DefineFont2 lead a walker of the published layout to
// its code table, and a parser of the published text-record layout consumes every static
// text body the text writer produces.
#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/FontTags.h"
#include "flash/swf/TextTags.h"
#include "support/TestSupport.h"

using namespace swftest;
using testsupport::Python;

namespace {

// The tag bodies, each behind its u16 code and u32 length, in one file for python3.
std::string Pack(std::vector<std::pair<uint16_t, Bytes>> tags) {
  std::string out;
  for (auto& [code, written] : tags) {
    const uint32_t header = (written[0] & 0x3F) == 0x3F ? 6 : 2;
    const uint32_t n = static_cast<uint32_t>(written.size() - header);
    out += std::string{char(code), char(code >> 8), char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    out.append(written.begin() + header, written.end());
  }
  return out;
}

const char* kReadPacked = R"(
import struct, sys
data = open(sys.argv[1], 'rb').read()
tags, pos = [], 0
while pos < len(data):
    code, n = struct.unpack_from('<HI', data, pos)
    tags.append((code, data[pos + 6:pos + 6 + n]))
    pos += 6 + n
)";

std::string RunPython(const std::string& program, const std::string& packed) {
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "tags.bin", packed);
  testsupport::WriteFile(dir / "check.py", std::string(kReadPacked) + program);
  return testsupport::Run("python3 '" + (dir / "check.py").string() + "' '" + (dir / "tags.bin").string() + "' 2>&1");
}

// A glyph that writes exactly `bytes` bytes: horizontal edges of 1 (10 bits each) and the end.
SwfShape* GlyphOf(uint32_t bytes) {
  auto* s = new SwfShape();
  const uint32_t bits = (bytes - 1) * 8;
  for (uint32_t i = 0; i < (bits - 6) / 10; ++i) s->AddRecord(new SwfStraightEdgeRecord(1, 0, kLineHorizontal));
  s->AddRecord(new SwfEndShapeRecord());
  return s;
}

}  // namespace

TEST(FontTextOracle, Font2OffsetsLeadToTheCodeTable) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  std::vector<std::pair<uint16_t, Bytes>> tags;
  for (uint32_t size : {65532u, 65531u}) {
    DefineFont2Tag font(L"Big", 1, kFontHasLayout | kFontWideCodes);
    font.AddGlyph('A', GlyphOf(size), 1024, new SwfRect(0, 0, 20, 20));
    font.SetMetrics(900, 100, 0);
    tags.emplace_back(48, Written(font, 6));
  }
  const std::string out = RunPython(R"(
for code, b in tags:
    flags = b[2]
    pos = 5 + b[4]
    count = struct.unpack_from('<H', b, pos)[0]; pos += 2
    wide = flags & 8
    fmt, w = ('<I', 4) if wide else ('<H', 2)
    table = pos
    offsets = [struct.unpack_from(fmt, b, table + i * w)[0] for i in range(count + 1)]
    assert offsets[0] == (count + 1) * w, offsets
    codes = table + offsets[count]
    print('wide' if wide else 'narrow', offsets[count], hex(struct.unpack_from('<H', b, codes)[0]))
)",
                                    Pack(tags));
  EXPECT_EQ(out, "wide 65540 0x41\nnarrow 65535 0x41\n");
}

TEST(FontTextOracle, TextBodiesFollowThePublishedRecordLayout) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  std::vector<std::pair<uint16_t, Bytes>> tags;
  // Style records with and without glyphs, colours of both sizes, offsets, negative advances,
  // and a run longer than one glyph record holds.
  for (uint16_t code : {11, 33}) {
    std::unique_ptr<DefineTextTag> t(code == 11 ? new DefineTextTag() : new DefineText2Tag());
    t->Setup(1, new SwfRect(-20, -40, 2000, 300), new SwfMatrix(), 0, 0);
    auto* s = new SwfTextRecord();
    s->SetFontId(1), s->SetTextHeight(240), s->SetOffset(0, 200);
    s->SetColor(code == 11 ? new SwfRgb(1, 2, 3) : new SwfRgba(1, 2, 3, 4));
    t->records.emplace_back(s);
    auto* g = new SwfGlyphRecord();
    for (int i = 0; i < 300; ++i) g->entries.push_back({static_cast<uint32_t>(i % 40), i % 7 == 0 ? -600 : 300});
    t->records.emplace_back(g);
    t->records.emplace_back(new SwfTextRecord(kTextHasXOffset));
    t->records.emplace_back(new SwfGlyphRecord());
    auto* s2 = new SwfTextRecord();
    s2->xOffset = 100;
    t->records.emplace_back(s2);
    auto* g2 = new SwfGlyphRecord();
    g2->entries.push_back({3, 0});
    t->records.emplace_back(g2);
    tags.emplace_back(code, Written(*t, 6));
  }
  const std::string out = RunPython(R"(
class Bits:
    def __init__(s, b, pos): s.b, s.bit = b, pos * 8
    def u(s, n):
        v = 0
        for _ in range(n):
            v = v << 1 | (s.b[s.bit // 8] >> (7 - s.bit % 8)) & 1
            s.bit += 1
        return v
    def s(s, n):
        v = s.u(n)
        return v - (1 << n) if n and v >> (n - 1) else v
    def pos(s): return (s.bit + 7) // 8
for code, b in tags:
    r = Bits(b, 2)
    n = r.u(5); [r.s(n) for _ in range(4)]
    pos = r.pos(); r = Bits(b, pos)
    if r.u(1): n = r.u(5); r.s(n); r.s(n)
    if r.u(1): n = r.u(5); r.s(n); r.s(n)
    n = r.u(5); r.s(n); r.s(n)
    pos = r.pos()
    gbits, abits = b[pos], b[pos + 1]; pos += 2
    styles = glyphs = 0
    while True:
        flags = b[pos]; pos += 1
        if flags == 0: break
        assert flags & 0x80, 'every record is a style record'
        styles += 1
        if flags & 8: pos += 2
        if flags & 4: pos += 3 if code == 11 else 4
        if flags & 1: pos += 2
        if flags & 2: pos += 2
        if flags & 8: pos += 2
        count = b[pos]; pos += 1
        r = Bits(b, pos)
        for _ in range(count): r.u(gbits); r.s(abits)
        glyphs += count
        pos = r.pos()
    assert pos == len(b), (pos, len(b))
    print(code, styles, glyphs)
)",
                                    Pack(tags));
  EXPECT_EQ(out, "11 5 301\n33 5 301\n");
}
