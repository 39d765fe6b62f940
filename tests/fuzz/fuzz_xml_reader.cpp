// fuzz-links: framework_platform
// Loads each input as an XML document file and reads every node, attribute and value of it
// through the reader's handles.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzScratch.h"
#include "framework/platform/XmlReader.h"
#include "toolbox/Utf8.h"

namespace {

void ReadValue(const XmlValue& v) {
  WideText text;
  v.Text(text, L"d");
  v.Name(text);
  (void)v.AsString();
  (void)v.AsStringDecoded();
  (void)v.AsLong(3);
  (void)v.AsDouble(0.5);
  (void)v.AsBool();
  PathString path;
  v.AsPath(path);
  v.AsBase64Text(text, L"d");
}

void Walk(const XmlValue& value, int depth) {
  ReadValue(value);
  XmlElement element;
  if (value.ToElement(element)) {
    for (const char* name : {"encoding", "version", "name", "a", "path", "value"}) {
      XmlValue attr;
      if (element.Attribute(name, attr)) ReadValue(attr);
    }
  }
  XmlNode node;
  value.ToNode(node);
  const int n = node.ChildCount();
  XmlValue child;  // one value reused for every child
  for (int i = 0; i < n && depth < 1000; ++i)
    if (node.ChildAt(i, child)) Walk(child, depth + 1);
  node.ChildAt(n, child);
  node.ChildAt(-1, child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& scratch = FuzzScratchWrite("fuzz-xml-reader", data, size);
  XmlDocument doc;
  if (doc.Load(PathString(toolbox::Utf8ToWide(scratch)))) {
    XmlValue root;
    if (doc.GetRoot(root)) Walk(root, 0);
  }
  return 0;
}
