#pragma once
// The wrapper of one toolbox control: created in code inside a window (and then owned and
// disposed of by the wrapper) or bound to a control of a window's nib (borrowed). Every
// operation goes through the toolbox's checked handles, so a wrapper without a control, or
// whose control or window is gone, fails harmlessly (false, 0 or an error status).
#include <cstdint>
#include <string>

#include "toolbox/Controls.h"
#include "toolbox/Windows.h"

class WindowBase;

// The numbered text; false and the empty text when the number has none.
bool LoadNumberedText(int number, std::wstring* out);

class ControlBase {
 public:
  ControlBase() = default;
  virtual ~ControlBase();
  ControlBase(const ControlBase&) = delete;
  ControlBase& operator=(const ControlBase&) = delete;

  // --- virtual operations ---
  // True exactly when no control exists yet: the precondition of every create step.
  virtual bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
                      const std::wstring& title);
  virtual bool CreateByStringNumber(WindowBase* window, toolbox::OSType command,
                                    const toolbox::Rect& bounds, int textNumber);
  // Binds to the control {command, id} of the window; false (nothing recorded) when none.
  virtual bool Attach(toolbox::OSType command, toolbox::WindowRef* window, std::int32_t id);
  virtual bool Destroy();
  virtual bool InstallHandlers();
  virtual bool GetBounds(toolbox::Rect* bounds);
  virtual bool GetPosition(int* left, int* top);
  virtual bool Move(int left, int top);
  virtual int GetLeft();
  virtual bool SetLeft(int left);
  virtual int GetTop();
  virtual bool SetTop(int top);
  virtual bool GetSize(int* width, int* height);
  virtual bool Resize(int width, int height);
  virtual int GetWidth();
  virtual bool SetWidth(int width);
  virtual int GetHeight();
  virtual bool SetHeight(int height);
  virtual bool Draw();
  virtual bool Enable(bool enable);
  virtual bool Disable();
  virtual bool Show(bool show);
  virtual bool Hide();
  virtual int GetLayoutMetric1() { return 16; }
  virtual int GetLayoutMetric2() { return 8; }
  virtual int GetLayoutMetric3() { return 8; }

  // --- plain operations ---
  bool FinishCreate(WindowBase* window, toolbox::OSType command);
  bool EmbedIn(toolbox::ControlRef parent);
  toolbox::OSType GetCommand() const { return command; }
  toolbox::ControlRef* GetControlRefPtr() { return &control; }
  toolbox::ControlRef GetControl() const { return control; }
  toolbox::WindowRef GetOwner() const { return owner; }
  std::int32_t GetStatus() const { return status; }
  bool IsOwned() const { return owned; }
  // The wrapper a control's reference value names, when it is of this class tree.
  static ControlBase* FromControl(toolbox::ControlRef control);

 protected:
  // Makes the toolbox control of a create step in the window; on failure stores the status
  // (when asked) and gives false.
  bool MakeControl(WindowBase* window, toolbox::OSType kind, const toolbox::Rect& bounds,
                   const std::wstring& title, bool storeStatus = true);
  // Whether the platform control exists (and is still alive).
  bool HasControl() const { return toolbox::IsValidControlRef(control); }

  std::int32_t status = 0;
  toolbox::OSType command = 0;
  std::int32_t id = 0;
  toolbox::ControlRef control;
  toolbox::WindowRef owner;
  bool owned = false;
};
