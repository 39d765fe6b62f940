#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DrawingTags.h"
#include "support/TestSupport.h"

using namespace swftest;

namespace {

template <class T>
std::function<std::unique_ptr<SwfObject>()> BlankWithAlpha(bool alpha) {
  return [alpha] {
    auto o = std::make_unique<T>();
    o->alpha = alpha ? 1 : 0;
    return std::unique_ptr<SwfObject>(std::move(o));
  };
}

SwfGradient* TwoColours(bool alpha) {
  auto* g = new SwfGradient();
  g->alpha = alpha;
  for (int i = 0; i < 2; ++i) {
    auto* r = new SwfGradientRecord();
    r->alpha = alpha;
    r->ratio = static_cast<uint8_t>(i * 255);
    r->color = CopySwfColor(nullptr, alpha);
    r->color->Set(i ? 0 : 255, 0, i ? 255 : 0);
    g->records.emplace_back(r);
  }
  return g;
}

SwfFillStyle* BitmapFill(uint8_t type, uint16_t id) {
  auto* f = new SwfFillStyle();
  f->fillType = type;
  f->bitmapId = id;
  f->matrix = std::make_unique<SwfMatrix>();
  return f;
}

// The real DefineShape.swf body: a 400-twip square filled red, without a move.
void RedSquare(DefineShapeTag& t) {
  t.characterId = 1;
  t.bounds = std::make_unique<SwfRect>(0, 0, 400, 400);
  t.shape = std::make_unique<SwfShapeWithStyle>(false);
  SwfShapeWithStyle& s = *t.shape;
  s.fillStyles = std::make_unique<SwfFillStyleArray>(false);
  s.fillStyles->Append(new SwfFillStyle(new SwfRgb(255, 0, 0), false));
  s.lineStyles = std::make_unique<SwfLineStyleArray>(false);
  auto* r = new SwfStyleChangeRecord(kStyleChangeFill1, &s);
  r->SetFillStyle(1, true);
  s.AddRecord(r);
  s.AddRecord(new SwfStraightEdgeRecord(400, 0, kLineHorizontal));
  s.AddRecord(new SwfStraightEdgeRecord(0, 400, kLineVertical));
  s.AddRecord(new SwfStraightEdgeRecord(-400, 0, kLineHorizontal));
  s.AddRecord(new SwfStraightEdgeRecord(0, -400, kLineVertical));
  s.AddRecord(new SwfEndShapeRecord());
}

std::unique_ptr<SwfTag> ReadTag(const Bytes& bytes, uint8_t version = 8) {
  SwfReader r;
  Load(r, bytes, version);
  return std::unique_ptr<SwfTag>(r.ReadNextTag());
}

}  // namespace

TEST(ShapeTags, RoundTrip) {
  const RoundTrip cases[] = {
      {"gradient record RGB", 8, MadeBy<SwfGradientRecord>([](auto& r) {
         r.ratio = 0x80, r.color = std::make_unique<SwfRgb>(1, 2, 3);
       }),
       "80 01 02 03", Kind::kRecord, BlankWithAlpha<SwfGradientRecord>(false)},
      {"gradient record RGBA", 8, MadeBy<SwfGradientRecord>([](auto& r) {
         r.alpha = 1, r.ratio = 0x80, r.color = std::make_unique<SwfRgba>(1, 2, 3, 4);
       }),
       "80 01 02 03 04", Kind::kRecord, BlankWithAlpha<SwfGradientRecord>(true)},
      {"solid fill RGBA", 8, MadeBy<SwfFillStyle>([](auto& f) { f.InitSolid(new SwfRgba(255, 0, 0, 128), true); }),
       "00 FF 00 00 80", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(true)},
      {"linear gradient RGB", 8, MadeBy<SwfFillStyle>([](auto& f) {
         f.fillType = kFillLinearGradient, f.matrix = std::make_unique<SwfMatrix>(), f.gradient.reset(TwoColours(false));
       }),
       "10 00 02 00 FF 00 00 FF 00 00 FF", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(false)},
      {"radial gradient RGBA, scaled", 8, MadeBy<SwfFillStyle>([](auto& f) {
         f.alpha = 1, f.fillType = kFillRadialGradient, f.matrix = std::make_unique<SwfMatrix>();
         f.matrix->SetUnitScale();
         f.gradient.reset(TwoColours(true));
       }),
       "12 C9 00 00 40 00 00 02 00 FF 00 00 FF FF 00 00 FF FF", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(true)},
      {"repeating bitmap", 8, MadeBy<SwfFillStyle>([](auto& f) { f = *std::unique_ptr<SwfFillStyle>(BitmapFill(0x40, 7)); }),
       "40 07 00 00", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(false)},
      {"clipped bitmap", 8, MadeBy<SwfFillStyle>([](auto& f) { f = *std::unique_ptr<SwfFillStyle>(BitmapFill(0x41, 7)); }),
       "41 07 00 00", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(false)},
      {"repeating bitmap, hard edges", 8,
       MadeBy<SwfFillStyle>([](auto& f) { f = *std::unique_ptr<SwfFillStyle>(BitmapFill(0x42, 7)); }), "42 07 00 00",
       Kind::kRecord, BlankWithAlpha<SwfFillStyle>(false)},
      {"clipped bitmap, hard edges", 8,
       MadeBy<SwfFillStyle>([](auto& f) { f = *std::unique_ptr<SwfFillStyle>(BitmapFill(0x43, 0xFFFF)); }),
       "43 FF FF 00", Kind::kRecord, BlankWithAlpha<SwfFillStyle>(false)},
      {"line style", 8, MadeBy<SwfLineStyle>([](auto& l) { l.width = 20, l.color = std::make_unique<SwfRgb>(0, 0, 255); }),
       "14 00 00 00 FF", Kind::kRecord, BlankWithAlpha<SwfLineStyle>(false)},
      {"empty fill array", 8, MadeBy<SwfFillStyleArray>([](auto&) {}), "00", Kind::kRecord, Blank<SwfFillStyleArray>()},
      // A move to (10, -4), a general edge (3, 0) of n 3, a curve (1, 2, 3, 4) of n 4, end.
      {"shape records", 8, MadeBy<SwfShape>([](auto& s) {
         auto* m = new SwfStyleChangeRecord(10, -4, &s);
         m->UpdateFlags();
         s.AddRecord(m);
         s.AddRecord(new SwfStraightEdgeRecord(3, 0, kLineGeneral));
         s.AddRecord(new SwfCurvedEdgeRecord(1, 2, 3, 4));
         s.AddRecord(new SwfEndShapeRecord());
       }),
       "00 04 AA E6 36 22 12 34 00", Kind::kRecord, Blank<SwfShape>()},
      {"horizontal edge of 100", 8, MadeBy<SwfShape>([](auto& s) {
         s.AddRecord(new SwfStraightEdgeRecord(100, 0, kLineHorizontal));
         s.AddRecord(new SwfEndShapeRecord());
       }),
       "00 D8 64 00", Kind::kRecord, Blank<SwfShape>()},
      {"DefineShape of a Flash movie", 8, MadeBy<DefineShapeTag>(RedSquare),
       "9A 00 01 00 50 00 C8 00 0C 80 01 00 FF 00 00 00 10 13 C0 C8 70 B2 1C 13 87 0C E0 00"},
      {"DefineShape2", 8, MadeBy<DefineShape2Tag>(RedSquare),
       "9A 05 01 00 50 00 C8 00 0C 80 01 00 FF 00 00 00 10 13 C0 C8 70 B2 1C 13 87 0C E0 00"},
      {"DefineShape3: RGBA fill, RGBA line", 8, MadeBy<DefineShape3Tag>([](auto& t) {
         RedSquare(t);
         t.shape->alpha = 1;
         t.shape->fillStyles->styles[0]->InitSolid(new SwfRgba(255, 0, 0, 128), true);
         t.shape->lineStyles->Append(new SwfLineStyle(20, new SwfRgba(0, 0, 255, 255), true));
         auto& r = static_cast<SwfStyleChangeRecord&>(*t.shape->records[0]);
         r.SetLineStyle(1);
         r.UpdateFlags();
       }),
       "21 08 01 00 50 00 C8 00 0C 80 01 00 FF 00 00 80 01 14 00 00 00 FF FF 11 33 E0 64 38 59 0E 09 C3 86 70 00"},
  };
  for (const auto& c : cases) {
    ExpectRoundTrip(c);
    // A copy is deep and keeps each colour's kind: it writes the same bytes.
    auto made = c.make();
    if (auto* tag = dynamic_cast<DefineShape3Tag*>(made.get())) {
      DefineShape3Tag copy(*tag);
      EXPECT_EQ(ToHex(Written(copy, 8)), ToHex(Hex(c.hex))) << c.name;
    }
  }
}

TEST(ShapeTags, StyleArrayCountTakesTheLongFormFrom255) {
  const std::pair<int, std::string> cases[] = {{254, "FE"}, {255, "FF FF 00"}, {300, "FF 2C 01"}};
  for (const auto& [n, prefix] : cases) {
    SwfLineStyleArray lines(false);
    for (int i = 0; i < n; ++i) lines.Append(new SwfLineStyle(1, new SwfRgb(), false));
    const Bytes bytes = Written(lines, 8);
    EXPECT_EQ(ToHex(Bytes(bytes.begin(), bytes.begin() + (n < 255 ? 1 : 3))), ToHex(Hex(prefix)));
    EXPECT_EQ(bytes.size(), (n < 255 ? 1u : 3u) + 5u * n);
    SwfReader r;
    Load(r, bytes, 8);
    SwfLineStyleArray back(false);
    back.Read(r);
    EXPECT_EQ(back.count, n);
    EXPECT_EQ(r.GetPosition(), bytes.size());
  }
}

// A count byte cannot announce more than 255 records: the first 255 go out with count 255.
TEST(ShapeTags, GradientOfMoreThan255RecordsWritesItsFirst255) {
  SwfGradient g;
  for (int i = 0; i < 300; ++i) g.records.push_back(std::make_unique<SwfGradientRecord>());
  const Bytes bytes = Written(g, 8);
  ASSERT_EQ(bytes.size(), 1u + 255 * 4);
  EXPECT_EQ(bytes[0], 255);
  EXPECT_EQ(ToHex(Bytes(bytes.begin() + 1, bytes.begin() + 5)), "00 00 00 00");  // black
}

// Fill types without a known size (a focal gradient, or any other byte) and records that run
// past the tag's end: the body is kept as read, only the id moves.
TEST(ShapeTags, ShapesThatCannotBeFollowedKeepTheirBodyAsRead) {
  const std::string square = "10 13 C0 C8 70 B2 1C 13 87 0C E0 00";
  const std::string bodies[] = {
      // DefineShape3 with a focal gradient: matrix, two RGBA records, focal point 0.5.
      "00 01 13 00 02 00 FF 00 00 FF FF 00 00 FF FF 00 80 00 " + square,
      "00 01 37 00 " + square,
      "50 00 C8 00 0C 80 01 00 FF 00 00 00 00 10 13 C0 C8 70 B2",
  };
  for (const auto& rest : bodies) {
    SCOPED_TRACE(rest);
    const Bytes body = Hex("05 00 " + rest);
    Bytes file;
    BuildTagHeader(file, 32, static_cast<uint32_t>(body.size()), false);
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), {0x40, 0x00});  // a ShowFrame behind it
    SwfReader r;
    Load(r, file, 8);
    std::unique_ptr<SwfTag> tag(r.ReadNextTag());
    auto* shape = dynamic_cast<DefineShape3Tag*>(tag.get());
    ASSERT_NE(shape, nullptr);
    EXPECT_TRUE(shape->keptAsRead);
    std::unique_ptr<SwfTag> next(r.ReadNextTag());
    EXPECT_EQ(next->GetTagCode(), 1);
    shape->ShiftIdsAndDepths(5, 0, 0);
    Bytes expected(file.begin(), file.end() - 2);
    expected[expected.size() - body.size()] = 10;
    EXPECT_EQ(ToHex(Written(*shape, 8)), ToHex(expected));
    DefineShape3Tag copy(*shape);
    EXPECT_EQ(ToHex(Written(copy, 8)), ToHex(expected));
  }
}

// Six zero bits end a shape: a record that only moves the pen to (0, 0) must not write them,
// and the new-styles flag without arrays must not promise arrays.
TEST(ShapeTags, StyleChangesWithNothingToSayStillKeepTheShapeGoing) {
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  auto* tag = new DefineShapeTag();
  tag->characterId = 1;
  tag->bounds = std::make_unique<SwfRect>(0, 0, 2000, 2000);
  tag->shape = std::make_unique<SwfShapeWithStyle>(false);
  SwfShapeWithStyle& s = *tag->shape;
  s.fillStyles = std::make_unique<SwfFillStyleArray>(false);
  s.fillStyles->Append(new SwfFillStyle(new SwfRgb(0, 0, 0), false));
  auto triangle = [&](SwfStyleChangeRecord* start) {
    s.AddRecord(start);
    s.AddRecord(new SwfStraightEdgeRecord(1000, 0, kLineHorizontal));
    s.AddRecord(new SwfStraightEdgeRecord(-500, 800, kLineGeneral));
    s.AddRecord(new SwfStraightEdgeRecord(-500, -800, kLineGeneral));
  };
  auto* first = new SwfStyleChangeRecord(500, 500, &s);
  first->SetFillStyle(1, false);
  first->UpdateFlags();
  triangle(first);
  auto* second = new SwfStyleChangeRecord(uint8_t{0}, &s);
  second->InitMoveTo(0, 0, &s);
  second->UpdateFlags();
  ASSERT_EQ(second->flags, 0);
  triangle(second);
  auto* third = new SwfStyleChangeRecord(uint8_t{0x11}, &s);
  third->InitMoveTo(100, 100, &s);
  triangle(third);
  s.AddRecord(new SwfEndShapeRecord());

  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "m.swf", MovieBytes(8, {tag, new ShowFrameTag(), new EndTag()}));
  // An independent walker of the written tag: edges per contour.
  const std::string out = testsupport::Python(
      "b = open('" + (dir / "m.swf").string() + "', 'rb').read()\n"
      "p = 8 + (5 + 4 * (b[8] >> 3) + 7) // 8 + 4\n"
      "p += 2 + (4 if b[p] & 63 == 63 else 0) + 2\n"
      "bit = p * 8\n"
      "def bits(n):\n"
      "    global bit\n"
      "    v = 0\n"
      "    for _ in range(n): v, bit = v << 1 | b[bit >> 3] >> (7 - bit % 8) & 1, bit + 1\n"
      "    return v\n"
      "bits(4 * bits(5)); bit = (bit + 7) // 8 * 8 + 6 * 8\n"  // bounds, one fill, no line
      "fb, lb = bits(4), bits(4); contours = []\n"
      "while True:\n"
      "    if bits(1):\n"
      "        if bits(1): n = bits(4) + 2; bits(2 * n if bits(1) else 1 + n)\n"
      "        else: bits(4 * (bits(4) + 2))\n"
      "        contours[-1] += 1\n"
      "        continue\n"
      "    f = bits(5)\n"
      "    if f == 0: break\n"
      "    assert not f & 16\n"
      "    if f & 1: bits(2 * bits(5))\n"
      "    bits(fb * ((f >> 1 & 1) + (f >> 2 & 1)) + lb * (f >> 3 & 1)); contours.append(0)\n"
      "print(contours)\n");
  EXPECT_EQ(out, "[3, 3, 3]\n");
  const std::string movie = testsupport::ReadFile(dir / "m.swf");
  SwfReader r;
  Load(r, Bytes(movie.begin(), movie.end()), 8);
  r.header.Read(r, true);
  std::unique_ptr<SwfTag> back(r.ReadNextTag());
  auto* shape = dynamic_cast<DefineShapeTag*>(back.get());
  ASSERT_TRUE(shape && shape->shape);
  std::string kinds;
  for (auto& rec : shape->shape->records) kinds += std::to_string(rec->GetRecordType());
  ASSERT_EQ(kinds, "1222122212224");
  auto* moved = static_cast<SwfStyleChangeRecord*>(shape->shape->records[8].get());
  EXPECT_EQ(moved->flags, kStyleChangeMove) << "a plain move, no new styles";
  EXPECT_EQ(moved->moveX, 100);

}

// Deltas beyond the widest field: the outline is the same, in pieces that fit.
TEST(ShapeTags, LongEdgesAreSplitAlongTheSameOutline) {
  DefineShapeTag tag;
  tag.BuildRectangle(0, 0, 80000, 2000, new SwfFillStyle(new SwfRgb(1, 2, 3), false), nullptr);
  auto& records = tag.shape->records;
  records.insert(records.end() - 1, std::make_unique<SwfCurvedEdgeRecord>(70001, -3, 70000, 150000));
  const Bytes bytes = Written(tag, 8);
  auto back = ReadTag(bytes);
  auto* shape = dynamic_cast<DefineShapeTag*>(back.get());
  ASSERT_TRUE(shape && shape->shape);
  int64_t x = 0, y = 0, widest = 0, edges = 0;
  for (auto& r : shape->shape->records) {
    int64_t d[4] = {};
    if (auto* e = dynamic_cast<SwfStraightEdgeRecord*>(r.get())) d[0] = e->dx, d[1] = e->dy, ++edges;
    if (auto* c = dynamic_cast<SwfCurvedEdgeRecord*>(r.get()))
      d[0] = c->controlDx, d[1] = c->controlDy, d[2] = c->anchorDx, d[3] = c->anchorDy;
    x += d[0] + d[2], y += d[1] + d[3];
    for (int64_t v : d) widest = std::max(widest, std::abs(v));
  }
  EXPECT_EQ(edges, 6);
  EXPECT_LE(widest, kMaxEdgeDelta);
  EXPECT_EQ(x, 140001);
  EXPECT_EQ(y, 149997);
}

TEST(ShapeTags, ShiftingIdsMovesBitmapFillsOnly) {
  DefineShapeTag tag;
  tag.BuildRectangle(0, 0, 100, 100, BitmapFill(0x41, 7), nullptr);
  tag.shape->fillStyles->Append(BitmapFill(0x40, 0xFFFF));
  tag.shape->fillStyles->Append(new SwfFillStyle(new SwfRgb(), false));
  auto* restyle = new SwfStyleChangeRecord(uint8_t{0}, tag.shape.get());
  restyle->newFillStyles = std::make_unique<SwfFillStyleArray>(false);
  restyle->newFillStyles->Append(BitmapFill(0x43, 7));
  restyle->UpdateFlags();
  tag.shape->records.insert(tag.shape->records.end() - 1, std::unique_ptr<SwfShapeRecord>(restyle));
  tag.characterId = 3;
  tag.ShiftIdsAndDepths(5, 9, 0);
  EXPECT_EQ(tag.characterId, 8);
  EXPECT_EQ(tag.shape->fillStyles->styles[0]->bitmapId, 12);
  EXPECT_EQ(tag.shape->fillStyles->styles[1]->bitmapId, 0xFFFF);
  EXPECT_EQ(tag.shape->fillStyles->styles[2]->bitmapId, 0xFFFF);
  EXPECT_EQ(restyle->newFillStyles->styles[0]->bitmapId, 12);
  // Copied and written again: the same bytes, new styles included.
  DefineShapeTag copy(tag);
  EXPECT_EQ(ToHex(Written(copy, 8)), ToHex(Written(tag, 8)));
}
