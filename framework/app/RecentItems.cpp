#include "framework/app/RecentItems.h"

#include <algorithm>

#include "toolbox/Controls.h"

using namespace toolbox;

namespace {

std::wstring NumberedKey(const std::wstring& key, std::uint32_t n) {
  return key + L"_" + std::to_wstring(n);
}

}  // namespace

RecentItems::~RecentItems() {
  submenu_.reset();
  DestroyList();
}

std::size_t RecentItems::Shown() const {
  return std::min<std::size_t>(entries_.size(), maximum_);
}

bool RecentItems::AttachAsSubmenu(MenuRef parent, std::uint16_t itemIndex, std::int16_t menuId,
                                  std::uint32_t firstCommandId) {
  auto menu = std::make_unique<Menu>();
  if (!menu->Create(menuId, L"tt")) return false;
  firstCommandId_ = firstCommandId;
  submenu_ = std::move(menu);
  const auto index = static_cast<std::uint16_t>(itemIndex + 1);
  return index != 0 && SetMenuItemHierarchicalMenu(parent, index, submenu_->Get()) == kNoErr;
}

bool RecentItems::Add(const PathString& path, bool rebuildMenu) {
  const PathString absolute = MakeAbsolutePath(path);
  const std::size_t shown = Shown();
  for (std::size_t i = 0; i < shown; ++i) {
    if (*entries_[i] == absolute) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  entries_.insert(entries_.begin(), std::make_unique<PathString>(absolute));
  if (rebuildMenu) RebuildMenu();
  return true;
}

void RecentItems::SetMax(std::uint32_t maximum, bool rebuildMenu) {
  maximum_ = maximum;
  if (rebuildMenu) RebuildMenu();
}

bool RecentItems::RebuildMenu() {
  if (!submenu_) return true;
  submenu_->RemoveAll();
  const std::size_t shown = Shown();
  for (std::size_t i = 0; i < shown; ++i)
    submenu_->AppendItem(static_cast<OSType>(firstCommandId_ + i), MakeAbsolutePath(*entries_[i]));
  // An empty submenu would pop up as an empty box. The line has no command, so it never
  // stands for an entry.
  if (shown == 0 && !emptyText_.empty() && submenu_->AppendItem(0, emptyText_))
    submenu_->EnableItem(1, true, false);
  return true;
}

const PathString* RecentItems::ItemForCommand(std::uint32_t commandId) const {
  const std::uint32_t count = submenu_ ? submenu_->Count() : 0;
  if (commandId < firstCommandId_ || commandId - firstCommandId_ >= count) return nullptr;
  return ItemAt(commandId - firstCommandId_);
}

const PathString* RecentItems::ItemAt(std::size_t index) const {
  return index < entries_.size() ? entries_[index].get() : nullptr;
}

bool RecentItems::Save(Preferences& store, const std::wstring& key) const {
  store.SetLong((key + L"_max").c_str(), static_cast<std::int32_t>(maximum_));
  const std::size_t n = Shown();
  for (std::size_t i = 1; i <= n; ++i)
    store.SetString(NumberedKey(key, static_cast<std::uint32_t>(i)).c_str(),
                    MakeAbsolutePath(*entries_[n - i]));
  // Keys an earlier, longer save wrote would come back at the next load as the most recent
  // entries: remove them, up to the first missing one.
  for (std::uint32_t i = static_cast<std::uint32_t>(n) + 1;
       store.Remove(NumberedKey(key, i).c_str()); ++i) {
  }
  return true;
}

bool RecentItems::Load(const Preferences& store, const std::wstring& key) {
  std::int32_t stored = 0;
  if (store.GetLong((key + L"_max").c_str(), stored) && stored >= 0)
    maximum_ = static_cast<std::uint32_t>(stored);
  for (std::uint32_t i = 1; i <= maximum_; ++i) {
    std::wstring path;
    if (!store.GetString(NumberedKey(key, i).c_str(), path)) break;
    if (PathExists(PathString(path))) Add(PathString(path), false);
  }
  return true;
}

void RecentItems::CopyFrom(const RecentItems& other) {
  if (&other == this) return;
  ClearList();
  maximum_ = other.maximum_;
  for (const auto& entry : other.entries_)
    entries_.push_back(std::make_unique<PathString>(MakeAbsolutePath(*entry)));
}

void RecentItems::ClearList() {
  entries_.Clear();
  maximum_ = kDefaultMaximum;
}
