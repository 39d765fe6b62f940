#include "framework/platform/XmlReader.h"

#include <expat.h>
#include <fcntl.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/platform/ByteBuffer.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/XmlWriter.h"
#include "toolbox/Utf8.h"

// The tree lives in an arena owned by the document: nodes, attribute records and every
// string (UTF-8, as expat gives it, each followed by a NUL) are carved out of a few large
// blocks, and the whole tree is freed at once.
struct XmlTreeAttribute {
  const char* name;
  const char* value;
  uint32_t nameLength;
  uint32_t valueLength;
};

struct XmlTreeNode {
  enum class Kind : uint8_t { Document, Element, Text, Comment, ProcessingInstruction };
  explicit XmlTreeNode(Kind k) : kind(k) {}

  Kind kind;
  uint32_t stringLength = 0;
  uint32_t attributeCount = 0;
  uint32_t childCount = 0;
  // The tag name, the text, the comment or the processing instruction's target.
  const char* string = "";
  const XmlTreeAttribute* attributes = nullptr;
  XmlTreeNode* const* children = nullptr;

  std::string_view String() const { return {string, stringLength}; }
};

namespace {

// Blocks of the trees' arenas. A freed tree's blocks are kept for the next document (up to
// a bound), so that loading one snapshot after another does not hand the same memory back
// and forth to the system, paying a page fault per page each time.
class BlockPool {
 public:
  static constexpr size_t kBlockSize = 1u << 20;
  static constexpr size_t kMaxKept = 16;

  // Never destroyed: a document may be closed during the process's exit.
  static BlockPool& Instance() {
    static BlockPool* const pool = new BlockPool;
    return *pool;
  }
  // A block of kBlockSize bytes. A new block has its pages made at once, as one call, rather
  // than one fault at a time as the tree fills it: the tree fills every page it takes.
  char* Take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!kept_.empty()) {
        char* block = kept_.back();
        kept_.pop_back();
        return block;
      }
    }
    void* block = mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return static_cast<char*>(block);
  }
  void Give(char* block) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (kept_.size() < kMaxKept) {
        kept_.push_back(block);
        return;
      }
    }
    munmap(block, kBlockSize);
  }

 private:
  BlockPool() { kept_.reserve(kMaxKept); }
  std::mutex mutex_;
  std::vector<char*> kept_;
};

class Arena {
 public:
  Arena() = default;
  ~Arena() {
    for (const Block& b : blocks_) {
      if (b.pooled)
        BlockPool::Instance().Give(b.data);
      else
        ::operator delete(b.data);
    }
  }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  [[gnu::always_inline]] void* Allocate(size_t size, size_t align) {
    size_t at = (used_ + align - 1) & ~(align - 1);
    if (at + size > capacity_) [[unlikely]] {
      NewBlock(size);
      at = 0;
    }
    used_ = at + size;
    return current_ + at;
  }
  template <typename T>
  T* Array(size_t count) {
    return static_cast<T*>(Allocate(sizeof(T) * count, alignof(T)));
  }
  // A copy of the bytes followed by a NUL.
  char* String(const char* bytes, size_t length) {
    char* copy = static_cast<char*>(Allocate(length + 1, 1));
    if (length) std::memcpy(copy, bytes, length);
    copy[length] = '\0';
    return copy;
  }
  // A copy of the NUL-terminated text. Most texts are a few bytes: they are copied as they
  // are measured, into the room the block has left.
  const char* CString(const char* text, uint32_t& length) {
    char* const to = current_ + used_;
    const size_t room = capacity_ - used_;
    for (size_t i = 0; i < room && i < 32; ++i) {
      to[i] = text[i];
      if (text[i] == '\0') {
        used_ += i + 1;
        length = static_cast<uint32_t>(i);
        return to;
      }
    }
    const size_t n = std::strlen(text);
    length = static_cast<uint32_t>(n);
    return String(text, n);
  }

 private:
  struct Block {
    char* data;
    bool pooled;
  };
  [[gnu::noinline]] void NewBlock(size_t atLeast) {
    // Blocks are allocated at their full size; an allocation too large for one (a huge
    // text) gets a block of its own.
    const bool pooled = atLeast <= BlockPool::kBlockSize;
    char* data = pooled ? BlockPool::Instance().Take() : static_cast<char*>(::operator new(atLeast));
    blocks_.push_back({data, pooled});
    current_ = data;
    capacity_ = pooled ? BlockPool::kBlockSize : atLeast;
    used_ = 0;
  }

  std::vector<Block> blocks_;
  char* current_ = nullptr;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

}  // namespace

struct XmlTree {
  Arena arena;
  XmlTreeNode* document = nullptr;
  // Texts of a block's size or more stay in the strings they were gathered in: a copy
  // would hold a second document-sized text while the first is still there.
  std::deque<std::string> largeTexts;
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
bool ReadHexReference(std::basic_string_view<CharT> s, size_t pos, size_t maxDigits,
                      uint32_t& value, size_t& length) {
  if (pos + 3 > s.size() || s[pos] != CharT('&') || s[pos + 1] != CharT('#') || s[pos + 2] != CharT('x'))
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
bool IsUnresolvableReference(std::string_view s, size_t pos) {
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

// The control characters XML 1.0 does not allow (NUL aside, which no text can hold).
bool IsLegacyControl(unsigned char c) {
  return (c >= 0x01 && c <= 0x08) || c == 0x0B || c == 0x0C || (c >= 0x0E && c <= 0x1F);
}

std::string HexReference(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "&#x%x;", static_cast<unsigned>(c));
  return buf;
}

// --- Building the tree with expat -------------------------------------------------------

struct TreeBuilder {
  XML_Parser parser = nullptr;
  std::string_view input;
  XmlTree* tree = nullptr;
  std::vector<XmlTreeNode*> open;  // the element chain, document first
  // The children of the open elements, the innermost element's last; `childrenFrom` holds
  // where each open element's begin. An element's children move into the arena when it ends.
  std::vector<XmlTreeNode*> children;
  std::vector<size_t> childrenFrom;
  // Whether the markup refers to a line feed anywhere: without one no attribute value can
  // hold a line feed to be dropped.
  bool lineFeedReference = true;
  std::string pendingText;
  bool pendingFromReference = false;
  size_t nodes = 0;
  size_t maxNodes = XmlDocument::kMaxNodes;
  bool failed = false;

  // Names repeat from element to element: each is kept once while it keeps coming. expat
  // hands an attribute name at the same address each time, so the last copy is found by
  // that address; its text is compared, so an address that now holds another name makes a
  // new copy.
  struct NameSlot {
    const char* from = nullptr;
    const char* copy = nullptr;
    uint32_t length = 0;
  };
  std::array<NameSlot, 512> names{};

  const char* Name(const char* text, uint32_t& length) {
    const auto address = reinterpret_cast<uintptr_t>(text);
    NameSlot& slot = names[((address >> 3) * 0x9E3779B97F4A7C15ull) >> 55];
    if (slot.from == text && std::strncmp(slot.copy, text, slot.length + 1) == 0) {
      length = slot.length;
      return slot.copy;
    }
    slot.from = text;
    slot.copy = tree->arena.CString(text, slot.length);
    length = slot.length;
    return slot.copy;
  }

  void Fail() {
    if (!failed) {
      failed = true;
      XML_StopParser(parser, XML_FALSE);
    }
  }

  XmlTreeNode* Add(XmlTreeNode::Kind kind) {
    if (++nodes > maxNodes) {
      Fail();
      return nullptr;
    }
    auto* node = new (tree->arena.Array<XmlTreeNode>(1)) XmlTreeNode(kind);
    children.push_back(node);
    return node;
  }

  void SetString(XmlTreeNode* node, const char* text, size_t length) {
    node->string = tree->arena.String(text, length);
    node->stringLength = static_cast<uint32_t>(length);
  }

  // The element's children, from `from` on, move into the arena.
  void TakeChildren(XmlTreeNode* parent, size_t from) {
    const size_t count = children.size() - from;
    if (count != 0) {
      XmlTreeNode** array = tree->arena.Array<XmlTreeNode*>(count);
      std::copy(children.begin() + static_cast<std::ptrdiff_t>(from), children.end(), array);
      parent->children = array;
      parent->childCount = static_cast<uint32_t>(count);
    }
    children.resize(from);
  }

  void FlushText() {
    if (pendingText.empty()) return;
    bool blank = true;
    for (char c : pendingText)
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
    if (!blank || pendingFromReference) {
      if (XmlTreeNode* node = Add(XmlTreeNode::Kind::Text)) {
        if (pendingText.size() < BlockPool::kBlockSize) {
          SetString(node, pendingText.data(), pendingText.size());
        } else {
          const std::string& kept = tree->largeTexts.emplace_back(std::move(pendingText));
          node->string = kept.c_str();
          node->stringLength = static_cast<uint32_t>(kept.size());
          pendingText = std::string();
        }
      }
    }
    pendingText.clear();
    pendingFromReference = false;
  }

  static void DropLineFeeds(XmlTreeAttribute& a) {
    char* value = const_cast<char*>(a.value);  // the builder's own copy
    char* end = std::remove(value, value + a.valueLength, '\n');
    *end = '\0';
    a.valueLength = static_cast<uint32_t>(end - value);
  }

  static TreeBuilder& Of(void* data) { return *static_cast<TreeBuilder*>(data); }

  static void OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (static_cast<int>(b.open.size()) > XmlDocument::kMaxDepth) return b.Fail();
    XmlTreeNode* node = b.Add(XmlTreeNode::Kind::Element);
    if (!node) return;
    node->string = b.Name(name, node->stringLength);
    size_t count = 0;
    while (atts[count] && atts[count + 1]) count += 2;
    count /= 2;
    if (count != 0) {
      if (b.nodes + count > b.maxNodes) return b.Fail();
      b.nodes += count;
      Arena& arena = b.tree->arena;
      XmlTreeAttribute* array = arena.Array<XmlTreeAttribute>(count);
      for (size_t i = 0; i < count; ++i) {
        XmlTreeAttribute& a = array[i];
        a.name = b.Name(atts[2 * i], a.nameLength);
        a.value = arena.CString(atts[2 * i + 1], a.valueLength);
        // Line feeds in attribute values come only from references; they are not kept.
        if (b.lineFeedReference) DropLineFeeds(a);
      }
      node->attributes = array;
      node->attributeCount = static_cast<uint32_t>(count);
    }
    b.open.push_back(node);
    b.childrenFrom.push_back(b.children.size());
  }

  static void OnEnd(void* data, const XML_Char*) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (b.open.size() > 1) {
      b.TakeChildren(b.open.back(), b.childrenFrom.back());
      b.open.pop_back();
      b.childrenFrom.pop_back();
    }
  }

  static void OnCharacters(void* data, const XML_Char* s, int len) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    const XML_Index at = XML_GetCurrentByteIndex(b.parser);
    if (at >= 0 && static_cast<size_t>(at) < b.input.size()) {
      const size_t from = static_cast<size_t>(at);
      if (b.input[from] == '&') b.pendingFromReference = true;
      // A text arrives in pieces (one per line); growing a large one piece by piece would
      // copy it, so room for all of it, up to the next markup, is made at once.
      std::string& text = b.pendingText;
      if (len > 4096 && text.capacity() - text.size() < static_cast<size_t>(len)) {
        const void* lt = std::memchr(b.input.data() + from, '<', b.input.size() - from);
        const size_t run = lt ? static_cast<size_t>(static_cast<const char*>(lt) - (b.input.data() + from))
                              : b.input.size() - from;
        text.reserve(text.size() + std::max(run, static_cast<size_t>(len)));
      }
    }
    b.pendingText.append(s, static_cast<size_t>(len));
  }

  static void OnComment(void* data, const XML_Char* text) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::Comment))
      b.SetString(node, text, std::strlen(text));
  }

  static void OnProcessingInstruction(void* data, const XML_Char* target, const XML_Char*) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    b.FlushText();
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::ProcessingInstruction))
      b.SetString(node, target, std::strlen(target));
  }

  static void OnDeclaration(void* data, const XML_Char*, const XML_Char*, int) {
    TreeBuilder& b = Of(data);
    if (b.failed) return;
    if (XmlTreeNode* node = b.Add(XmlTreeNode::Kind::ProcessingInstruction))
      b.SetString(node, "xml", 3);
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

using ParserPtr = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

// Parses the document into a tree: `bytes` lie at the start of the parser's own buffer (from
// XML_GetBuffer), so expat parses them where they were read.
std::unique_ptr<XmlTree> BuildTree(const ParserPtr& parser, std::string_view bytes,
                                   bool lineFeedReference, size_t maxNodes) {
  auto tree = std::make_unique<XmlTree>();
  tree->document = new (tree->arena.Array<XmlTreeNode>(1)) XmlTreeNode(XmlTreeNode::Kind::Document);
  TreeBuilder b;
  b.parser = parser.get();
  b.input = bytes;
  b.lineFeedReference = lineFeedReference;
  b.maxNodes = maxNodes;
  b.tree = tree.get();
  b.open.push_back(tree->document);
  b.childrenFrom.push_back(0);
  XML_SetUserData(b.parser, &b);
  XML_SetElementHandler(b.parser, TreeBuilder::OnStart, TreeBuilder::OnEnd);
  XML_SetCharacterDataHandler(b.parser, TreeBuilder::OnCharacters);
  XML_SetCommentHandler(b.parser, TreeBuilder::OnComment);
  XML_SetProcessingInstructionHandler(b.parser, TreeBuilder::OnProcessingInstruction);
  XML_SetXmlDeclHandler(b.parser, TreeBuilder::OnDeclaration);
  XML_SetStartDoctypeDeclHandler(b.parser, TreeBuilder::OnDoctype);
  XML_SetParamEntityParsing(b.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  const XML_Status status = XML_ParseBuffer(b.parser, static_cast<int>(bytes.size()), XML_TRUE);
  if (status != XML_STATUS_OK || b.failed) return nullptr;
  b.TakeChildren(tree->document, 0);
  return tree;
}

// Reads the whole file straight into the parser's buffer; `bytes` is what was read. Only a
// regular file is read: it is opened without waiting (a named pipe would block an ordinary
// open until a writer came) and checked before anything is read.
XmlDocument::LoadStatus ReadIntoParser(const PathString& path, const ParserPtr& parser,
                                       size_t maxFileSize, std::string_view& bytes) {
  using Status = XmlDocument::LoadStatus;
  // The file the path layer names: a relative path lies in the application folder, as it
  // does for the writer, and an HFS path is converted. A missing file gives its folder,
  // which the check below refuses.
  toolbox::FileRef ref;
  if (!PathToFSRef(path, ref)) return Status::NotAFile;
  // Opening a device can have effects of its own: anything but a file is refused unopened.
  struct stat st {};
  if (::stat(ref.path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? Status::NotAFile : Status::CannotRead;
  if (!S_ISREG(st.st_mode)) return Status::NotAFile;
  const int fd = ::open(ref.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  // Something is there that refuses to be read (permission, I/O): not the same as nothing.
  if (fd < 0) return errno == ENOENT ? Status::NotAFile : Status::CannotRead;
  // What was opened is checked again: the item may have been replaced meanwhile.
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return Status::CannotRead;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::NotAFile;
  }
  if (static_cast<uint64_t>(st.st_size) > maxFileSize ||
      static_cast<uint64_t>(st.st_size) > static_cast<uint64_t>(INT32_MAX)) {
    ::close(fd);
    return Status::Malformed;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  char* buffer = static_cast<char*>(XML_GetBuffer(parser.get(), static_cast<int>(size)));
  bool ok = buffer != nullptr || size == 0;
  size_t got = 0;
  // Only the bytes actually read are parsed, even when the file shrinks meanwhile.
  while (ok && got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes = std::string_view(buffer ? buffer : "", got);
  return ok ? Status::Loaded : Status::CannotRead;
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
      if (ReadHexReference(std::wstring_view(text), i, 6, value, len) && IsXmlChar(value)) {
        out.push_back(static_cast<wchar_t>(value));
        i += len;
        continue;
      }
    }
    out.push_back(text[i++]);
  }
  return out;
}

namespace {

// The first byte at or after `from` that is '<', '&' or below U+0020: the only bytes where
// a repair or a literal section can begin.
size_t NextNotable(std::string_view s, size_t from) {
#ifdef __SSE2__
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i maxControl = _mm_set1_epi8(0x1F);
  for (; from + 16 <= s.size(); from += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + from));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, maxControl), v);
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)), control);
    if (const int mask = _mm_movemask_epi8(hit)) return from + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; from < s.size(); ++from) {
    const auto c = static_cast<unsigned char>(s[from]);
    if (c == '<' || c == '&' || c < 0x20) return from;
  }
  return s.size();
}

// Whether the character reference at pos ("&#" decimal digits ";" or "&#x" hexadecimal
// digits ";") stands for a line feed.
bool IsLineFeedReference(std::string_view s, size_t pos) {
  size_t i = pos + 2;
  const bool hex = i < s.size() && s[i] == 'x';
  if (hex) ++i;
  const size_t first = i;
  uint32_t value = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint32_t>(c - '0');
    else if (hex && IsHexDigit(c))
      digit = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
    else
      break;
    value = std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
  }
  return i > first && i < s.size() && s[i] == ';' && value == 0x0A;
}

// The repair pass. Nearly every document needs no repair: nothing is copied until something
// changes, and Repaired is returned only when `out` holds the repaired text. A repair can
// make a document three times its size (every control byte becomes U+FFFD): one that grows
// past `maxSize` is not finished (TooLarge), as a file of that size would not be read.
// `lineFeedReference` tells whether the markup holds a reference to a line feed, the only
// way one reaches an attribute value.
enum class RepairResult { Unchanged, Repaired, TooLarge };

RepairResult RepairScan(std::string_view bytes, std::string& out, bool& lineFeedReference,
                        size_t maxSize = SIZE_MAX) {
  size_t kept = 0;  // bytes before this are in `out` once anything changed
  bool changed = false;
  lineFeedReference = false;
  const auto replace = [&](size_t at, size_t length, std::string_view with) {
    if (!changed) {
      out.clear();
      out.reserve(bytes.size() + bytes.size() / 16);
      changed = true;
    }
    out.append(bytes.substr(kept, at - kept));
    out.append(with);
    kept = at + length;
  };
  const auto isHigh = [](uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; };
  const auto isLow = [](uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
  static const struct {
    std::string_view open, close;
  } kLiteralSections[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  std::string_view literalEnd;  // the end of the literal section being passed, if any
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    if (changed && out.size() + (i - kept) > maxSize) return RepairResult::TooLarge;
    // A run of bytes that none of the cases below touches is passed at once: nearly all of
    // a document.
    if (literalEnd.empty()) {
      i = NextNotable(bytes, i);
    } else {
      while (i < n && bytes[i] != literalEnd.front() && !IsLegacyControl(static_cast<unsigned char>(bytes[i])))
        ++i;
    }
    if (i >= n) break;
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (IsLegacyControl(c)) {
      replace(i, 1, "\xEF\xBF\xBD");
      ++i;
      continue;
    }
    if (!literalEnd.empty()) {
      if (bytes.compare(i, literalEnd.size(), literalEnd) == 0) {
        i += literalEnd.size();
        literalEnd = {};
      } else {
        ++i;
      }
      continue;
    }
    if (c != '&') {
      // '<', or a white-space or NUL byte.
      if (c == '<' && i + 1 < n && (bytes[i + 1] == '!' || bytes[i + 1] == '?')) {
        for (const auto& section : kLiteralSections) {
          if (bytes.compare(i, section.open.size(), section.open) == 0) {
            i += section.open.size() - 1;
            literalEnd = section.close;
            break;
          }
        }
      }
      ++i;
      continue;
    }
    if (i + 1 < n && bytes[i + 1] == '#' && IsLineFeedReference(bytes, i)) lineFeedReference = true;
    if (IsUnresolvableReference(bytes, i)) {
      replace(i, 1, "&amp;");
      ++i;
      continue;
    }
    uint32_t value = 0;
    size_t len = 0;
    if (ReadHexReference(bytes, i, 8, value, len) && !IsXmlChar(value) && value >= 0x80) {
      uint32_t low = 0;
      size_t lowLen = 0;
      if (isHigh(value) && ReadHexReference(bytes, i + len, 8, low, lowLen) && isLow(low)) {
        replace(i, len + lowLen, HexReference(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00)));
        i += len + lowLen;
      } else {
        replace(i, len, "&#xfffd;");
        i += len;
      }
      continue;
    }
    ++i;
  }
  if (!changed) return RepairResult::Unchanged;
  if (out.size() + (n - kept) > maxSize) return RepairResult::TooLarge;
  out.append(bytes.substr(kept));
  return RepairResult::Repaired;
}

}  // namespace

std::string RepairLegacyXml(std::string bytes) {
  std::string out;
  bool lineFeedReference;
  if (RepairScan(bytes, out, lineFeedReference) != RepairResult::Repaired) return bytes;
  return out;
}

// --- Document -----------------------------------------------------------------------------

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const PathString& path, const XmlLimits& limits) {
  path_ = path;
  tree_.reset();
  encoding_ = 0;
  status_ = LoadStatus::CannotRead;
  // The documents are UTF-8 whatever they declare; anything else fails.
  ParserPtr parser(XML_ParserCreate("UTF-8"));
  if (!parser) return false;
  std::string_view bytes;
  status_ = ReadIntoParser(path, parser, limits.maxFileSize, bytes);
  if (status_ != LoadStatus::Loaded) return false;
  status_ = LoadStatus::Malformed;
  std::string repaired;
  bool lineFeedReference;
  const RepairResult repair = RepairScan(bytes, repaired, lineFeedReference,
                                         std::min<size_t>(limits.maxFileSize, INT32_MAX));
  if (repair == RepairResult::TooLarge) return false;
  if (repair == RepairResult::Repaired) {
    // The repaired text takes the place of what was read, and is not kept beside it.
    auto* buffer = static_cast<char*>(XML_GetBuffer(parser.get(), static_cast<int>(repaired.size())));
    if (!buffer) return false;
    std::memcpy(buffer, repaired.data(), repaired.size());
    bytes = std::string_view(buffer, repaired.size());
    std::string().swap(repaired);
  }
  tree_ = BuildTree(parser, bytes, lineFeedReference, limits.maxNodes);
  if (!tree_) return false;
  status_ = LoadStatus::Loaded;
  XmlValue root;
  XmlElement element;
  XmlValue encoding;
  std::string_view name;
  if (GetRoot(root) && root.ToElement(element) && element.Attribute("encoding", encoding) &&
      encoding.RawText(name))
    encoding_ = name == "UTF-8" ? 1 : name == "UTF-16" ? 2 : 0;
  return true;
}

bool XmlDocument::GetRoot(XmlValue& value) const {
  if (!tree_ || tree_->document->childCount == 0 || !value.IsEmpty()) return false;
  value.tree_ = tree_->document->children[0];
  value.path_ = &path_;
  value.encoding_ = encoding_;
  return true;
}

bool XmlDocument::GetDocumentNode(XmlNode& node) const {
  if (!tree_) return false;
  node.tree_ = tree_->document;
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
  element.next_ = 0;
  return true;
}

namespace {

// Calls f with the UTF-8 text as a NUL-terminated wide string; short ASCII text, nearly
// every value, is widened on the stack.
template <typename F>
auto WithWideText(std::string_view text, F&& f) {
  wchar_t buffer[64];
  if (text.size() < std::size(buffer)) {
    bool ascii = true;
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      ascii = ascii && c < 0x80;
      buffer[i] = static_cast<wchar_t>(c);
    }
    if (ascii) {
      buffer[text.size()] = L'\0';
      return f(static_cast<const wchar_t*>(buffer));
    }
  }
  const std::wstring wide = toolbox::Utf8ToWide(text);
  return f(wide.c_str());
}

}  // namespace

bool XmlValue::Name(WideText& text) const {
  if (!tree_ || tree_->kind == XmlTreeNode::Kind::Document) return false;
  return WithWideText(tree_->String(), [&](const wchar_t* wide) { return text.Assign(wide); });
}

bool XmlValue::Utf8Name(std::string_view& name) const {
  if (!tree_ || tree_->kind == XmlTreeNode::Kind::Document) return false;
  name = tree_->String();
  return true;
}

int XmlNode::ChildCount() const { return tree_ ? static_cast<int>(tree_->childCount) : 0; }

bool XmlNode::ChildAt(int index, XmlValue& value) const {
  if (!tree_ || index < 0 || static_cast<size_t>(index) >= tree_->childCount) return false;
  value.tree_ = tree_->children[index];
  value.attribute_ = nullptr;
  value.path_ = path_;
  value.encoding_ = encoding_;
  return true;
}

bool XmlElement::Attribute(const char* name, XmlValue& value) const {
  if (!node_ || !name) return false;
  const size_t length = std::strlen(name);
  const uint32_t count = node_->attributeCount;
  // XML allows no attribute twice, so where the search starts cannot change what it finds.
  uint32_t i = next_ < count ? next_ : 0;
  for (uint32_t tried = 0; tried < count; ++tried) {
    const XmlTreeAttribute& a = node_->attributes[i];
    if (a.nameLength == length && std::memcmp(a.name, name, length) == 0) {
      next_ = i + 1;
      value.tree_ = nullptr;
      value.attribute_ = &a;
      value.path_ = path_;
      value.encoding_ = encoding_;
      return true;
    }
    if (++i == count) i = 0;
  }
  return false;
}

int XmlElement::AttributeCount() const {
  return node_ ? static_cast<int>(node_->attributeCount) : 0;
}

bool XmlElement::AttributeAt(int index, std::string& name, XmlValue& value) const {
  if (!node_ || index < 0 || static_cast<size_t>(index) >= node_->attributeCount) return false;
  const XmlTreeAttribute& a = node_->attributes[index];
  name.assign(a.name, a.nameLength);
  value.tree_ = nullptr;
  value.attribute_ = &a;
  value.path_ = path_;
  value.encoding_ = encoding_;
  return true;
}

// --- Reading values -----------------------------------------------------------------------

bool XmlValue::RawText(std::string_view& text) const {
  if (tree_) {
    if (tree_->childCount == 0) return false;
    const XmlTreeNode& first = *tree_->children[0];
    if (first.kind == XmlTreeNode::Kind::Document) return false;
    text = first.String();
    return true;
  }
  if (attribute_) {
    text = std::string_view(attribute_->value, attribute_->valueLength);
    return true;
  }
  return false;
}

bool XmlValue::Text(WideText& text, const wchar_t* defaultText) const {
  if (IsEmpty()) {
    text.Assign(defaultText ? defaultText : L"");
    return false;
  }
  std::string_view raw;
  return RawText(raw) && WithWideText(raw, [&](const wchar_t* wide) { return text.Assign(wide); });
}

PathString XmlValue::AsString() const {
  std::string_view text;
  if (!RawText(text)) return PathString();
  return PathString(toolbox::Utf8ToWide(text));
}

std::wstring XmlAttributeAsRead(const std::wstring& text) {
  std::wstring read = DecodeXmlEscapes(EscapeXmlText(text));
  std::erase(read, L'\n');
  return read;
}

PathString XmlValue::AsStringDecoded() const { return PathString(DecodeXmlEscapes(AsString())); }

long XmlValue::AsLong(long defaultValue) const {
  std::string_view text;
  if (!RawText(text)) return defaultValue;
  // Nearly every value is a plain number: an optional '-' and at most nine digits, which
  // the general parser would read the same way.
  const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() > sign && text.size() - sign <= 9) {
    long value = 0;
    size_t i = sign;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    if (i == text.size()) return sign ? -value : value;
  }
  return WithWideText(text, [](const wchar_t* wide) -> long { return ParseLong(wide, nullptr); });
}

double XmlValue::AsDouble(double defaultValue) const {
  std::string_view text;
  if (!RawText(text)) return defaultValue;
  return WithWideText(text, [](const wchar_t* wide) { return ParseDouble(wide, nullptr); });
}

bool XmlValue::AsBool() const {
  // "true" in any letter case: no character beyond ASCII folds to one of its letters, so the
  // bytes can be compared as they are.
  std::string_view text;
  return RawText(text) && text.size() == 4 && (text[0] | 0x20) == 't' && (text[1] | 0x20) == 'r' &&
         (text[2] | 0x20) == 'u' && (text[3] | 0x20) == 'e';
}

bool XmlValue::FitsPath() const {
  std::string_view raw;
  return RawText(raw) && FitsPathMax(raw);
}

bool XmlValue::AsPath(PathString& path) const {
  std::string_view raw;
  if (!RawText(raw) || !FitsPathMax(raw)) return false;
  std::wstring text = toolbox::Utf8ToWide(raw);
  if (IsRelativePath(PathString(text))) {
    NormalizePath(path, PathString(text), path_ ? *path_ : PathString());
    path = MakeAbsolutePath(path);
  } else {
    path = PathString(std::move(text));
  }
  return true;
}

bool XmlValue::AsBase64Text(WideText& text, const wchar_t* defaultText) const {
  std::string_view raw;
  if (!RawText(raw)) {
    text.Assign(defaultText ? defaultText : L"");
    return false;
  }
  const std::string narrow = ToNativeString(toolbox::Utf8ToWide(raw));
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
