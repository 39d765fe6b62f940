#pragma once
// A single-line text field: text and numbers in and out, keystrokes filtered by an input
// mode, and a commit callback told when the user presses Return, Enter or Tab in it.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "framework/ui/ControlBase.h"

class EditText : public ControlBase {
 public:
  using CommitCallback = void (*)(EditText* field, void* context);

  // Input modes: 0, 1 and any other value every character; 2 letters; 3 digits and "-";
  // 4 digits; 5 signed decimal; 6 unsigned decimal; 7 identifier.
  enum InputMode { kAny = 0, kLetters = 2, kDigitsMinus = 3, kDigits = 4, kSignedDecimal = 5,
                   kUnsignedDecimal = 6, kIdentifier = 7 };

  EditText() = default;
  ~EditText() override;

  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& initialText) override;
  bool InstallHandlers() override;
  int GetLayoutMetric1() override { return 16; }

  void SetInputMode(int mode) { inputMode = mode; }
  void SetAcceptReturn(bool accept) { acceptReturn = accept; }
  void SetCommitCallback(CommitCallback callback, void* context);
  void NotifyOwnerOnCommit(WindowBase* owner);

  // Copies at most n - 1 characters and a terminator; returns the number of characters.
  int GetText(wchar_t* buffer, int n);
  std::wstring GetText();
  bool SetText(const std::wstring& text, bool redraw);
  // Leaves the field unchanged when the formatting fails.
  bool SetTextF(bool redraw, const wchar_t* format, ...);
  bool SetTextRaw(const unsigned char* pascal, bool redraw);
  // Decimal, saturated to the 32-bit range; 0 for an empty or unreadable text.
  std::int32_t GetInt();
  bool SetInt(std::int32_t value, bool redraw);
  double GetDouble();
  bool SetDouble(double value, int width, int precision, bool redraw);

  // The key filter: true lets the typed character through.
  bool FilterKey(char32_t c);

 private:
  static void DefaultCommit(EditText* field, void* context);
  void InstallKeyHandler();
  bool DotAllowed();

  toolbox::KeyFilterFunction previousFilter;
  bool previousSaved = false;
  toolbox::EventHandlerRef keyHandler;
  WindowBase* ownerWindow = nullptr;
  CommitCallback commitCallback = nullptr;
  void* commitContext = nullptr;
  int inputMode = 0;
  bool acceptReturn = false;
};
