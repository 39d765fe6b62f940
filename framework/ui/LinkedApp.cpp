#include "framework/ui/LinkedApp.h"

#include "framework/platform/Bundle.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/ui/FileDialogs.h"

bool LocateLinkedApp(PathString& out, toolbox::WindowRef parentWindow) {
  const WideText message(131);
  FileDialogRequest request;
  request.InitChooseFolder();
  request.message = message.CStr();
  FileDialogResult result;
  if (!RunFileDialog(&request, &result, parentWindow, nullptr)) return false;
  PathString bundle;
  if (!JoinPath(bundle, kLinkedAppBundleName, MakeAbsolutePath(result.firstPath))) return false;
  if (!PathExists(bundle)) return false;
  out = bundle;
  return true;
}
