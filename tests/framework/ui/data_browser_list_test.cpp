#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/platform/WideText.h"
#include "framework/ui/DataBrowserList.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.CreateWindow(0, 0, 400, 300, kWindowFlagShow, WindowRef{}));
    ASSERT_TRUE(list_.Create(&window_, FourCC("lFil"), Rect{10, 10, 200, 300}));
  }
  int AddRow(int row, const wchar_t* text, std::uint32_t data = 0) {
    ListItemRecord r;
    r.mask = kListMaskText | kListMaskData;
    r.row = row;
    r.text = const_cast<wchar_t*>(text);
    r.data = data;
    return list_.AddRows(r);
  }
  std::wstring Cell(int row, int column) {
    wchar_t buffer[400];
    ListItemRecord r;
    r.mask = kListMaskText;
    r.row = row;
    r.column = column;
    r.text = buffer;
    r.textMax = 400;
    return list_.GetRowCells(r) ? buffer : L"<none>";
  }
  int AddColumn(int position, const wchar_t* title, std::int32_t number = 0) {
    ListColumnRecord c;
    c.mask = kListColumnTitle;
    c.title = title;
    c.titleNumber = number;
    return list_.AddColumn(position, c);
  }
  std::vector<std::wstring> Headers() {
    std::vector<std::wstring> out;
    for (const DataBrowserColumn& c : GetDataBrowserColumns(list_.GetControl())) out.push_back(c.title);
    return out;
  }
  TestDriver driver_;
  WindowBase window_;
  DataBrowserList list_;
};

}  // namespace

TEST_F(ListTest, RowsAndColumnsInsertedAnywhere) {
  EXPECT_EQ(AddRow(0, L"b"), 0);
  EXPECT_EQ(list_.GetCellText(1, 2), nullptr);  // one cell before any column
  EXPECT_EQ(AddColumn(5, L"Name"), 0);
  EXPECT_NE(list_.GetCellText(1, 1), nullptr);
  EXPECT_EQ(list_.GetCellText(1, 2), nullptr);
  EXPECT_EQ(AddRow(-1, L"c"), 1);
  EXPECT_EQ(AddRow(99, L"d"), 2);
  EXPECT_EQ(AddRow(0, L"a"), 0);
  EXPECT_EQ(Cell(0, 0) + Cell(1, 0) + Cell(2, 0) + Cell(3, 0), L"abcd");
  EXPECT_EQ(AddColumn(1, L"Size"), 1);
  EXPECT_EQ(AddColumn(0, L"Kind"), 0);  // every row gets a new empty first cell
  EXPECT_EQ(Cell(2, 0), L"");
  EXPECT_EQ(Cell(2, 1), L"c");
  EXPECT_EQ(Cell(4, 0), L"<none>");
  EXPECT_EQ(list_.GetCount(), 4);
  // A short buffer takes what fits; no buffer still gives the data.
  ListItemRecord r;
  r.mask = kListMaskText | kListMaskData;
  r.row = 1;
  r.column = 1;
  r.text = const_cast<wchar_t*>(L"0123456789");
  EXPECT_TRUE(list_.SetRowCells(r));
  wchar_t small[4] = {L'?', L'?', L'?', L'?'};
  r.text = small;
  r.textMax = 4;
  r.data = 0;
  EXPECT_TRUE(list_.GetRowCells(r));
  EXPECT_EQ(std::wstring(small), L"012");
  r.text = nullptr;
  r.data = 7;
  EXPECT_TRUE(list_.GetRowCells(r));
  EXPECT_EQ(r.data, 0u);
  EXPECT_TRUE(list_.RemoveAllRows());
  EXPECT_EQ(list_.GetCount(), 0);
}

TEST_F(ListTest, TitlesShowPercentSignsAndSurviveRebuilds) {
  const std::wstring long300(300, L't');
  AddColumn(9, L"%s");
  AddColumn(9, L"%d%%");
  AddColumn(9, long300.c_str());
  AddColumn(9, L"100%%");
  WideText numbered(101);
  ASSERT_GT(numbered.Length(), 0u);
  AddColumn(9, nullptr, 101);
  EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"%s", L"%d%", long300, L"100%",
                                                  ColumnTitleText(numbered.CStr())}));
  AddColumn(0, L"First");  // rebuilds every column from the stored titles
  EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"First", L"%s", L"%d%%", long300, L"100%%",
                                                  numbered.CStr()}));
}

TEST_F(ListTest, CompareIsAnOrderingAndSelectionsAreAnnounced) {
  for (const wchar_t* t : {L"pear", L"apple", L"fig"}) AddRow(99, t);
  AddColumn(0, L"Fruit");
  ListItemRecord r;
  r.mask = kListMaskText;
  r.row = 2;
  r.text = nullptr;  // a cell without text compares as empty
  list_.SetRowCells(r);
  // Items 1..3 exist; 4 and 9 are past the rows.
  const std::vector<DataBrowserItemID> items = {1, 2, 3, 4, 9};
  for (auto a : items) {
    EXPECT_FALSE(list_.Compare(a, a, 1));
    for (auto b : items) {
      EXPECT_FALSE(list_.Compare(a, b, 1) && list_.Compare(b, a, 1)) << a << " " << b;
      for (auto c : items)
        if (list_.Compare(a, b, 1) && list_.Compare(b, c, 1)) {
          EXPECT_TRUE(list_.Compare(a, c, 1));
        }
    }
  }
  EXPECT_TRUE(list_.Compare(9, 1, 1));
  EXPECT_FALSE(list_.Compare(1, 9, 1));
  EXPECT_FALSE(list_.Compare(4, 9, 1));
  EXPECT_EQ(SortDataBrowser(list_.GetControl(), 1), kNoErr);
  EXPECT_EQ(GetDataBrowserItemsInOrder(list_.GetControl()), (std::vector<DataBrowserItemID>{3, 2, 1}));
  EXPECT_EQ(GetDataBrowserCellText(list_.GetControl(), 2, 1), L"apple");

  std::vector<int> heard;
  static std::vector<int>* sink;
  sink = &heard;
  list_.selectionSignal.Connect(new FunctionSlot<ListItemRecord*>([](ListItemRecord* rec) {
    sink->push_back(rec ? rec->row * 10 + rec->column : -1);
  }));
  AddRow(99, L"kiwi");
  EXPECT_EQ(SelectDataBrowserItemByUser(list_.GetControl(), 4), kNoErr);
  EXPECT_EQ(heard, std::vector<int>{30});  // row 3, column 0
  EXPECT_EQ(list_.GetSelectedRow(), 3);
  list_.Notification(12, kDataBrowserItemSelected);
  EXPECT_EQ(heard.back(), -1);
  EXPECT_TRUE(list_.SelectRow(1, true));
  EXPECT_EQ(list_.GetSelectedRow(), 1);
  EXPECT_TRUE(list_.SelectRow(1, false));
  EXPECT_EQ(list_.GetSelectedRow(), -1);
  EXPECT_EQ(list_.ItemData(1, 1, true, nullptr), kDataBrowserPropertyNotSupported);
}
