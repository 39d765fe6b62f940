#pragma once
// The reference to a nib (a file of window and menu descriptions in the application's data
// folder), and the process-wide reference to the nib "main".
#include <cstdint>

#include "toolbox/Nib.h"

class NibRef {
 public:
  NibRef() = default;
  ~NibRef();
  NibRef(const NibRef&) = delete;
  NibRef& operator=(const NibRef&) = delete;

  // With no bundle, opens the nib "main" of the application; true on success. With a bundle
  // given it does nothing and returns false.
  bool OpenMain(const void* bundle = nullptr);
  toolbox::NibRefHandle Get() const { return nib; }
  bool IsOpen() const { return static_cast<bool>(nib); }

 private:
  toolbox::NibRefHandle nib;
  std::uintptr_t reserved = 0;
};

// The nib "main", opened on the first call and kept for the life of the process. When it
// cannot be opened the reference stays empty and every window creation from it fails.
// Supplied by the application windows.
NibRef& GetMainNib();

// Sets the menu bar from the main nib's menu bar "IDR_MENU"; false when that fails. The
// Quit and Preferences items stay in the menus the nib gives them (there is no application
// menu to move them to).
bool InstallMenuBar();
