#include "framework/ui/NibRef.h"

NibRef::~NibRef() {
  if (nib) toolbox::DisposeNibReference(nib);
}

bool NibRef::OpenMain(const void* bundle) {
  if (bundle) return false;
  toolbox::NibRefHandle opened;
  if (toolbox::CreateNibReference("main", &opened) != toolbox::kNoErr) return false;
  if (nib) toolbox::DisposeNibReference(nib);
  nib = opened;
  return true;
}
