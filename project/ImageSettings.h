#pragma once
// A job's image settings: how a still image is encoded, how long it stays, and its in and
// out transitions.
#include <cstdint>
#include <memory>

#include "imaging/ImageTransition.h"

class Job;
class XmlWriter;
class XmlValue;

class ImageSettings {
 public:
  explicit ImageSettings(Job* owner);
  ImageSettings(const ImageSettings&) = delete;
  ImageSettings& operator=(const ImageSettings&) = delete;

  void Reset();
  void SetImageType(uint32_t type);
  bool SetDuration(uint32_t ms);
  // Ownership passes; the previous transition is deleted.
  void SetTransitionIn(ImageTransition* transition) { transition_in.reset(transition); }
  void SetTransitionOut(ImageTransition* transition) { transition_out.reset(transition); }

  bool WriteXml(XmlWriter& writer) const;
  bool ReadXml(const XmlValue& value);
  // A new transition for an "image_fx_in" or "image_fx_out" child, read from it: none
  // without a "name" attribute or when no registered transition has that name. `named`
  // (when given) tells whether the child had a name.
  static ImageTransition* ReadTransition(const XmlValue& child, bool in, bool* named);

  uint32_t image_type = 0;
  std::unique_ptr<ImageTransition> transition_in;
  std::unique_ptr<ImageTransition> transition_out;
  uint32_t duration = 2000;
  Job* owner;
};
