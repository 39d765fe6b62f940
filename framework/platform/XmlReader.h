#pragma once
// Reads a whole XML document into a tree and hands it out through small handles:
// XmlDocument (the loaded file), XmlNode (an element whose children are iterated),
// XmlElement (an element whose attributes are looked up by name) and XmlValue (an element
// or an attribute value, read as text, number, path, bool or base64 text).
//
// expat parses; the tree keeps the shape the settings readers expect: the XML declaration,
// comments and processing instructions are child nodes of their own, character data
// between two pieces of markup is one text node, and text that is only white space is
// dropped unless a character reference produced it. expat decodes references itself, so
// decimal references are decoded too; an undefined named entity or "&#X41;" (upper-case X)
// is kept in the value as the text it is, and the rest of the document loads.
//
// Documents can come from anywhere: the file size, the nesting depth and the number of
// nodes are capped, a DOCTYPE is refused (so no entity is ever expanded), and a document
// that breaks any rule fails to load as a whole.
//
// Handles borrow the document's tree: the document must outlive every handle taken from it.
// Each handle carries the document's path (relative paths resolve against its folder) and
// the encoding its root element declares.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/platform/PathString.h"
#include "framework/platform/WideText.h"

struct XmlTreeNode;
struct XmlTreeAttribute;
struct XmlTree;
class XmlNode;
class XmlElement;

class XmlValue {
 public:
  XmlValue() = default;

  bool IsEmpty() const { return !tree_ && !attribute_; }

  // The value's subtree as a node; a value without an element leaves the node unchanged.
  bool ToNode(XmlNode& node) const;
  // False when the value is not an element (text, comment, processing instruction, attribute).
  bool ToElement(XmlElement& element) const;
  // The tag name of an element value (the text of a text node, the target of a processing
  // instruction); false when there is none.
  bool Name(WideText& text) const;

  // An element's first child's text, or the attribute's value. Absent: false, and an empty
  // value stores the default.
  bool Text(WideText& text, const wchar_t* defaultText = L"") const;
  PathString AsString() const;
  // As AsString, with the writer's escapes decoded once more.
  PathString AsStringDecoded() const;
  // A decimal integer at the start of the text, saturated to the 32-bit range.
  long AsLong(long defaultValue = 0) const;
  double AsDouble(double defaultValue = 0) const;
  // True exactly when the text is "true" in any letter case.
  bool AsBool() const;
  // The text (as Text gives it) and the name (as Name gives it) as the document holds them,
  // in UTF-8 and borrowed from the document: for values that are only parsed or compared.
  bool Utf8Text(std::string_view& text) const { return RawText(text); }
  bool Utf8Name(std::string_view& name) const;
  // Whether the text can be a path: shorter than kPathMaxBytes in UTF-8, measured on the
  // document's own bytes. A reader checks a path this way before it copies anything of a
  // value that can hold a whole document.
  bool FitsPath() const;
  // The text as a path; a relative one is resolved against the document's folder. False,
  // with the path unchanged, when there is no text or it is too long to be a path.
  bool AsPath(PathString& path) const;
  // The text decoded as base64; when the document declares an encoding the bytes are UTF-16
  // (byte order from a leading mark, big-endian without one), otherwise a narrow string.
  bool AsBase64Text(WideText& text, const wchar_t* defaultText = L"") const;

 private:
  friend class XmlDocument;
  friend class XmlNode;
  friend class XmlElement;
  bool RawText(std::string_view& text) const;

  const XmlTreeNode* tree_ = nullptr;
  const XmlTreeAttribute* attribute_ = nullptr;
  // The document's path, borrowed like the tree (a copy per handle would cost an
  // allocation each).
  const PathString* path_ = nullptr;
  int encoding_ = 0;
};

class XmlNode {
 public:
  friend class XmlDocument;
  XmlNode() = default;
  int ChildCount() const;
  // The child at the index replaces whatever the value held; false when there is no child
  // at that index (the value is then unchanged).
  bool ChildAt(int index, XmlValue& value) const;

 private:
  friend class XmlValue;
  const XmlTreeNode* tree_ = nullptr;
  const PathString* path_ = nullptr;
  int encoding_ = 0;
};

class XmlElement {
 public:
  XmlElement() = default;
  // Looks the attribute up by its exact (case-sensitive) name.
  bool Attribute(const char* name, XmlValue& value) const;
  // The attributes in document order, for elements whose attributes are not known in
  // advance: the name (UTF-8) and value of the one at the index; false beyond the last.
  int AttributeCount() const;
  bool AttributeAt(int index, std::string& name, XmlValue& value) const;

 private:
  friend class XmlValue;
  const XmlTreeNode* node_ = nullptr;
  const PathString* path_ = nullptr;
  int encoding_ = 0;
  // Where the next lookup starts: readers ask for attributes in about the order they were
  // written, so the wanted one is nearly always the next.
  mutable uint32_t next_ = 0;
};

// Caps on what a document may hold; larger documents fail to load. Attributes count as
// nodes. The defaults serve every small settings document; a caller that reads large
// documents of its own (a project of many jobs) passes larger caps, and writes its
// documents within the same caps (XmlWriter::SetLimits), so that what it saves loads again.
struct XmlLimits {
  size_t maxFileSize = 16u << 20;
  size_t maxNodes = 1u << 19;
};

class XmlDocument {
 public:
  // The default caps, and the nesting depth every document keeps within.
  static constexpr size_t kMaxFileSize = XmlLimits().maxFileSize;
  static constexpr int kMaxDepth = 256;
  static constexpr size_t kMaxNodes = XmlLimits().maxNodes;

  // Why the last Load failed.
  enum class LoadStatus {
    Loaded,
    // Nothing there, or an item that is not a regular file (a folder, a named pipe, a
    // device): nothing was read.
    NotAFile,
    // The file is there but could not be read (no permission, an I/O error).
    CannotRead,
    // Read whole, but larger than the caps or not a well-formed document.
    Malformed,
  };

  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Reads and parses the file. False when it cannot be read or parsed (Status says why).
  // Only a regular file is opened, and never in a way that waits: a named pipe or a device
  // fails at once.
  bool Load(const PathString& path, const XmlLimits& limits = XmlLimits());
  LoadStatus Status() const { return status_; }
  // The tree's first child (the wrapper element, or the declaration of a document with the
  // standard header) into an empty value; false when there is none or the value is not empty.
  bool GetRoot(XmlValue& value) const;
  // The whole tree as a node: its children are the declaration, comments, processing
  // instructions and the root element in document order. This is how the root element of
  // a document with the standard declaration is reached. False when nothing is loaded.
  bool GetDocumentNode(XmlNode& node) const;

  // 0 none or unrecognised, 1 "UTF-8", 2 "UTF-16", from the root element's "encoding".
  int Encoding() const { return encoding_; }
  const PathString& Path() const { return path_; }

 private:
  // The nodes, attributes and their text, in a few large blocks freed at once.
  std::unique_ptr<XmlTree> tree_;
  PathString path_;
  int encoding_ = 0;
  LoadStatus status_ = LoadStatus::NotAFile;
};

// The writer's escapes decoded once: the five named entities and "&#x", 1 to 6 hexadecimal
// digits and ";" naming a character XML allows. Anything else stays as literal text.
std::wstring DecodeXmlEscapes(const std::wstring& text);

// An attribute value as the writer writes it and the reader gives it back: every character
// XML cannot carry (a control character, a lone surrogate) reads as U+FFFD, and the reader
// drops line feeds from attribute values.
std::wstring XmlAttributeAsRead(const std::wstring& text);

// Repairs what older writers and hand edits put into files and expat rejects: raw control
// characters become U+FFFD, a pair of surrogate references becomes one reference to the
// combined character, and a reference to a lone surrogate, U+FFFE, U+FFFF or a value above
// U+10FFFF becomes "&#xfffd;". A reference no reader resolves (a named entity other than
// the five XML defines, such as "&nbsp;", or "&#X41;" with an upper-case X) has its '&'
// escaped, so that the value keeps the reference as it stands. Comments, CDATA sections and
// processing instructions hold their text literally: only control characters change there.
std::string RepairLegacyXml(std::string bytes);
