#pragma once
// A thin wrapper over one menu of the toolbox's menu model, and the menu bar's look-up by
// id. The wrapper never disposes of its menu: menus live as long as the menu bar or their
// parent item needs them.
#include <cstdint>
#include <string>

#include "toolbox/Menus.h"

class Menu {
 public:
  // Keeps the menu; `attached` when one is given.
  explicit Menu(toolbox::MenuRef menu = toolbox::MenuRef{});
  ~Menu() = default;
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  // Keeps the title (at most kMaxTitle characters) and makes a new menu with it. The menu
  // model takes wide text, so every character of the title stays.
  bool Create(std::int16_t menuId, const std::wstring& title);
  // A non-null menu is kept and `attached` set; a null one is ignored.
  void Attach(toolbox::MenuRef menu);

  // Appends an item with the text and the command; non-zero modifiers (low 8 bits) and a
  // non-zero key (a virtual key code when `virtualKey`) go on the new item.
  bool AppendItem(toolbox::OSType command, const std::wstring& text, std::uint32_t modifiers = 0,
                  char32_t key = 0, bool virtualKey = false);
  bool AddSeparator();
  // By index: the item at index + 1 (the index counts from 0). By command: the first item
  // with that command.
  bool DeleteItem(std::uint32_t commandOrIndex, bool byIndex);
  // By index: the item with that number (counting from 1). By command: the first item with
  // that command.
  bool CheckItem(std::uint32_t commandOrIndex, bool byIndex, bool mark);
  // By index: the item with that number (counting from 1). By command: every item of the
  // menu with that command.
  bool EnableItem(std::uint32_t commandOrIndex, bool byIndex, bool enabled);
  std::uint16_t Count() const;
  bool RemoveAll();

  toolbox::MenuRef Get() const { return menu_; }
  const std::wstring& Title() const { return title_; }
  bool IsAttached() const { return attached_; }

  static constexpr std::size_t kMaxTitle = 255;

 private:
  toolbox::MenuRef menu_;
  std::wstring title_;
  bool attached_ = false;
};

class MenuBarHolder {
 public:
  // The menu of the menu bar with that id; null when there is none.
  toolbox::MenuRef GetMenuByID(std::int16_t id) const;

 private:
  std::uintptr_t words_[3] = {};
};
