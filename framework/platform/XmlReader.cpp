#include "framework/platform/XmlReader.h"

#include <expat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/platform/ByteBuffer.h"
#include "framework/platform/PathLayer.h"
#include "toolbox/Utf8.h"

struct XmlTreeNode {
  enum class Kind : uint8_t { Document, Element, Text, Comment, ProcessingInstruction };
  explicit XmlTreeNode(Kind k) : kind(k) {}

  Kind kind;
  // The tag name, the text, the comment or the processing instruction's target.
  std::wstring string;
  std::vector<std::pair<std::string, std::wstring>> attributes;
  std::vector<std::unique_ptr<XmlTreeNode>> children;
};

namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads "&#x" hex ";" at pos with 1 to maxDigits digits; on success gives the value and the
// length of the reference.
template <typename CharT>
bool ReadHexReference(const std::basic_string<CharT>& s, size_t pos, size_t maxDigits,
                      uint32_t& value, size_t& length) {
  if (s.compare(pos, 3, std::basic_string<CharT>{CharT('&'), CharT('#'), CharT('x')}) != 0)
    return false;
  size_t i = pos + 3;
  uint64_t v = 0;
  size_t digits = 0;
  while (i < s.size() && digits < maxDigits) {
    const auto c = s[i];
    if (c > 0x7F || !IsHexDigit(static_cast<char>(c))) break;
    const char ch = static_cast<char>(c);
    v = v * 16 + static_cast<uint64_t>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10);
    ++digits;
    ++i;
  }
  if (digits == 0 || i >= s.size() || s[i] != CharT(';')) return false;
  value = static_cast<uint32_t>(v);
  length = i + 1 - pos;
  return true;
}

bool IsNameByte(unsigned char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80 ||
         (!first && ((c >= '0' && c <= '9') || c == '.' || c == '-'));
}

// Whether the '&' at pos begins a reference that expat would refuse and that no reader of
// these documents resolves: "&" name ";" for a name other than the five XML predefines (no
// document may declare entities), or "&#X" hexadecimal digits ";" with an upper-case X.
bool IsUnresolvableReference(const std::string& s, size_t pos) {
  size_t i = pos + 1;
  if (s.compare(pos, 3, "&#X") == 0) {
    i = pos + 3;
    while (i < s.size() && IsHexDigit(s[i])) ++i;
    return i > pos + 3 && i < s.size() && s[i] == ';';
  }
  if (i >= s.size() || !IsNameByte(static_cast<unsigned char>(s[i]), true)) return false;
  while (i < s.size() && IsNameByte(static_cast<unsigned char>(s[i]), false)) ++i;
  if (i >= s.size() || s[i] != ';') return false;
  const std::string_view name(s.data() + pos + 1, i - pos - 1);
  return name != "lt" && name != "gt" && name != "amp" && name != "quot" && name != "apos";
}

std::string HexReference(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "&#x%x;", static_cast<unsigned>(c));
  return buf;
}

// --- Building the tree with expat -------------------------------------------------------

struct TreeBuilder {
  XML_Parser parser = nullptr;
  const std::string* input = nullptr;
  XmlTreeNode* document = nullptr;
  std::vector<XmlTreeNode*> open;  // the element chain, document first
  std::string pendingText;
  bool pendingFromReference = false;
  size_t nodes = 0;
  bool failed = false;

  void Fail() {
    if (!failed) {
      failed = true;
      XML_StopParser(parser, XML_FALSE);
    }
  }

  XmlTreeNode* Add(XmlTreeNode::Kind kind) {
    if (++nodes > XmlDocument::kMaxNodes) {
      Fail();
      return nullptr;
    }
    auto node = std::make_unique<XmlTreeNode>(kind);
    XmlTreeNode* raw = node.get();
    open.back()->children.push_back(std::move(node));
    return raw;
  }

  void FlushText() {
    if (pendingText.empty()) return;
    bool blank = true;
    for (char c : pendingText)
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
    if (!blank || pendingFromReference) {
      if (XmlTreeNode* node = Add(XmlTreeNode::Kind::Text))
        node->string = toolbox::Utf8ToWide(pendingText);
    }
    pendingText.clear();
    pendingFromReference = false;
  }

  static TreeBuilder& Of(void* data) { return *static_cast<TreeBuilder*>(data); }

  static void OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (static_cast<int>(b.open.size()) > XmlDocument::kMaxDepth) return b.Fail();
    XmlTreeNode* node = b.Add(XmlTreeNode::Kind::Element);
    if (!node) return;
    node->string = toolbox::Utf8ToWide(name);
    size_t count = 0;
    while (atts[count] && atts[count + 1]) count += 2;
    node->attributes.reserve(count / 2);
    for (size_t i = 0; atts[i] && atts[i + 1]; i += 2) {
      if (++b.nodes > XmlDocument::kMaxNodes) return b.Fail();
      std::wstring value = toolbox::Utf8ToWide(atts[i + 1]);
      // Line feeds in attribute values come only from references; they are not kept.
      std::erase(value, L'\n');
      node->attributes.emplace_back(atts[i], std::move(value));
    }
    b.open.push_back(node);
  }

  static void OnEnd(void* data, const XML_Char*) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (b.open.size() > 1) b.open.pop_back();
  }

  static void OnCharacters(void* data, const XML_Char* s, int len) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    const XML_Index at = XML_GetCurrentByteIndex(b.parser);
    if (at >= 0 && static_cast<size_t>(at) < b.input->size() && (*b.input)[at] == '&')
      b.pendingFromReference = true;
    b.pendingText.append(s, static_cast<size_t>(len));
  }

  static void OnComment(void* data, const XML_Char* text) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::Comment))
      node->string = toolbox::Utf8ToWide(text);
  }

  static void OnProcessingInstruction(void* data, const XML_Char* target, const XML_Char*) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::ProcessingInstruction))
      node->string = toolbox::Utf8ToWide(target);
  }

  static void OnDeclaration(void* data, const XML_Char*, const XML_Char*, int) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::ProcessingInstruction))
      node->string = L"xml";
  }

  // A document type declaration could declare entities; none of the system's documents
  // has one, so it is refused outright.
  static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Of(data).Fail();
  }
};

struct ParserDeleter {
  void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

std::unique_ptr<XmlTreeNode> BuildTree(const std::string& bytes) {
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  // The documents are UTF-8 whatever they declare; anything else fails.
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
  if (!parser) return nullptr;
  auto document = std::make_unique<XmlTreeNode>(XmlTreeNode::Kind::Document);
  TreeBuilder b;
  b.parser = parser.get();
  b.input = &bytes;
  b.document = document.get();
  b.open.push_back(document.get());
  XML_SetUserData(b.parser, &b);
  XML_SetElementHandler(b.parser, TreeBuilder::OnStart, TreeBuilder::OnEnd);
  XML_SetCharacterDataHandler(b.parser, TreeBuilder::OnCharacters);
  XML_SetCommentHandler(b.parser, TreeBuilder::OnComment);
  XML_SetProcessingInstructionHandler(b.parser, TreeBuilder::OnProcessingInstruction);
  XML_SetXmlDeclHandler(b.parser, TreeBuilder::OnDeclaration);
  XML_SetStartDoctypeDeclHandler(b.parser, TreeBuilder::OnDoctype);
  XML_SetParamEntityParsing(b.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  const XML_Status status =
      XML_Parse(b.parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
  if (status != XML_STATUS_OK || b.failed) return nullptr;
  return document;
}

bool ReadWholeFile(const PathString& path, std::string& out) {
  // The file the path layer names: a relative path lies in the application folder, as it
  // does for the writer, and an HFS path is converted. A missing file gives its folder,
  // which the check below refuses.
  toolbox::FileRef ref;
  if (!PathToFSRef(path, ref)) return false;
  const int fd = ::open(ref.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<uint64_t>(st.st_size) <= XmlDocument::kMaxFileSize;
  out.clear();
  if (ok) {
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    // Only the bytes actually read are parsed, even when the file shrinks meanwhile.
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    out.resize(got);
  }
  ::close(fd);
  return ok;
}

// Decodes UTF-16 bytes; a leading byte-order mark sets the order, big-endian without one.
// An odd last byte is ignored and unpaired surrogates become U+FFFD.
std::wstring Utf16ToWide(const uint8_t* bytes, size_t n) {
  std::wstring out;
  bool big = true;
  size_t i = 0;
  if (n >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
    big = bytes[0] == 0xFE;
    i = 2;
  }
  const auto unit = [&](size_t at) -> uint32_t {
    return big ? (uint32_t{bytes[at]} << 8) | bytes[at + 1] : (uint32_t{bytes[at + 1]} << 8) | bytes[at];
  };
  for (; i + 1 < n; i += 2) {
    const uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    out.push_back(u >= 0xD800 && u <= 0xDFFF ? toolbox::kReplacementChar : static_cast<wchar_t>(u));
  }
  return out;
}

}  // namespace

// --- Escapes ------------------------------------------------------------------------------

std::wstring DecodeXmlEscapes(const std::wstring& text) {
  static const struct {
    const wchar_t* name;
    wchar_t c;
  } kNamed[] = {{L"&quot;", L'"'}, {L"&apos;", L'\''}, {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}};
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == L'&') {
      bool done = false;
      for (const auto& e : kNamed) {
        const size_t len = std::char_traits<wchar_t>::length(e.name);
        if (text.compare(i, len, e.name) == 0) {
          out.push_back(e.c);
          i += len;
          done = true;
          break;
        }
      }
      if (done) continue;
      uint32_t value = 0;
      size_t len = 0;
      if (ReadHexReference(text, i, 6, value, len) && IsXmlChar(value)) {
        out.push_back(static_cast<wchar_t>(value));
        i += len;
        continue;
      }
    }
    out.push_back(text[i++]);
  }
  return out;
}

std::string RepairLegacyXml(std::string bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto isHigh = [](uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; };
  const auto isLow = [](uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
  static const struct {
    std::string_view open, close;
  } kLiteralSections[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  std::string_view literalEnd;  // the end of the literal section being copied, if any
  const auto isControl = [](unsigned char c) {
    return (c >= 0x01 && c <= 0x08) || c == 0x0B || c == 0x0C || (c >= 0x0E && c <= 0x1F);
  };
  for (size_t i = 0; i < bytes.size();) {
    // A run of bytes that none of the cases below touches is copied at once: nearly all of
    // a document.
    size_t run = i;
    if (literalEnd.empty()) {
      while (run < bytes.size() && bytes[run] != '<' && bytes[run] != '&' &&
             !isControl(static_cast<unsigned char>(bytes[run])))
        ++run;
    } else {
      while (run < bytes.size() && bytes[run] != literalEnd.front() &&
             !isControl(static_cast<unsigned char>(bytes[run])))
        ++run;
    }
    if (run > i) {
      out.append(bytes, i, run - i);
      i = run;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (isControl(c)) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (!literalEnd.empty()) {
      if (bytes.compare(i, literalEnd.size(), literalEnd) == 0) {
        out += literalEnd;
        i += literalEnd.size();
        literalEnd = {};
      } else {
        out.push_back(bytes[i++]);
      }
      continue;
    }
    if (c == '<') {
      bool opened = false;
      for (const auto& section : kLiteralSections) {
        if (bytes.compare(i, section.open.size(), section.open) == 0) {
          out += section.open;
          i += section.open.size();
          literalEnd = section.close;
          opened = true;
          break;
        }
      }
      if (opened) continue;
    }
    if (c == '&' && IsUnresolvableReference(bytes, i)) {
      out += "&amp;";
      ++i;
      continue;
    }
    uint32_t value = 0;
    size_t len = 0;
    if (c == '&' && ReadHexReference(bytes, i, 8, value, len) && !IsXmlChar(value) && value >= 0x80) {
      uint32_t low = 0;
      size_t lowLen = 0;
      if (isHigh(value) && ReadHexReference(bytes, i + len, 8, low, lowLen) && isLow(low)) {
        out += HexReference(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
        i += len + lowLen;
      } else {
        out += "&#xfffd;";
        i += len;
      }
      continue;
    }
    out.push_back(bytes[i++]);
  }
  return out;
}

// --- Document -----------------------------------------------------------------------------

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const PathString& path) {
  path_ = path;
  tree_.reset();
  bytes_.clear();
  encoding_ = 0;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  return Parse(std::move(bytes));
}

bool XmlDocument::Parse(std::string bytes) {
  bytes_ = RepairLegacyXml(std::move(bytes));
  tree_ = BuildTree(bytes_);
  if (!tree_) {
    bytes_.clear();
    return false;
  }
  XmlValue root;
  XmlElement element;
  XmlValue encoding;
  if (GetRoot(root) && root.ToElement(element) && element.Attribute("encoding", encoding)) {
    const PathString name = encoding.AsString();
    encoding_ = name == L"UTF-8" ? 1 : name == L"UTF-16" ? 2 : 0;
  }
  return true;
}

bool XmlDocument::GetRoot(XmlValue& value) const {
  if (!tree_ || tree_->children.empty() || !value.IsEmpty()) return false;
  value.tree_ = tree_->children.front().get();
  value.path_ = &path_;
  value.encoding_ = encoding_;
  return true;
}

bool XmlDocument::GetDocumentNode(XmlNode& node) const {
  if (!tree_) return false;
  node.tree_ = tree_.get();
  node.path_ = &path_;
  node.encoding_ = encoding_;
  return true;
}

// --- Navigation ---------------------------------------------------------------------------

bool XmlValue::ToNode(XmlNode& node) const {
  if (!tree_) return true;
  node.tree_ = tree_;
  node.path_ = path_;
  node.encoding_ = encoding_;
  return true;
}

bool XmlValue::ToElement(XmlElement& element) const {
  if (!tree_ || tree_->kind != XmlTreeNode::Kind::Element) return false;
  element.node_ = tree_;
  element.path_ = path_;
  element.encoding_ = encoding_;
  return true;
}

bool XmlValue::Name(WideText& text) const {
  if (!tree_ || tree_->kind == XmlTreeNode::Kind::Document) return false;
  return text.Assign(tree_->string.c_str());
}

int XmlNode::ChildCount() const { return tree_ ? static_cast<int>(tree_->children.size()) : 0; }

bool XmlNode::ChildAt(int index, XmlValue& value) const {
  if (!tree_ || index < 0 || static_cast<size_t>(index) >= tree_->children.size()) return false;
  value.tree_ = tree_->children[static_cast<size_t>(index)].get();
  value.attribute_ = nullptr;
  value.path_ = path_;
  value.encoding_ = encoding_;
  return true;
}

bool XmlElement::Attribute(const char* name, XmlValue& value) const {
  if (!node_ || !name) return false;
  const std::string_view wanted(name);  // measured once, not once per attribute
  for (const auto& [key, text] : node_->attributes) {
    if (key == wanted) {
      value.tree_ = nullptr;
      value.attribute_ = &text;
      value.path_ = path_;
      value.encoding_ = encoding_;
      return true;
    }
  }
  return false;
}

int XmlElement::AttributeCount() const {
  return node_ ? static_cast<int>(node_->attributes.size()) : 0;
}

bool XmlElement::AttributeAt(int index, std::string& name, XmlValue& value) const {
  if (!node_ || index < 0 || static_cast<size_t>(index) >= node_->attributes.size()) return false;
  const auto& [key, text] = node_->attributes[static_cast<size_t>(index)];
  name = key;
  value.tree_ = nullptr;
  value.attribute_ = &text;
  value.path_ = path_;
  value.encoding_ = encoding_;
  return true;
}

// --- Reading values -----------------------------------------------------------------------

bool XmlValue::RawText(std::wstring& text) const {
  if (tree_) {
    if (tree_->children.empty()) return false;
    const XmlTreeNode& first = *tree_->children.front();
    if (first.kind == XmlTreeNode::Kind::Document) return false;
    text = first.string;
    return true;
  }
  if (attribute_) {
    text = *attribute_;
    return true;
  }
  return false;
}

bool XmlValue::Text(WideText& text, const wchar_t* defaultText) const {
  if (IsEmpty()) {
    text.Assign(defaultText ? defaultText : L"");
    return false;
  }
  std::wstring raw;
  return RawText(raw) && text.Assign(raw.c_str());
}

PathString XmlValue::AsString() const {
  std::wstring text;
  RawText(text);
  return PathString(std::move(text));
}

PathString XmlValue::AsStringDecoded() const { return PathString(DecodeXmlEscapes(AsString())); }

long XmlValue::AsLong(long defaultValue) const {
  std::wstring text;
  if (!RawText(text)) return defaultValue;
  return ParseLong(text.c_str(), nullptr);
}

double XmlValue::AsDouble(double defaultValue) const {
  std::wstring text;
  if (!RawText(text)) return defaultValue;
  return ParseDouble(text.c_str(), nullptr);
}

bool XmlValue::AsBool() const {
  std::wstring text;
  return RawText(text) && CompareNoCase(text.c_str(), L"true") == 0;
}

bool XmlValue::AsPath(PathString& path) const {
  std::wstring text;
  if (!RawText(text)) return false;
  if (IsRelativePath(PathString(text))) {
    NormalizePath(path, PathString(text), path_ ? *path_ : PathString());
    path = MakeAbsolutePath(path);
  } else {
    path = PathString(std::move(text));
  }
  return true;
}

bool XmlValue::AsBase64Text(WideText& text, const wchar_t* defaultText) const {
  std::wstring encoded;
  if (!RawText(encoded)) {
    text.Assign(defaultText ? defaultText : L"");
    return false;
  }
  const std::string narrow = ToNativeString(encoded);
  ByteBuffer buffer;
  if (!buffer.DecodeBase64(narrow.c_str(), static_cast<int32_t>(std::min<size_t>(narrow.size(), INT32_MAX)))) {
    text.Assign(defaultText ? defaultText : L"");
    return false;
  }
  // Each value is read in its own document's encoding, and only the decoded bytes count.
  if (encoding_ != 0) {
    text.Assign(Utf16ToWide(buffer.Data(), buffer.Size()).c_str());
  } else {
    const auto* begin = reinterpret_cast<const char*>(buffer.Data());
    std::string bytes(begin, buffer.Size());
    bytes.resize(std::char_traits<char>::length(bytes.c_str()));
    text.Assign(FromNativeString(bytes).c_str());
  }
  return true;
}
