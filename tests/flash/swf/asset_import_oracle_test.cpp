// Judged by the browser player: characters of real movies, gathered by the asset importer and
// the tag index and renumbered into a movie of our own, play and draw where they were placed.
#include <gtest/gtest.h>

#include "SwfTestSupport.h"
#include "flash/swf/AssetImporter.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DrawingTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfMovieWriter.h"
#include "flash/swf/SwfTagIndex.h"
#include "flash/swf/TextTags.h"
#include "support/Player.h"

using namespace swftest;

namespace {

constexpr uint8_t kVersion = 6;

DoActionTag* Trace(const wchar_t* text, bool stop) {
  auto* tag = new DoActionTag(kVersion);
  tag->AddAction(new ActionPush(text));
  tag->AddAction(new ActionGeneric(0x26));
  if (stop) tag->AddAction(new ActionStop());
  return tag;
}

PlaceObject2Tag* Place(uint16_t id, uint16_t depth, int32_t x, int32_t y) {
  auto* p = new PlaceObject2Tag();
  p->SetCharacterId(id);
  p->depth = depth;
  auto* m = new SwfMatrix();
  m->translateX = x * 20, m->translateY = y * 20;
  p->SetMatrix(m);
  return p;
}

template <class T>
T* First(const std::vector<SwfTag*>& tags) {
  for (SwfTag* t : tags)
    if (auto* x = dynamic_cast<T*>(t)) return x;
  return nullptr;
}

// A box in stage pixels.
struct Box {
  int x0, y0, x1, y1;
};

Box Offset(const SwfRect& r, int x, int y) {
  return {x + r.xmin / 20, y + r.ymin / 20, x + (r.xmax + 19) / 20, y + (r.ymax + 19) / 20};
}

// A movie of our own: a white stage, a red square of id 1 at (0, 0), the given tags (kept by
// their owner) placed from depth 2, and a second frame that traces "main".
uint32_t WriteMovie(const std::filesystem::path& path, const std::vector<SwfTag*>& imported, uint16_t placeId,
                    int x, int y) {
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, 12, kVersion);
  if (!w.Open(PathOf(path), true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0xFF, 0xFF, 0xFF), false);
  auto* square = new DefineShapeTag();
  square->characterId = 1;
  square->BuildRectangle(0, 0, 50 * 20, 50 * 20, new SwfFillStyle(new SwfRgb(0xFF, 0, 0), false), nullptr);
  w.WriteTag(square, false);
  w.WriteTag(Place(1, 1, 0, 0), false);
  for (SwfTag* t : imported) w.WriteTag(t, true);
  w.WriteTag(Place(placeId, 2, x, y), false);
  w.WriteTag(new ShowFrameTag(), false);
  w.WriteTag(Trace(L"main", true), false);
  w.WriteTag(new ShowFrameTag(), false);
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

// For each box, the number of its pixels in the screenshot that are not white; then the colour
// at (25, 25).
std::string InkIn(const std::filesystem::path& png, const std::vector<Box>& boxes) {
  std::string program = "import sys\npng_path = sys.argv[1]\n" + std::string(testsupport::kPythonReadPng) + R"(
for box in sys.argv[2:]:
    x0, y0, x1, y1 = map(int, box.split(','))
    print(sum(px(x, y) != (255, 255, 255) for y in range(max(y0, 0), min(y1, h)) for x in range(max(x0, 0), min(x1, w))))
print('%d,%d,%d' % px(25, 25))
)";
  testsupport::ScratchDir dir;
  testsupport::WriteFile(dir / "ink.py", program);
  std::string cmd = "python3 '" + (dir / "ink.py").string() + "' '" + png.string() + "'";
  for (auto& b : boxes)
    cmd += " " + std::to_string(b.x0) + "," + std::to_string(b.y0) + "," + std::to_string(b.x1) + "," + std::to_string(b.y1);
  return testsupport::Run(cmd + " 2>&1");
}

struct OwnedTags {
  SwfReader reader;
  ~OwnedTags() { reader.ClearTags(true); }
};

}  // namespace

TEST(AssetImportPlayer, ImportedTemplatePartsPlayAndDrawWhereTheyWerePlaced) {
  SKIP_WITHOUT_CORPUS();
  SKIP_WITHOUT_PLAYER();
  if (!testsupport::HavePython()) GTEST_SKIP() << "python3 is not installed";
  OwnedTags fontMovie, buttonMovie;
  ASSERT_TRUE(fontMovie.reader.ReadAllTagsFromMemory(PathOf(testsupport::CorpusDir() / "swf/DefineFont-MX.swf"), true, 0, true));
  ASSERT_TRUE(buttonMovie.reader.ReadAllTagsFromMemory(PathOf(testsupport::CorpusDir() / "swf/DefineButton-MX.swf"), true, 0, true));

  // The template: the font, font info and text (ids 1 and 2) of one movie, the two shapes and
  // the button of the other moved to ids 11 to 13, and sprite 20 placing the text and the
  // button and tracing a text.
  std::vector<SwfTag*> templ;
  for (SwfTag* t : fontMovie.reader.tags)
    if (t->GetTagCode() == 10 || t->GetTagCode() == 13 || t->GetTagCode() == 11) templ.push_back(t);
  for (SwfTag* t : buttonMovie.reader.tags)
    if (t->GetTagCode() == 2 || t->GetTagCode() == 7) {
      t->ShiftIdsAndDepths(10, 0, 0);
      templ.push_back(t);
    }
  auto* text = First<DefineTextTag>(templ);
  auto* button = First<DefineButtonTag>(templ);
  ASSERT_TRUE(text && text->bounds && button);
  auto sprite = std::make_unique<DefineSpriteTag>(20, 0);
  sprite->AddTag(Trace(L"template sprite", true));
  sprite->AddTag(Place(2, 1, 0, 0));
  sprite->AddTag(Place(13, 2, 200, 0));
  sprite->AddTag(new ShowFrameTag());
  templ.push_back(sprite.get());
  std::unique_ptr<SwfTag> placed(Place(20, 1, 100, 100));
  templ.push_back(placed.get());

  AssetImporter importer;
  ASSERT_TRUE(importer.Import(sprite.get(), templ));
  std::vector<SwfTag*> imported;
  importer.AppendTo(imported, true);
  ASSERT_EQ(imported.size(), 7u);  // font, font info, text, two shapes, button, sprite
  // Ids after ours: our square is 1.
  ShiftTagIdsAndDepths(imported, 2, 0, 0);

  // The text of the first movie alone, by the tag index, shifted by 10.
  OwnedTags textMovie;
  ASSERT_TRUE(textMovie.reader.ReadAllTagsFromMemory(PathOf(testsupport::CorpusDir() / "swf/DefineFont-MX.swf"), true, 0, true));
  SwfTagIndex index;
  index.Build(textMovie.reader.tags);
  std::vector<SwfTag*> textOnly;
  index.ImportDefinition(2, textOnly);
  ASSERT_EQ(textOnly.size(), 3u);

  testsupport::ScratchDir dir;
  ASSERT_GT(WriteMovie(dir / "template.swf", imported, 22, 100, 100), 0u);
  ShiftTagIdsAndDepths(textOnly, 10, 0, 0);
  ASSERT_GT(WriteMovie(dir / "text.swf", textOnly, 12, 300, 250), 0u);

  testsupport::PlayerOptions options;
  options.shotDir = dir.str();
  options.counts = {2, 1};
  auto results = testsupport::RunInPlayer({dir / "template.swf", dir / "text.swf"}, options);
  ASSERT_EQ(results.size(), 2u);
  for (auto& r : results) {
    ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  }
  EXPECT_EQ(results[0].traces, (std::vector<std::string>{"template sprite", "main"}));
  EXPECT_EQ(results[1].traces, (std::vector<std::string>{"main"}));

  // Where the text, the button's up state and nothing at all stand.
  const Box textBox = Offset(*text->bounds, 100, 100);
  Box buttonBox{300, 100, 300, 100};
  for (auto& record : button->records)
    if (record->stateFlags & kButtonStateUp)
      if (auto* shape = dynamic_cast<DefineShapeTag*>(FindCharacterById(record->characterId, templ)); shape && shape->bounds) {
        Box b = Offset(*shape->bounds, 300, 100);
        buttonBox = {std::min(buttonBox.x0, b.x0), std::min(buttonBox.y0, b.y0), std::max(buttonBox.x1, b.x1),
                     std::max(buttonBox.y1, b.y1)};
      }
  const Box empty{450, 300, 550, 400};
  std::istringstream first(InkIn(dir / "0.png", {textBox, buttonBox, empty}));
  int textInk = 0, buttonInk = 0, emptyInk = -1;
  std::string square;
  first >> textInk >> buttonInk >> emptyInk >> square;
  EXPECT_GT(textInk, 0) << "the imported text is drawn where its sprite placed it";
  EXPECT_GT(buttonInk, 0) << "the imported button is drawn where its sprite placed it";
  EXPECT_EQ(emptyInk, 0);
  EXPECT_EQ(square, "255,0,0") << "our own character 1 is still ours";

  std::istringstream second(InkIn(dir / "1.png", {Offset(*text->bounds, 300, 250), {0, 100, 250, 400}}));
  int ink = 0, elsewhere = -1;
  second >> ink >> elsewhere;
  EXPECT_GT(ink, 0) << "the text imported by the index is drawn";
  EXPECT_EQ(elsewhere, 0);
}
