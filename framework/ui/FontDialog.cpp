#include "framework/ui/FontDialog.h"

#include <algorithm>

#include "toolbox/Menus.h"

using namespace toolbox;

namespace {

constexpr OSType kCommandShowFontPanel = FourCC("shfp");
constexpr std::int32_t kSizes[] = {9, 10, 11, 12, 13, 14, 18, 24, 32, 36, 48, 64, 72, 96};

Rect Box(int left, int top, int right, int bottom) {
  return Rect{static_cast<short>(top), static_cast<short>(left), static_cast<short>(bottom),
              static_cast<short>(right)};
}

void AddTextRow(DataBrowserList& list, const std::wstring& text, std::uint32_t data) {
  ListItemRecord r;
  r.mask = kListMaskText | kListMaskData;
  r.row = -1;
  r.text = const_cast<wchar_t*>(text.c_str());
  r.data = data;
  list.AddRows(r);
}

std::wstring RowText(DataBrowserList& list, int row) {
  const DataBrowserCell* cell = list.GetCellText(row + 1, 1);
  return cell && cell->text ? *cell->text : std::wstring();
}

// A whole number from 1 to 32767, white space around it allowed.
bool ReadPointSize(const std::wstring& text, std::int32_t* out) {
  std::size_t begin = text.find_first_not_of(L" \t");
  std::size_t end = text.find_last_not_of(L" \t");
  if (begin == std::wstring::npos) return false;
  std::int32_t value = 0;
  for (std::size_t i = begin; i <= end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    value = value * 10 + (text[i] - L'0');
    if (value > 32767) return false;
  }
  if (value < 1) return false;
  *out = value;
  return true;
}

}  // namespace

FontDialog::FontDialog() = default;

FontDialog::~FontDialog() {
  if (fontMenu) {
    for (std::uint16_t i = 1; i <= CountMenuItems(fontMenu); ++i)
      if (MenuRef sub = GetMenuItemHierarchicalMenu(fontMenu, i)) DisposeMenu(sub);
    DisposeMenu(fontMenu);
  }
}

Rect FontDialog::GetSavedFrame() const {
  return Box(savedLeft, savedTop, savedLeft + savedWidth, savedTop + savedHeight);
}

std::int32_t FontDialog::Run(FontInfo* font, WindowRef owner, const Rect* saved) {
  if (IsFontPanelEnabled()) {
    Event e(kEventClassCommand, kEventCommandProcess);
    HICommand command;
    command.commandID = kCommandShowFontPanel;
    e.SetParameter(kEventParamDirectObject, kTypeHICommand, command);
    if (EventTargetRef t = GetWindowEventTarget(owner)) SendEventToEventTarget(&e, t);
    return 0;
  }
  if (!font) return -1;
  target = font;
  if (!CreateWindow(100, 100, 500, 320, kWindowFlagMovableModal | kWindowFlagResizable, owner)) return -1;
  SetTitle(L"Font");
  SelectFont(*font);
  if (saved) {
    Move(saved->left, saved->top);
    Resize(saved->Width(), saved->Height());
  }
  return RunModal();
}

bool FontDialog::OnInitDialog() {
  GetSize(&initialWidth, &initialHeight);
  okButton.Create(this, kResultOK, Box(400, 20, 470, 40), L"OK");
  applyButton.Create(this, kCommandApply, Box(400, 52, 470, 72), L"Apply");
  cancelButton.Create(this, kResultCancel, Box(400, 100, 470, 120), L"Cancel");
  SetWindowDefaultButton(GetWindow(), okButton.GetControl());
  SetWindowCancelButton(GetWindow(), cancelButton.GetControl());
  familyLabel.Create(this, FourCC("tFnt"), Box(20, 20, 100, 36), L"Family");
  familyField.Create(this, FourCC("eFnt"), Box(23, 42, 161, 63), L"");
  familyField.Disable();
  familyList.Create(this, FourCC("lFnt"), Box(17, 71, 167, 300));
  typefaceLabel.Create(this, FourCC("tSiz"), Box(172, 20, 252, 36), L"Typeface");
  typefaceField.Create(this, FourCC("eStl"), Box(175, 42, 313, 63), L"");
  typefaceField.Disable();
  typefaceList.Create(this, FourCC("lStl"), Box(169, 71, 319, 300));
  sizeLabel.Create(this, FourCC("tStl"), Box(324, 20, 382, 36), L"Size");
  sizeField.Create(this, FourCC("eSiz"), Box(327, 42, 382, 63), L"");
  sizeList.Create(this, FourCC("lSiz"), Box(321, 71, 387, 300));
  for (DataBrowserList* list : {&familyList, &typefaceList, &sizeList}) {
    ListColumnRecord column;
    column.mask = kListColumnWidth;
    column.width = list == &sizeList ? 82 : 300;
    list->AddColumn(0, column);
    SetDataBrowserHeaderHeight(list->GetControl(), 0);
    SetDataBrowserSelectionFlags(list->GetControl(), list == &typefaceList ? 70 : 66);
  }
  familyList.selectionSignal.Connect(MakeMemberSlot(this, &FontDialog::OnFamilySelected));
  typefaceList.selectionSignal.Connect(MakeMemberSlot(this, &FontDialog::OnTypefaceSelected));
  sizeList.selectionSignal.Connect(MakeMemberSlot(this, &FontDialog::OnSizeSelected));
  CollectFamilies();
  FillLists();
  familyList.GetSize(&familyListWidth, &familyListHeight);
  familyFieldWidth = familyField.GetWidth();
  typefaceLeft[0] = typefaceLabel.GetLeft();
  typefaceLeft[1] = typefaceField.GetLeft();
  typefaceLeft[2] = typefaceList.GetLeft();
  sizeLeft[0] = sizeLabel.GetLeft();
  sizeLeft[1] = sizeField.GetLeft();
  sizeLeft[2] = sizeList.GetLeft();
  buttonLeft[0] = okButton.GetLeft();
  buttonLeft[1] = applyButton.GetLeft();
  buttonLeft[2] = cancelButton.GetLeft();
  return true;
}

OSStatus FontDialog::MakeFontMenu(MenuRef menu, std::uint16_t* submenuCount) {
  return CreateStandardFontMenu(menu, 0, 100, true, submenuCount);
}

bool FontDialog::BuildFamilyIndex() {
  hierarchicalItems.clear();
  const std::uint16_t count = CountMenuItems(fontMenu);
  for (std::uint16_t i = 1; i <= count; ++i) {
    if (!GetMenuItemHierarchicalMenu(fontMenu, i)) continue;
    // A menu holding more submenus than it reported stops here, before the index overflows.
    if (static_cast<std::int32_t>(hierarchicalItems.size()) >= hierarchicalCount) return false;
    hierarchicalItems.push_back(i);
  }
  return static_cast<std::int32_t>(hierarchicalItems.size()) == hierarchicalCount;
}

bool FontDialog::CollectFamilies() {
  families.clear();
  if (CreateNewMenu(3333, L"", &fontMenu) != kNoErr) return false;
  std::uint16_t submenus = 0;
  if (MakeFontMenu(fontMenu, &submenus) != kNoErr) return false;
  hierarchicalCount = submenus;
  if (!BuildFamilyIndex()) return false;
  const std::uint16_t count = CountMenuItems(fontMenu);
  for (std::uint16_t i = 1; i <= count; ++i) {
    FontFamilyID family = 0;
    std::uint16_t style = 0;
    MenuItemInfo item;
    GetMenuItem(fontMenu, i, &item);
    if (MenuRef sub = GetMenuItemHierarchicalMenu(fontMenu, i)) {
      if (GetFontFamilyFromMenuSelection(sub, 1, &family, &style) != kNoErr) continue;
      auto entry = std::make_unique<FontFamilyEntry>();
      entry->index = i;
      if (!FontFamilyHasStyle(family, style)) family = FindFontFamily(item.text);
      entry->familyId = family;
      const std::uint16_t faces = CountMenuItems(sub);
      for (std::uint16_t j = 1; j <= faces; ++j) {
        FontFamilyID f = 0;
        std::uint16_t s = 0;
        if (GetFontFamilyFromMenuSelection(sub, j, &f, &s) != kNoErr) continue;
        MenuItemInfo face;
        GetMenuItem(sub, j, &face);
        auto typeface = std::make_unique<FontListEntry>();
        typeface->index = j;
        typeface->submenu = sub;
        typeface->Set(s, face.text);
        entry->typefaces.push_back(std::move(typeface));
      }
      families.push_back(std::move(entry));
    } else if (GetFontFamilyFromMenuSelection(fontMenu, i, &family, &style) == kNoErr &&
               FontFamilyHasStyle(family, style)) {
      auto entry = std::make_unique<FontFamilyEntry>();
      entry->index = i;
      entry->familyId = family;
      families.push_back(std::move(entry));
    }
  }
  return true;
}

std::wstring FontDialog::FamilyName(std::int32_t familyId) const {
  std::wstring name;
  GetFontFamilyName(static_cast<FontFamilyID>(familyId), &name);
  return TransliterateFontName(name);
}

void FontDialog::FillLists() {
  for (std::size_t i = 0; i < families.size(); ++i)
    AddTextRow(familyList, FamilyName(families[i]->familyId), static_cast<std::uint32_t>(i));
  for (std::int32_t size : kSizes) AddTextRow(sizeList, std::to_wstring(size), static_cast<std::uint32_t>(size));
}

void FontDialog::OnFamilySelected(ListItemRecord* row) {
  if (!row || row->row < 0 || row->row >= static_cast<int>(families.size())) return;
  const FontFamilyEntry& entry = *families[static_cast<std::size_t>(row->row)];
  typefaceList.RemoveAllRows();
  familyField.SetText(FamilyName(entry.familyId), true);
  if (entry.typefaces.empty()) {
    AddTextRow(typefaceList, L"Regular", 0);
  } else {
    for (std::size_t i = 0; i < entry.typefaces.size(); ++i)
      AddTextRow(typefaceList, entry.typefaces[i]->text, static_cast<std::uint32_t>(i));
  }
  typefaceList.SelectRow(0, true);
}

void FontDialog::OnTypefaceSelected(ListItemRecord* row) {
  if (row) typefaceField.SetText(RowText(typefaceList, row->row), true);
}

void FontDialog::OnSizeSelected(ListItemRecord* row) {
  if (row) sizeField.SetText(RowText(sizeList, row->row), true);
}

int FontDialog::FamilyRowOf(std::uint16_t menuIndex) const {
  for (std::size_t r = 0; r < families.size(); ++r)
    if (families[r]->index == menuIndex) return static_cast<int>(r);
  return -1;
}

void FontDialog::SelectFont(const FontInfo& font) {
  const std::uint16_t count = fontMenu ? CountMenuItems(fontMenu) : 0;
  bool found = false;
  for (std::uint16_t i = 1; i <= count && !found; ++i) {
    FontFamilyID family = 0;
    std::uint16_t style = 0;
    if (MenuRef sub = GetMenuItemHierarchicalMenu(fontMenu, i)) {
      for (std::uint16_t j = 1; j <= CountMenuItems(sub) && !found; ++j) {
        if (GetFontFamilyFromMenuSelection(sub, j, &family, &style) != kNoErr ||
            family != font.GetFamilyId() || style != font.GetStyle())
          continue;
        const int familyRow = FamilyRowOf(i);
        if (familyRow < 0) continue;
        found = true;
        familyList.SelectRow(familyRow, true);
        // The typeface row holding this submenu item (rows skip faces that did not resolve).
        const auto& faces = families[static_cast<std::size_t>(familyRow)]->typefaces;
        for (std::size_t t = 0; t < faces.size(); ++t)
          if (faces[t]->index == j) typefaceList.SelectRow(static_cast<int>(t), true);
      }
    } else if (GetFontFamilyFromMenuSelection(fontMenu, i, &family, &style) == kNoErr) {
      if (family < 0) {
        MenuItemInfo item;
        GetMenuItem(fontMenu, i, &item);
        family = FindFontFamily(item.text);
      }
      const int familyRow = FamilyRowOf(i);
      if (family == font.GetFamilyId() && style == font.GetStyle() && familyRow >= 0) {
        found = true;
        familyList.SelectRow(familyRow, true);
      }
    }
  }
  SelectSize(font.GetSize());
}

void FontDialog::SelectSize(std::int32_t size) {
  for (int r = 0; r < static_cast<int>(std::size(kSizes)); ++r)
    if (kSizes[r] == size) {
      sizeList.SelectRow(r, true);
      return;
    }
  sizeField.SetInt(size, true);
}

void FontDialog::ReadSelection(FontInfo* font) {
  if (!font) return;
  std::uint16_t style = 0;
  const int familyRow = familyList.GetSelectedRow();
  if (familyRow >= 0 && familyRow < static_cast<int>(families.size())) {
    const FontFamilyEntry& entry = *families[static_cast<std::size_t>(familyRow)];
    MenuRef menu = fontMenu;
    std::uint16_t item = entry.index;
    if (!entry.typefaces.empty()) {
      // The menu item the selected row stands for (rows skip faces that did not resolve).
      const int faceRow = typefaceList.GetSelectedRow();
      if (faceRow >= 0 && faceRow < static_cast<int>(entry.typefaces.size())) {
        menu = entry.typefaces[static_cast<std::size_t>(faceRow)]->submenu;
        item = entry.typefaces[static_cast<std::size_t>(faceRow)]->index;
      } else {
        item = 0;  // no typeface: nothing resolves
      }
    }
    FontFamilyID family = 0;
    if (GetFontFamilyFromMenuSelection(menu, item, &family, &style) == kNoErr) {
      if (family < 0) {
        MenuItemInfo info;
        GetMenuItem(menu, item, &info);
        family = FindFontFamily(info.text);
      }
      font->SetFamilyById(family);
    } else {
      style = 0;
    }
  }
  font->SetStyle(style);
  std::int32_t size = 0;
  if (ReadPointSize(sizeField.GetText(), &size)) font->SetSize(size);
}

void FontDialog::SaveGeometry() {
  int left = 0, top = 0, width = 0, height = 0;
  if (GetPosition(&left, &top) && GetSize(&width, &height)) {
    savedLeft = left;
    savedTop = top;
    savedWidth = width;
    savedHeight = height;
  }
}

bool FontDialog::OnCommand(std::uint32_t command, EventRef*) {
  if (command == kCommandApply) {
    ReadSelection(target);
    return true;
  }
  if (command == kResultOK) {
    ReadSelection(target);
    EndDialog(static_cast<std::int32_t>(kResultOK));
    return true;
  }
  if (command == kResultCancel) {
    EndDialog(static_cast<std::int32_t>(kResultCancel));
    return true;
  }
  return false;
}

bool FontDialog::OnClose() {
  SaveGeometry();
  return false;
}

bool FontDialog::OnSize(int width, int height) {
  if (initialWidth == 0 && initialHeight == 0) return false;  // before the controls exist
  const int dw = std::max(width - initialWidth, -100);
  const int dh = std::max(height - initialHeight, -100);
  familyList.Resize(familyListWidth + dw, familyListHeight + dh);
  familyField.SetWidth(familyFieldWidth + dw);
  ControlBase* typeface[] = {&typefaceLabel, &typefaceField, &typefaceList};
  ControlBase* size[] = {&sizeLabel, &sizeField, &sizeList};
  ControlBase* buttons[] = {&okButton, &applyButton, &cancelButton};
  for (int i = 0; i < 3; ++i) {
    typeface[i]->SetLeft(typefaceLeft[i] + dw);
    size[i]->SetLeft(sizeLeft[i] + dw);
    buttons[i]->SetLeft(buttonLeft[i] + dw);
  }
  typefaceList.SetHeight(familyListHeight + dh);
  sizeList.SetHeight(familyListHeight + dh);
  return false;
}
