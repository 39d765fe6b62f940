#include "project/ImageSettings.h"

#include "project/ChangeTracking.h"

ImageSettings::ImageSettings(Job* jobOwner) : owner(jobOwner) { Reset(); }

void ImageSettings::Reset() {
  image_type = 0;
  transition_in.reset();
  transition_out.reset();
  duration = 2000;
}

void ImageSettings::SetImageType(uint32_t type) { StoreCounted(image_type, type); }

bool ImageSettings::SetDuration(uint32_t ms) {
  StoreCounted(duration, ms);
  return true;
}
