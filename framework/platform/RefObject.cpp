#include "framework/platform/RefObject.h"

#include <algorithm>

RefObject* RefObject::Clone() const { return new RefObject(); }

bool RefObject::Equals(const RefObject& other) const { return id == other.id; }

std::wstring RefObject::GetName() const { return std::wstring(); }

ObjectList::~ObjectList() { Clear(); }

void ObjectList::Clear() {
  for (RefObject* item : items_) delete item;  // delete of null does nothing
  items_.clear();
}

void FillBytes(std::vector<uint8_t>& bytes, uint8_t value) {
  std::fill(bytes.begin(), bytes.end(), value);
}
