#pragma once
// A push button that stands for a font: its title shows family, style and size, and a
// click lets the user choose another font in the font dialog (or the system font panel
// where one is enabled). A change callback tells the owner of every change.
#include <cstdint>

#include "framework/ui/Buttons.h"
#include "framework/ui/FontInfo.h"

// Parameters of font-selection events from the font panel (16-bit values).
inline constexpr toolbox::OSType kEventParamFMFontFamily = toolbox::FourCC("fmfm");
inline constexpr toolbox::OSType kEventParamFMFontStyle = toolbox::FourCC("fmst");
inline constexpr toolbox::OSType kEventParamFMFontSize = toolbox::FourCC("fmsz");
inline constexpr toolbox::OSType kTypeFMFontValue = toolbox::FourCC("shor");

class FontButton : public PushButton {
 public:
  using ChangeCallback = void (*)(const FontInfo& font, void* context);

  explicit FontButton(ChangeCallback onChange = nullptr, void* context = nullptr);
  ~FontButton() override;

  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  bool InstallHandlers() override;
  const FontInfo& GetFont() const { return font; }
  void SetFont(const FontInfo& newFont, bool redraw);
  void UpdateTitle();
  void SetEnabled(bool on) { enabled = on; }
  // Where the dialog opens: x, y, width, height.
  const std::int32_t* GetDialogFrame() const { return dialogFrame; }
  // The button that opened the font panel, if any.
  static FontButton* PanelOwner();

 private:
  toolbox::OSStatus HandleEvent(toolbox::EventRef event);
  toolbox::OSStatus RunDialog();

  FontInfo font;
  bool enabled = true;
  toolbox::EventHandlerRef handler;
  std::int32_t dialogFrame[4] = {400, 400, 500, 320};
  ChangeCallback onChange;
  void* context;
};
