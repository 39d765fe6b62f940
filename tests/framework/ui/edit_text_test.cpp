#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui/EditText.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

class FieldWindow : public WindowBase {
 public:
  int changed = 0;
  bool OnControlChanged(ControlRef, ControlRef) override {
    ++changed;
    return true;
  }
};

class EditTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.CreateWindow(0, 0, 400, 300, kWindowFlagShow, WindowRef{}));
    ASSERT_TRUE(field_.Create(&window_, FourCC("eFld"), Rect{10, 10, 30, 200}, L""));
    ASSERT_TRUE(other_.Create(&window_, FourCC("eOth"), Rect{40, 10, 60, 200}, L""));
  }
  TestDriver driver_;
  FieldWindow window_;
  EditText field_;
  EditText other_;
};

int commits = 0;
void CountCommit(EditText*, void*) { ++commits; }

}  // namespace

TEST_F(EditTextTest, InputModesAdmitTheirCharacters) {
  const std::wstring longNumber = std::wstring(35, L'1') + L"." + std::wstring(4, L'2');
  struct Case {
    int mode;
    std::wstring text;
    int selStart, selEnd;
    char32_t c;
    bool passes;
  } cases[] = {
      {6, L"1.5", 3, 3, '.', false},
      {6, L"1.5", 1, 3, '.', true},   // the selected "." is replaced
      {6, L"1.5", 0, 1, '.', false},
      {6, longNumber, 40, 40, '.', false},  // a "." far into the text still counts
      {5, L"-1-", 1, 1, '-', true},
      {6, L"1", 1, 1, '-', false},
      {7, L"", 0, 0, '_', true},
      {7, L"", 0, 0, 'a', true},
      {7, L"", 0, 0, '1', false},
      {7, L"a", 1, 1, '1', true},
      {7, L"a", 1, 1, U'é', false},  // letters are ASCII letters
      {4, L"", 0, 0, U'٣', false},   // digits are 0 to 9
      {2, L"", 0, 0, 30, false},     // up arrow
      {4, L"", 0, 0, 31, false},     // down arrow
      {4, L"12", 1, 1, 8, true},     // backspace
      {0, L"", 0, 0, 30, true},
      {9, L"", 0, 0, '%', true},
  };
  for (const Case& c : cases) {
    field_.SetInputMode(c.mode);
    field_.SetText(c.text, false);
    SetEditTextSelection(field_.GetControl(), c.selStart, c.selEnd);
    bool passed = false;
    EXPECT_EQ(TypeCharacter(field_.GetControl(), c.c, &passed), kNoErr);
    EXPECT_EQ(passed, c.passes) << "mode " << c.mode << " char " << static_cast<int>(c.c);
  }
}

TEST_F(EditTextTest, ReturnAndTabCommitToTheLatestCallback) {
  field_.NotifyOwnerOnCommit(&window_);
  TypeCharacter(field_.GetControl(), 13);
  EXPECT_EQ(window_.changed, 1);  // the default commit tells the owner
  field_.SetCommitCallback(CountCommit, nullptr);
  commits = 0;
  SetKeyboardFocus(window_.GetWindow(), field_.GetControl());
  PressKey(window_.GetWindow(), kTabKeyCode);
  EXPECT_EQ(commits, 1);
  EXPECT_EQ(window_.changed, 1);
  EXPECT_EQ(GetKeyboardFocus(window_.GetWindow()), other_.GetControl());  // Tab still moves on
  field_.SetText(L"ab", false);
  SetEditTextSelection(field_.GetControl(), 2, 2);
  bool passed = true;
  TypeCharacter(field_.GetControl(), 13, &passed);
  EXPECT_FALSE(passed);
  EXPECT_EQ(commits, 2);
  field_.SetAcceptReturn(true);
  TypeCharacter(field_.GetControl(), 13, &passed);
  EXPECT_TRUE(passed);
  EXPECT_EQ(field_.GetText(), L"ab");
}

TEST_F(EditTextTest, TextAndNumbersInAndOut) {
  struct { double value; int width, precision; const wchar_t* shown; } doubles[] = {
      {3.14159, 0, 2, L"3.14"}, {2.75, 4, 0, L"   3"}, {1.5, 6, 2, L"  1.50"}, {0.25, 0, 0, L"0.250000"}};
  for (auto d : doubles) {
    EXPECT_TRUE(field_.SetDouble(d.value, d.width, d.precision, true));
    EXPECT_EQ(field_.GetText(), d.shown);
  }
  struct { const wchar_t* text; std::int32_t value; } ints[] = {
      {L"12abc", 12}, {L"", 0}, {L"3000000000", 2147483647}, {L"-3000000000", -2147483647 - 1}, {L"x", 0}};
  for (auto i : ints) {
    field_.SetText(i.text, false);
    EXPECT_EQ(field_.GetInt(), i.value) << i.text;
  }
  field_.SetText(L"abc", false);
  EXPECT_EQ(field_.GetDouble(), 0.0);
  EXPECT_TRUE(field_.SetInt(-42, false));
  EXPECT_EQ(field_.GetText(), L"-42");
  EXPECT_TRUE(field_.SetTextF(false, L"%ls", std::wstring(600, L'y').c_str()));
  EXPECT_EQ(field_.GetText().size(), 600u);
  EXPECT_FALSE(field_.SetTextF(false, L"%s", "caf\xc3\xa9"));  // unconvertible: unchanged
  EXPECT_EQ(field_.GetText().size(), 600u);
  wchar_t buffer[5];
  EXPECT_EQ(field_.GetText(buffer, 5), 4);
  EXPECT_EQ(std::wstring(buffer), L"yyyy");
  const unsigned char raw[] = {4, 'G', 'e', 'n', 0xE8};
  EXPECT_TRUE(field_.SetTextRaw(raw, false));
  EXPECT_EQ(field_.GetText(), L"Genè");
  TypeText(field_.GetControl(), L"!");
  EXPECT_EQ(field_.GetText(), L"Genè!");
  EditText empty;
  EXPECT_EQ(empty.GetText(buffer, 5), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_FALSE(empty.SetText(L"x", true));
  EXPECT_EQ(empty.GetInt(), 0);
}
