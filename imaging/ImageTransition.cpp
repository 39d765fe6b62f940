#include "imaging/ImageTransition.h"

TransitionList* FindTransitionList(uint32_t) { return nullptr; }

ImageTransition* FindTransitionByName(TransitionList*, const std::wstring&) { return nullptr; }

ImageTransition* TransitionList::FindByName(TransitionList*, const std::wstring&) {
  return nullptr;
}
