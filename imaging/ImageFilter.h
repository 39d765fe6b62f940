#pragma once
// Image filters: a filter has a name and parameters of its own, and writes itself as one
// "filter" element. Filter lists make filters from elements by their "name" attribute. This
// product registers no filter of its own kind: a list keeps every filter element it is given
// as a generic filter that holds its name and each other attribute in order, so that a
// document's filters survive a read and a write.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class XmlWriter;
class XmlElement;

class ImageFilter {
 public:
  explicit ImageFilter(std::wstring name) : name_(std::move(name)) {}
  virtual ~ImageFilter() = default;
  ImageFilter(const ImageFilter&) = delete;
  ImageFilter& operator=(const ImageFilter&) = delete;

  const std::wstring& Name() const { return name_; }
  // Writes the "filter" element: its name, then its own attributes, then its line end.
  bool WriteXml(XmlWriter& writer) const;

 protected:
  virtual void WriteAttributes(XmlWriter& writer) const = 0;

 private:
  std::wstring name_;
};

using FilterAttribute = std::pair<std::wstring, std::wstring>;

// A filter of a kind this product does not know: its attributes, in document order.
class GenericImageFilter final : public ImageFilter {
 public:
  GenericImageFilter(std::wstring name, std::vector<FilterAttribute> attributes)
      : ImageFilter(std::move(name)), attributes_(std::move(attributes)) {}
  const std::vector<FilterAttribute>& Attributes() const { return attributes_; }

 protected:
  void WriteAttributes(XmlWriter& writer) const override;

 private:
  std::vector<FilterAttribute> attributes_;
};

class FilterList {
 public:
  explicit FilterList(uint32_t id) : id_(id) {}
  uint32_t Id() const { return id_; }

 private:
  uint32_t id_;
};

// The filter list with that id, or none; list 0 always exists.
FilterList* FindFilterList(uint32_t id);
// A new filter made from a "filter" element, owned by the caller; none for an element
// without a "name" attribute.
ImageFilter* ReadFilterElement(FilterList* list, const XmlElement& element);
