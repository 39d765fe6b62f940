#pragma once
// The base of the framework's small object library: objects with an id and a reference
// count, and a list that owns such objects. Ownership is by plain owning pointers; nothing
// changes the reference count.
#include <cstdint>
#include <string>
#include <vector>

class RefObject {
 public:
  RefObject() = default;
  virtual ~RefObject() = default;

  // A new plain object (id 0, count 1); subclasses do not override it.
  virtual RefObject* Clone() const;
  // Objects are equal when their ids are.
  virtual bool Equals(const RefObject& other) const;
  virtual std::wstring GetName() const;

  uint32_t id = 0;
  uint32_t refCount = 1;
};

// Owns the objects its vector points to; null entries are allowed and skipped.
class ObjectList : public RefObject {
 public:
  ObjectList() = default;
  ~ObjectList() override;
  ObjectList(const ObjectList&) = delete;
  ObjectList& operator=(const ObjectList&) = delete;

  // Deletes every non-null entry and empties the vector.
  void Clear();

  std::vector<RefObject*>& Items() { return items_; }
  const std::vector<RefObject*>& Items() const { return items_; }

 private:
  std::vector<RefObject*> items_;
};

// Sets every byte of the vector to the value.
void FillBytes(std::vector<uint8_t>& bytes, uint8_t value);
