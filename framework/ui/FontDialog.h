#pragma once
// The font dialog: family, typeface and size in three lists side by side, written into a
// FontInfo on OK and Apply. The families and typefaces come from a font menu of the system's
// fonts, so the dialog lists exactly what font menus list.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/Buttons.h"
#include "framework/ui/DataBrowserList.h"
#include "framework/ui/EditText.h"
#include "framework/ui/FontInfo.h"
#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"

struct FontListEntry {
  std::uint16_t index = 0;  // the item in its submenu, from 1
  toolbox::MenuRef submenu;
  std::uint16_t style = 0;
  std::wstring text;
  void Set(std::uint16_t bits, const std::wstring& itemText) {
    style = bits;
    text = itemText;
  }
};

struct FontFamilyEntry {
  std::uint16_t index = 0;  // the item in the font menu, from 1
  std::int32_t familyId = 0;
  std::vector<std::unique_ptr<FontListEntry>> typefaces;
};

inline constexpr toolbox::OSType kCommandApply = toolbox::FourCC("aply");
inline constexpr toolbox::OSType kResultOK = toolbox::FourCC("ok  ");
inline constexpr toolbox::OSType kResultCancel = toolbox::FourCC("not!");

class FontDialog : public WindowBase {
 public:
  FontDialog();
  ~FontDialog() override;

  // Runs the dialog on the font; the result ('ok  ' or 'not!'), -1 when the window cannot
  // be made, 0 when the system font panel takes its place.
  std::int32_t Run(FontInfo* font, toolbox::WindowRef owner, const toolbox::Rect* saved);
  // Where the dialog was last left (top, left, bottom, right).
  toolbox::Rect GetSavedFrame() const;

  bool OnInitDialog() override;
  bool OnClose() override;
  bool OnCommand(std::uint32_t command, toolbox::EventRef* event) override;
  bool OnSize(int width, int height) override;

  bool CollectFamilies();
  void FillLists();
  void SelectFont(const FontInfo& font);
  void SelectSize(std::int32_t size);
  void ReadSelection(FontInfo* font);

  void OnFamilySelected(ListItemRecord* row);
  void OnTypefaceSelected(ListItemRecord* row);
  void OnSizeSelected(ListItemRecord* row);

  // What tests look at.
  const std::vector<std::unique_ptr<FontFamilyEntry>>& Families() const { return families; }
  DataBrowserList& FamilyList() { return familyList; }
  DataBrowserList& TypefaceList() { return typefaceList; }
  DataBrowserList& SizeList() { return sizeList; }
  EditText& SizeField() { return sizeField; }

 protected:
  // Fills the menu with the system's fonts and reports how many items carry a submenu.
  virtual toolbox::OSStatus MakeFontMenu(toolbox::MenuRef menu, std::uint16_t* submenuCount);

 private:
  bool BuildFamilyIndex();
  std::wstring FamilyName(std::int32_t familyId) const;
  void SaveGeometry();
  int FamilyRowOf(std::uint16_t menuIndex) const;

  FontInfo* target = nullptr;
  std::int32_t savedLeft = 100;
  std::int32_t savedTop = 100;
  std::int32_t savedWidth = 500;
  std::int32_t savedHeight = 320;
  std::vector<std::uint16_t> hierarchicalItems;
  std::int32_t hierarchicalCount = 0;
  FontInfo workFont;
  std::vector<std::unique_ptr<FontFamilyEntry>> families;
  toolbox::MenuRef fontMenu;

  PushButton okButton, applyButton, cancelButton;
  StaticText familyLabel, typefaceLabel, sizeLabel;
  EditText familyField, typefaceField, sizeField;
  DataBrowserList familyList, typefaceList, sizeList;

  int initialWidth = 0, initialHeight = 0;
  int familyListWidth = 0, familyListHeight = 0, familyFieldWidth = 0;
  int typefaceLeft[3] = {}, sizeLeft[3] = {}, buttonLeft[3] = {};
};
