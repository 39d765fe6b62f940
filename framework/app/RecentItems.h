#pragma once
// A most-recently-used list of file paths (recent projects, recent media) with the submenu
// that lists them. The first entry is the most recent. The list in memory is not trimmed:
// only its first `maximum` entries are shown, matched for duplicates and saved.
//
// In a preferences store, a list under the key K keeps its maximum under "K_max" and its
// entries under "K_1", "K_2", ... with key 1 the least recent of those saved.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/app/Menu.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/Preferences.h"

class RecentItems {
 public:
  RecentItems() = default;
  // Destroys the submenu object (not the menu), then the list.
  ~RecentItems();
  RecentItems(const RecentItems&) = delete;
  RecentItems& operator=(const RecentItems&) = delete;

  // Makes the submenu (id, placeholder title "tt") the hierarchical menu of the parent's
  // item at index + 1; its items get commands from firstCommandId on.
  bool AttachAsSubmenu(toolbox::MenuRef parent, std::uint16_t itemIndex, std::int16_t menuId,
                       std::uint32_t firstCommandId);
  // Puts the absolute form of the path at the front; an equal path among the first
  // `maximum` entries moves there instead (paths are compared exactly: Linux file names
  // are case-sensitive). Always true.
  bool Add(const PathString& path, bool rebuildMenu);
  void SetMax(std::uint32_t maximum, bool rebuildMenu);
  // Lists the first `maximum` entries in the submenu; with none, one disabled item with
  // the empty text, when there is one, says so.
  bool RebuildMenu();
  void SetEmptyText(const std::wstring& text) { emptyText_ = text; }
  // The entry a command of the submenu stands for; null for any other command.
  const PathString* ItemForCommand(std::uint32_t commandId) const;
  // The entry at the index (0 the most recent); null outside the list.
  const PathString* ItemAt(std::size_t index) const;

  bool Load(const Preferences& store, const std::wstring& key);
  bool Save(Preferences& store, const std::wstring& key) const;

  // The target is cleared and takes the source's maximum and entries, in the same order.
  void CopyFrom(const RecentItems& other);
  void CopyTo(RecentItems& other) const { other.CopyFrom(*this); }

  void InitList() {}
  // Deletes every entry; the maximum goes back to 5.
  void ClearList();
  void DestroyList() { entries_.Clear(); }

  std::size_t Count() const { return entries_.size(); }
  std::uint32_t Max() const { return maximum_; }
  std::uint32_t FirstCommandId() const { return firstCommandId_; }
  Menu* Submenu() const { return submenu_.get(); }

  static constexpr std::uint32_t kDefaultMaximum = 5;

 private:
  std::size_t Shown() const;

  std::uint32_t firstCommandId_ = 5000;
  PathList entries_;
  std::uint32_t maximum_ = kDefaultMaximum;
  std::unique_ptr<Menu> submenu_;
  std::wstring emptyText_;
};
