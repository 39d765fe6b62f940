#pragma once
// The base class of every window, modal dialog, sheet and embedded pane. It owns one toolbox
// window (a pane borrows its parent's and lives in a user-pane control of it) and installs
// one event handler, DispatchWindowEvent, which turns each event into one call of a virtual
// operation with plain arguments. Every default declines (returns false), and a declined
// event goes back to the event system as not handled, so the standard handling still runs.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/platform/PathString.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Events.h"
#include "toolbox/Windows.h"

class ControlBase;
class NibRef;

// Creation flags of WindowBase::CreateWindow.
inline constexpr std::uint32_t kWindowFlagMovableModal = 0x1;
inline constexpr std::uint32_t kWindowFlagShow = 0x2;
inline constexpr std::uint32_t kWindowFlagCloseBox = 0x4;
inline constexpr std::uint32_t kWindowFlagResizable = 0x10;
inline constexpr std::uint32_t kWindowFlagSheet = 0x200000;
inline constexpr std::uint32_t kWindowFlagUtility = 0x400000;
inline constexpr std::uint32_t kWindowFlagFloating = 0x800000;

// The window property that links a toolbox window to its object.
inline constexpr toolbox::OSType kWindowPropertyCreator = toolbox::FourCC("QZon");
inline constexpr toolbox::OSType kWindowPropertyTag = toolbox::FourCC("DlgV");

// The status of a handled process command.
inline constexpr toolbox::OSStatus kCommandHandledStatus = 1;

class WindowBase {
 public:
  WindowBase();
  virtual ~WindowBase();
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // --- virtual operations ---
  // An application-modal dialog from the nib; returns the dialog result, -1 for none.
  virtual std::int32_t DoModal(const NibRef& nib, const std::wstring& name,
                               toolbox::WindowRef parent, std::uint32_t dialogId);
  virtual bool PreFilterEvent(toolbox::EventRef* event);
  virtual bool OnInitDialog();
  virtual bool OnClose();
  virtual bool OnPaint();
  virtual bool OnCommand(std::uint32_t command, toolbox::EventRef* event);
  virtual bool OnSize(int width, int height);
  virtual bool OnSizing(toolbox::Rect* bounds);
  virtual bool OnMove(int left, int top);
  virtual bool OnLButtonDown(int x, int y, std::uint32_t modifiers);
  virtual bool OnLButtonUp(int x, int y, std::uint32_t modifiers);
  virtual bool OnRButtonDown(int x, int y, std::uint32_t modifiers);
  virtual bool OnRButtonUp(int x, int y, std::uint32_t modifiers);
  virtual bool OnMouseMove(int x, int y, std::uint32_t modifiers);
  virtual void OnDropFile(const PathString& path, toolbox::Point* where);
  virtual toolbox::OSStatus OnDragReceive(toolbox::DragRef drag);
  virtual bool OnDragEnter(toolbox::DragRef drag);
  virtual bool OnDragWithin(toolbox::DragRef drag);
  virtual bool OnKeyDown(toolbox::EventRef* event);
  virtual bool OnKeyUp(toolbox::EventRef* event);
  virtual bool OnOpenDocument(const PathString& path);
  virtual bool OnHotKey(toolbox::HotKeyID* id);
  virtual bool OnOtherEvent(toolbox::OSType eventClass, std::uint32_t eventKind,
                            toolbox::EventRef* event);
  virtual bool OnControlChanged(toolbox::ControlRef hit, toolbox::ControlRef previous);
  // The event types the handler is installed for; returns their count.
  virtual int GetEventTypes(std::vector<toolbox::EventTypeSpec>& types);

  // --- creation and life (false on failure unless stated) ---
  bool CreateWindow(int x, int y, int width, int height, std::uint32_t flags,
                    toolbox::WindowRef parent);
  bool Create(const NibRef& nib, const std::wstring& name, toolbox::WindowRef parent,
              std::uint32_t dialogId);
  bool AttachToUserPane(const NibRef& nib, std::int32_t paneId, toolbox::WindowRef parent,
                        std::uint32_t dialogId);
  bool InstallHandler();
  void LinkProperty();
  std::int32_t RunModal();
  bool EndDialog(std::int32_t result);
  bool Destroy();
  static WindowBase* FromWindowRef(toolbox::WindowRef window);
  toolbox::WindowRef* GetWindowRefPtr() { return &window; }
  bool EnableFileDrop(bool enable);
  // Binds the wrapper to the nib control {signature, dialog id} of this window.
  bool BindControl(toolbox::OSType signature, ControlBase* control);

  // --- geometry and state ---
  bool Show(bool show);
  bool Hide();
  bool IsVisible();
  bool Activate(bool activate);
  bool BringToFront();
  toolbox::OSStatus GetBounds(toolbox::Rect* bounds);
  bool GetPosition(int* left, int* top);
  bool Move(int left, int top);
  bool Reposition(toolbox::WindowRef parent);
  bool GetSize(int* width, int* height);
  bool Resize(int width, int height);
  int GetHeight();
  bool SetHeight(int height);
  bool SetTitle(const std::wstring& title);

  // State the dispatcher and the controls read.
  toolbox::WindowRef GetWindow() const { return window; }
  std::uint32_t GetDialogId() const { return dialogId; }
  std::int32_t GetModalResult() const { return modalResult; }
  bool IsModalRunning() const { return modalRunning; }
  bool IsEmbedded() const { return embedded; }
  toolbox::ControlRef GetHostPane() const { return hostPane; }
  toolbox::ControlRef GetLastHitControl() const { return lastHitControl; }

  friend toolbox::OSStatus DispatchWindowEvent(toolbox::EventHandlerCallRef next,
                                               toolbox::EventRef event, void* userData);

 private:
  static toolbox::OSStatus OnDragTracking(toolbox::DragTrackingMessage message,
                                          toolbox::WindowRef window, void* reference,
                                          toolbox::DragRef drag);
  static toolbox::OSStatus OnDragReceiveHandler(toolbox::WindowRef window, void* reference,
                                                toolbox::DragRef drag);
  // The toolbox disposed of the window (its standard close handling): forget it.
  void WatchWindow();
  void ForgetWindow();
  void DestroyPanes();

  std::uint32_t flags = 0;
  toolbox::WindowRef window;
  bool modalRunning = false;
  bool embedded = false;
  toolbox::WindowRef parentWindow;
  toolbox::EventHandlerRef handlerRef;
  std::int32_t modalResult = -1;
  toolbox::ControlRef hostPane;
  bool dragTrackingInstalled = false;
  bool dragReceiveInstalled = false;
  std::uint32_t dialogId = 0;
  toolbox::ControlRef lastHitControl;
  // Panes attached to this window, destroyed before it; and, for a pane, its window's object.
  std::vector<WindowBase*> panes;
  WindowBase* paneOwner = nullptr;
};

toolbox::OSStatus DispatchWindowEvent(toolbox::EventHandlerCallRef next, toolbox::EventRef event,
                                      void* userData);
