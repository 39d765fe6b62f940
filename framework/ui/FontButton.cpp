#include "framework/ui/FontButton.h"

#include "framework/platform/WideText.h"
#include "framework/ui/FontDialog.h"
#include "toolbox/Display.h"

using namespace toolbox;

namespace {
constexpr OSType kCommandShowFontPanel = FourCC("shfp");
FontButton* panelOwner = nullptr;

bool SameFont(const FontInfo& a, const FontInfo& b) {
  return a.GetFamilyId() == b.GetFamilyId() && a.GetStyle() == b.GetStyle() && a.GetSize() == b.GetSize();
}
}  // namespace

FontButton::FontButton(ChangeCallback callback, void* callbackContext)
    : onChange(callback), context(callbackContext) {}

FontButton::~FontButton() {
  if (panelOwner) {
    if (IsFontPanelVisible()) ShowHideFontPanel();
    panelOwner = nullptr;
  }
  if (handler) RemoveEventHandler(handler);
}

FontButton* FontButton::PanelOwner() { return panelOwner; }

bool FontButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!PushButton::Create(w, code, r, title)) return false;
  return InstallHandlers();
}

bool FontButton::InstallHandlers() {
  if (!handler) {
    const EventTypeSpec types[] = {{kEventClassControl, kEventControlHit},
                                   {kEventClassCommand, kEventCommandProcess},
                                   {kEventClassFont, kEventFontPanelClosed},
                                   {kEventClassFont, kEventFontSelection}};
    if (InstallEventHandler(GetControlEventTarget(control),
                            [this](EventHandlerCallRef, EventRef e) { return HandleEvent(e); },
                            types, &handler) != kNoErr)
      return false;
  }
  UpdateTitle();
  return true;
}

void FontButton::SetFont(const FontInfo& newFont, bool redraw) {
  font.Assign(newFont);
  UpdateTitle();
  if (IsFontPanelEnabled())
    SetFontInfoForSelection(static_cast<std::uint32_t>(font.GetFamilyId()) << 16 | font.GetStyle(),
                            font.GetSize());
  if (redraw) Draw();
}

void FontButton::UpdateTitle() {
  WideText title;
  if (title.Format(L"%ls %ls %d pt", font.GetFamilyName().c_str(), font.GetStyleName().c_str(),
                   static_cast<int>(font.GetSize())))
    SetTitle(title.CStr(), true);
}

// The dialog path tells the owner of any change, whichever button ended the dialog: Apply
// followed by Cancel leaves the applied font.
OSStatus FontButton::RunDialog() {
  const FontInfo before(font);
  FontDialog dialog;
  const Rect saved{static_cast<short>(dialogFrame[1]), static_cast<short>(dialogFrame[0]),
                   static_cast<short>(dialogFrame[1] + dialogFrame[3]),
                   static_cast<short>(dialogFrame[0] + dialogFrame[2])};
  dialog.Run(&font, owner, &saved);
  if (!SameFont(before, font)) {
    UpdateTitle();
    if (onChange) onChange(font, context);
  }
  const Rect frame = dialog.GetSavedFrame();
  dialogFrame[0] = frame.left;
  dialogFrame[1] = frame.top;
  dialogFrame[2] = frame.Width();
  dialogFrame[3] = frame.Height();
  return kEventNotHandledErr;
}

OSStatus FontButton::HandleEvent(EventRef event) {
  if (!enabled) return kEventNotHandledErr;
  if (event->Class() == kEventClassControl) {
    ControlRef hit;
    if (event->GetParameter(kEventParamDirectObject, kTypeControlRef, &hit) != kNoErr || hit != control)
      return kEventNotHandledErr;
    if (IsFontPanelEnabled()) {
      Event show(kEventClassCommand, kEventCommandProcess);
      HICommand command;
      command.commandID = kCommandShowFontPanel;
      show.SetParameter(kEventParamDirectObject, kTypeHICommand, command);
      SendEventToEventTarget(&show, GetControlEventTarget(control));
      return kEventNotHandledErr;
    }
    return RunDialog();
  }
  if (event->Class() == kEventClassCommand) {
    HICommand command;
    if (event->GetParameter(kEventParamDirectObject, kTypeHICommand, &command) != kNoErr ||
        command.commandID != kCommandShowFontPanel)
      return kEventNotHandledErr;
    const OSStatus status = ShowHideFontPanel();
    panelOwner = IsFontPanelVisible() ? this : nullptr;
    return status;
  }
  if (event->Kind() == kEventFontSelection && panelOwner) {
    FontButton* target = panelOwner;
    std::uint16_t value = 0;
    if (event->GetParameter(kEventParamFMFontFamily, kTypeFMFontValue, &value) == kNoErr)
      target->font.SetFamilyById(static_cast<std::int16_t>(value));
    if (event->GetParameter(kEventParamFMFontStyle, kTypeFMFontValue, &value) == kNoErr)
      target->font.SetStyle(value);
    if (event->GetParameter(kEventParamFMFontSize, kTypeFMFontValue, &value) == kNoErr)
      target->font.SetSize(static_cast<std::int16_t>(value));
    target->UpdateTitle();
    if (target->onChange) target->onChange(target->font, target->context);
  }
  return kEventNotHandledErr;
}
