#include "framework/ui/DataBrowserList.h"

#include <algorithm>

#include "framework/ui/WindowBase.h"

using namespace toolbox;

std::wstring ColumnTitleText(const std::wstring& title) {
  std::wstring out;
  out.reserve(title.size());
  for (std::size_t i = 0; i < title.size(); ++i) {
    out.push_back(title[i]);
    if (title[i] == L'%' && i + 1 < title.size() && title[i + 1] == L'%') ++i;
  }
  return out;
}

DataBrowserList::~DataBrowserList() { RemoveAllRows(); }

bool DataBrowserList::Create(WindowBase* w, OSType code, const Rect& r) {
  if (!ControlBase::Create(w, code, r, L"")) return false;
  if (!MakeControl(w, kControlKindDataBrowser, r, L"")) return false;
  if (!FinishCreate(w, code)) return false;
  return InstallHandlers();
}

bool DataBrowserList::InstallHandlers() {
  if (!HasControl()) return false;
  SetControlReference(control, this);
  DataBrowserCallbacks callbacks;
  callbacks.itemData = [this](ControlRef, DataBrowserItemID item, DataBrowserPropertyID p,
                              bool set, std::wstring* text) { return ItemData(item, p, set, text); };
  callbacks.notification = [this](ControlRef, DataBrowserItemID item, std::uint32_t message) {
    Notification(item, message);
  };
  callbacks.compare = [this](ControlRef, DataBrowserItemID a, DataBrowserItemID b,
                             DataBrowserPropertyID p) { return Compare(a, b, p); };
  return SetDataBrowserCallbacks(control, std::move(callbacks)) == kNoErr;
}

DataBrowserColumn DataBrowserList::Describe(const DataBrowserColumnInfo& c, int property) const {
  DataBrowserColumn d;
  d.property = static_cast<DataBrowserPropertyID>(property);
  d.flags = (1u << 16) | (1u << 17) | (1u << 18);  // selection column, movable, sortable
  d.minimumWidth = 0;
  d.maximumWidth = (c.mask & kListColumnWidth) ? static_cast<std::uint16_t>(c.width & 0xFFFF) : 100;
  d.hasTitle = (c.mask & kListColumnTitle) && c.title;
  if (d.hasTitle) d.title = *c.title;
  return d;
}

int DataBrowserList::AddColumn(int position, const ListColumnRecord& column) {
  if (!HasControl()) return -1;
  auto info = std::make_unique<DataBrowserColumnInfo>();
  info->mask = column.mask;
  info->format = column.format;
  info->width = column.width;
  if (column.title) {
    info->title = std::wstring(column.title);
  } else if (column.mask & kListColumnTitle) {
    std::wstring numbered;
    LoadNumberedText(column.titleNumber, &numbered);
    info->title = numbered;  // kept, so a rebuild shows it again
  }
  const int count = ColumnCount();
  if (position >= count) {
    DataBrowserColumn d = Describe(*info, count + 1);
    if (d.hasTitle) d.title = ColumnTitleText(d.title);
    if (AddDataBrowserListViewColumn(control, d) != kNoErr) return -1;
    info->index = count;
    columns.push_back(std::move(info));
    for (auto& row : rows)
      while (static_cast<int>(row->cells.size()) < ColumnCount()) row->cells.emplace_back();
    RefreshAll();
    return ColumnCount() - 1;
  }
  position = std::max(position, 0);
  info->index = position;
  columns.insert(columns.begin() + position, std::move(info));
  for (auto& row : rows)
    while (static_cast<int>(row->cells.size()) < ColumnCount()) {
      const auto at = std::min<std::size_t>(static_cast<std::size_t>(position), row->cells.size());
      row->cells.insert(row->cells.begin() + static_cast<std::ptrdiff_t>(at), DataBrowserCell{});
    }
  RebuildColumns();
  return position;
}

bool DataBrowserList::RebuildColumns() {
  const int n = ColumnCount();
  for (int p = 1; p <= n; ++p) RemoveDataBrowserTableViewColumn(control, static_cast<DataBrowserPropertyID>(p));
  for (int i = 0; i < n; ++i) {
    DataBrowserColumn d = Describe(*columns[static_cast<std::size_t>(i)], i + 1);
    d.rightJustified = columns[static_cast<std::size_t>(i)]->format & kListFormatRight;
    if (AddDataBrowserListViewColumn(control, d) != kNoErr) return false;
  }
  return true;
}

int DataBrowserList::AddRows(const ListItemRecord& item) {
  const int count = RowCount();
  if (AddDataBrowserItems(control, {static_cast<DataBrowserItemID>(count + 1)}) != kNoErr) return -1;
  auto row = std::make_unique<DataBrowserRow>();
  DataBrowserCell first;
  if ((item.mask & kListMaskText) && item.text) first.text = std::wstring(item.text);
  if (item.mask & kListMaskData) first.data = item.data;
  row->cells.push_back(std::move(first));
  while (static_cast<int>(row->cells.size()) < ColumnCount()) row->cells.emplace_back();
  // Any position past the end (a negative one too) appends.
  const std::size_t at = std::min(static_cast<std::size_t>(static_cast<std::uint32_t>(item.row)),
                                  rows.size());
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i]->index = static_cast<int>(i + 1);
  UpdateDataBrowserItems(control, 0);
  return static_cast<int>(at);
}

namespace {
DataBrowserCell* CellAt(std::vector<std::unique_ptr<DataBrowserRow>>& rows, int row, int column) {
  if (row < 0 || row >= static_cast<int>(rows.size())) return nullptr;
  auto& cells = rows[static_cast<std::size_t>(row)]->cells;
  if (column < 0 || column >= static_cast<int>(cells.size())) return nullptr;
  return &cells[static_cast<std::size_t>(column)];
}
}  // namespace

bool DataBrowserList::SetRowCells(const ListItemRecord& item) {
  DataBrowserCell* cell = CellAt(rows, item.row, item.column);
  if (!cell) return false;
  if (item.mask & kListMaskText) {
    if (item.text) cell->text = std::wstring(item.text);
    else cell->text.reset();
  }
  if (item.mask & kListMaskData) cell->data = item.data;
  return UpdateDataBrowserItems(control, static_cast<DataBrowserItemID>(item.row + 1)) == kNoErr;
}

bool DataBrowserList::GetRowCells(ListItemRecord& item) {
  DataBrowserCell* cell = CellAt(rows, item.row, item.column);
  if (!cell) return false;
  if ((item.mask & kListMaskText) && item.text && item.textMax > 0) {
    const std::wstring text = cell->text.value_or(std::wstring());
    const std::size_t n = std::min(static_cast<std::size_t>(item.textMax - 1), text.size());
    std::copy_n(text.data(), n, item.text);
    item.text[n] = 0;
  }
  if (item.mask & kListMaskData) item.data = cell->data;
  return true;
}

bool DataBrowserList::RemoveAllRows() {
  if (!rows.empty() && HasControl() && RemoveAllDataBrowserItems(control) != kNoErr) return false;
  rows.clear();
  return true;
}

bool DataBrowserList::SelectRow(int row, bool select) {
  SetDataBrowserSelectedItems(control, {});
  if (select) SetDataBrowserSelectedItems(control, {static_cast<DataBrowserItemID>(row + 1)});
  UpdateDataBrowserItems(control, 0);
  return true;
}

bool DataBrowserList::ClearSelection() {
  if (SetDataBrowserSelectedItems(control, {}) != kNoErr) return false;
  UpdateDataBrowserItems(control, 0);
  return true;
}

int DataBrowserList::GetSelectedRow() {
  std::vector<DataBrowserItemID> selected = GetDataBrowserSelectedItems(control);
  return selected.empty() ? -1 : static_cast<int>(selected.front()) - 1;
}

int DataBrowserList::GetCount() { return static_cast<int>(GetDataBrowserItemCount(control)); }

const DataBrowserCell* DataBrowserList::GetCellText(int row, int column) {
  return CellAt(rows, row - 1, column - 1);
}

void DataBrowserList::RefreshAll() {
  for (std::size_t i = 1; i <= rows.size(); ++i)
    UpdateDataBrowserItems(control, static_cast<DataBrowserItemID>(i));
}

OSStatus DataBrowserList::ItemData(DataBrowserItemID item, DataBrowserPropertyID property, bool set,
                                   std::wstring* text) {
  if (set) return kDataBrowserPropertyNotSupported;
  if (property == 0) return kNoErr;
  const DataBrowserCell* cell = GetCellText(static_cast<int>(item), static_cast<int>(property));
  if (cell && cell->text && text) *text = *cell->text;
  return kNoErr;
}

// A missing cell sorts before every present one, and two missing cells are equal, so the
// compare is a strict weak ordering that any sort can use.
bool DataBrowserList::Compare(DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID property) {
  const DataBrowserCell* ca = GetCellText(static_cast<int>(a), static_cast<int>(property));
  const DataBrowserCell* cb = GetCellText(static_cast<int>(b), static_cast<int>(property));
  if (!ca || !cb) return !ca && cb;
  const std::wstring ta = ca->text.value_or(std::wstring()), tb = cb->text.value_or(std::wstring());
  return ta < tb;
}

void DataBrowserList::Notification(DataBrowserItemID item, std::uint32_t message) {
  if (message != kDataBrowserItemSelected) return;
  ListItemRecord record;
  record.row = static_cast<std::int32_t>(item) - 1;
  record.column = 0;
  selectionSignal.Emit(GetCellText(static_cast<int>(item), 1) ? &record : nullptr);
}
