#pragma once
// Window and menu descriptions ("nibs"). A nib is one XML file of our own format in the
// application's data folder: <resources>/nibs/<nib name>.xml. The format:
//
//   <nib>
//     <menubar name="IDR_MENU">
//       <menu id="1001" title="File">              id: 16-bit menu id
//         <item title="Quit" command="quit" key="Q" modifiers="0"/>
//         <separator/>
//       </menu>
//     </menubar>
//     <window name="IDD_MAIN_DIALOG" class="document" title="Brivane"
//             left="80" top="80" width="640" height="420"
//             closebox="true" resizable="true">
//       <control kind="push" signature="ok  " id="0" command="ok  " title="OK"
//                left="10" top="10" width="80" height="20" value="0" minimum="0" maximum="1">
//         ...controls embedded in this one...
//       </control>
//     </window>
//   </nib>
//
// Window classes: "document" (the default), "movable-modal", "floating", "utility",
// "sheet". Windows from a nib have the standard handler and are created hidden. Control
// kinds: "push", "check", "radio", "popup", "bevel", "static", "edit", "slider",
// "scrollbar", "progress", "tabs", "list" (a list view), "pane" (a user pane). The items of
// a pop-up's or bevel button's menu, and the titles of tabs, are <entry title=".."
// command=".."/> elements inside the control. A signature or command is
// four characters or absent (0); ids, bounds and values are decimal integers, bounds are
// window coordinates for controls and global coordinates for windows, all within 16 bits.
// Files over 1 MB, nesting deeper than 32 levels, more than 4096 elements, unknown elements
// or attributes and out-of-range numbers are rejected with a message.
#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/Menus.h"
#include "toolbox/Types.h"
#include "toolbox/Windows.h"

namespace toolbox {

struct NibControl {
  OSType kind = kControlKindPushButton;
  ControlID id;
  OSType command = 0;
  std::wstring title;
  Rect bounds;
  std::int32_t value = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 1;
  std::wstring help;
  std::vector<MenuItemInfo> entries;  // menu items or tab titles
  std::vector<NibControl> children;
};

struct NibWindow {
  std::string name;
  WindowClass windowClass = kDocumentWindowClass;
  std::uint32_t attributes = kWindowStandardHandlerAttribute;
  std::wstring title;
  Rect bounds;
  std::vector<NibControl> controls;
};

struct NibMenu {
  std::int16_t id = 0;
  std::wstring title;
  std::vector<MenuItemInfo> items;
};

struct NibMenuBar {
  std::string name;
  std::vector<NibMenu> menus;
};

struct NibDescription {
  std::vector<NibWindow> windows;
  std::vector<NibMenuBar> menuBars;
};

// Parses a nib's XML text; on failure gives false with a message naming the line.
bool ParseNib(const std::string& xml, NibDescription* out, std::string* error);

// Opens the nib of that name from the data folder. kNotFoundErr when the file is missing or
// the name is not a plain name; kNibFormatErr when it does not parse.
OSStatus CreateNibReference(const std::string& nibName, NibRefHandle* outNib);
OSStatus CreateNibReferenceFromFile(const std::string& utf8Path, NibRefHandle* outNib);
OSStatus DisposeNibReference(NibRefHandle nib);
// The message of the last nib that failed to open.
std::string LastNibError();

// Creates the named window, hidden, with its controls. kNotFoundErr for an unknown name.
OSStatus CreateWindowFromNib(NibRefHandle nib, const std::string& windowName,
                             WindowRef* outWindow);
// Replaces the menu bar with the named one.
OSStatus SetMenuBarFromNib(NibRefHandle nib, const std::string& menuBarName);

}  // namespace toolbox
