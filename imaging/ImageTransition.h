#pragma once
// Image transitions: an effect that brings a still image in or takes it out, with a
// duration and parameters of its own, written as one childless element. This product
// registers no transition list, so every look-up by name finds none.
#include <cstdint>
#include <string>

class XmlWriter;
class XmlElement;

class ImageTransition {
 public:
  ImageTransition() = default;
  virtual ~ImageTransition() = default;
  ImageTransition(const ImageTransition&) = delete;
  ImageTransition& operator=(const ImageTransition&) = delete;

  virtual const wchar_t* Name() const = 0;
  // A new transition of the same class with that class's default parameters.
  virtual ImageTransition* Duplicate() const = 0;

  uint32_t Duration() const { return duration_; }
  void SetDuration(uint32_t ms) { duration_ = ms; }

  // The element (childless): "name", "duration", then the transition's own attributes.
  bool WriteXml(XmlWriter& writer, const wchar_t* elementName) const;
  // Reads "duration" and the transition's own attributes; always true.
  bool ReadXml(const XmlElement& element);

 protected:
  virtual void WriteAttributes(XmlWriter&) const {}
  virtual void ReadAttributes(const XmlElement&) {}

 private:
  uint32_t duration_ = 0;
};

class TransitionList {
 public:
  // The registered out-transition of that name, or none.
  static ImageTransition* FindByName(TransitionList* list, const std::wstring& name);
};

// The transition list with that id; none, as no list is ever registered.
TransitionList* FindTransitionList(uint32_t id);
// The registered in-transition of that name, or none.
ImageTransition* FindTransitionByName(TransitionList* list, const std::wstring& name);
