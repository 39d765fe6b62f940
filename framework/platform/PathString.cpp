#include "framework/platform/PathString.h"

#include "framework/platform/PathLayer.h"

PathString::PathString(const toolbox::FileRef& ref) { PathFromFSRef(*this, ref); }

PathString::PathString(const toolbox::FileUrl& url) { PathFromCFURL(*this, url); }
