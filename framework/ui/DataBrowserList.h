#pragma once
// A multi-column list of text rows. The wrapper keeps the whole table (columns, and rows of
// cells with a text and a 32-bit data value); the toolbox's list view only asks it for cell
// texts, sorts with its compare and reports selections, which listeners hear through
// selectionSignal.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/platform/Signal.h"
#include "framework/ui/ControlBase.h"

struct ListColumnRecord {
  std::uint32_t mask = 0;    // 0x10: a title is given; 0x20: width is given
  std::uint32_t format = 0;  // 0x20: right-justify the title when the columns are rebuilt
  std::int32_t width = 0;    // low 16 bits: maximum width; 100 when not given
  const wchar_t* title = nullptr;
  std::int32_t titleNumber = 0;  // the numbered text used when title is null
};

struct ListItemRecord {
  std::uint32_t mask = 0;  // 0x1: text; 0x10: data
  std::int32_t row = 0;
  std::int32_t column = 0;
  std::uint32_t state = 0;
  std::uint32_t stateMask = 0;
  wchar_t* text = nullptr;
  std::int32_t textMax = 0;  // characters of `text`, terminator included
  std::int32_t image = 0;
  std::uint32_t data = 0;
};

inline constexpr std::uint32_t kListMaskText = 0x1;
inline constexpr std::uint32_t kListMaskData = 0x10;
inline constexpr std::uint32_t kListColumnTitle = 0x10;
inline constexpr std::uint32_t kListColumnWidth = 0x20;
inline constexpr std::uint32_t kListFormatRight = 0x20;

struct DataBrowserCell {
  std::optional<std::wstring> text;
  std::uint32_t data = 0;
};

struct DataBrowserRow {
  int index = 0;  // 1-based position
  std::vector<DataBrowserCell> cells;
};

struct DataBrowserColumnInfo {
  std::uint32_t mask = 0;
  std::uint32_t format = 0;
  std::int32_t width = 0;
  int index = 0;
  std::optional<std::wstring> title;  // the title's text as given (numbered texts too)
};

class DataBrowserList : public ControlBase {
 public:
  ~DataBrowserList() override;
  using ControlBase::Create;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds);
  bool InstallHandlers() override;

  int AddColumn(int position, const ListColumnRecord& column);
  int AddRows(const ListItemRecord& item);
  bool SetRowCells(const ListItemRecord& item);
  // Copies at most textMax - 1 characters and a terminator into `text`; no text at all when
  // `text` is null or textMax is 0 or less (the data is still given).
  bool GetRowCells(ListItemRecord& item);
  bool RemoveAllRows();
  bool SelectRow(int row, bool select);
  bool ClearSelection();
  int GetSelectedRow();
  int GetCount();
  const DataBrowserCell* GetCellText(int row, int column);  // both 1-based
  void RefreshAll();
  int ColumnCount() const { return static_cast<int>(columns.size()); }
  int RowCount() const { return static_cast<int>(rows.size()); }

  // What the list view calls.
  toolbox::OSStatus ItemData(toolbox::DataBrowserItemID item, toolbox::DataBrowserPropertyID property,
                             bool set, std::wstring* text);
  bool Compare(toolbox::DataBrowserItemID a, toolbox::DataBrowserItemID b,
               toolbox::DataBrowserPropertyID property);
  void Notification(toolbox::DataBrowserItemID item, std::uint32_t message);

  Signal<ListItemRecord*> selectionSignal;

 private:
  toolbox::DataBrowserColumn Describe(const DataBrowserColumnInfo& column, int property) const;
  bool RebuildColumns();

  std::vector<std::unique_ptr<DataBrowserColumnInfo>> columns;
  std::vector<std::unique_ptr<DataBrowserRow>> rows;
};

// A title as the header shows it: each "%%" becomes "%", everything else stays.
std::wstring ColumnTitleText(const std::wstring& title);
