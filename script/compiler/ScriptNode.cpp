#include "script/compiler/ScriptNode.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define BRIVANE_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define BRIVANE_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define BRIVANE_POISON(address, size) ((void)(address), (void)(size))
#define BRIVANE_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

const char* const kNodeKindNames[kNodeKindCount] = {
    "NoOp",          "Array",          "Button",          "MovieClip",
    "List",          "ExpressionList", "if",              "for",
    "for..in",       "while",          "do..while",       "With",
    "OnClipEvent",   "On",             "Break",           "Return",
    "Continue",      "Value",          "Constant",        "Number",
    "String",        "Identifier",     "Attribute",       "Method",
    "Function",      "NewObject",      "Subscript",       "Define Variable",
    "Define Array",  "Define Function", "Define Attribute", "Define Method",
    "Define Object", "+",              "-",               "*",
    "/",             "%",              "<<",              ">>",
    ">>>",           "&",              "|",               "^",
    "&&",            "||",             "==",              "!=",
    ">",             "<",              ">=",              "<=",
    "?",             "!",              "~",               "+x",
    "-x",            "++x",            "--x",             "x++",
    "x--",           "=",              "+=",              "-=",
    "*=",            "/=",             "%=",              "<<=",
    ">>=",           ">>>=",           "&=",              "|=",
    "^=",            "delete",         "instanceof",
};

// The blocks of one arena: memory is taken in order and never handed out twice; it is all
// given back at once when the arena is closed and nothing taken from it is still in use.
class NodeBlocks {
 public:
  static constexpr size_t kBlockBytes = 64 * 1024;
  // What a node and a children array need.
  static constexpr size_t kAlignment = alignof(void*);

  ~NodeBlocks() {
    for (const Block& block : blocks_) BRIVANE_UNPOISON(block.bytes.get(), block.size);
  }

  void* Take(size_t bytes) {
    bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (static_cast<size_t>(end_ - next_) < bytes) NextBlock(bytes);
    char* taken = next_;
    next_ += bytes;
    ++inUse_;
    // Memory handed out again after a rewind was poisoned when it was given back.
    BRIVANE_UNPOISON(taken, bytes);
    return taken;
  }

  ScriptNodeArena::Position Here() const { return {current_, next_, inUse_}; }

  // Takes memory again from `position` on when everything taken since has been given back;
  // the blocks stay for what comes next.
  bool Rewind(const ScriptNodeArena::Position& position) {
    if (inUse_ != position.inUse || position.block > current_ || blocks_.empty()) return false;
    current_ = position.block;
    next_ = position.next ? position.next : blocks_[current_].bytes.get();
    end_ = blocks_[current_].bytes.get() + blocks_[current_].size;
    return true;
  }

  // Gives back what Take returned; true when the blocks are to be deleted.
  bool Give(void* taken, size_t bytes) {
    BRIVANE_POISON(taken, bytes);
    return --inUse_ == 0 && !open_;
  }

  // Closes the arena; true when the blocks are to be deleted.
  bool Close() {
    open_ = false;
    return inUse_ == 0;
  }

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t size;
  };
  // Moves on to the next block with room for `bytes`, made when there is none: blocks left
  // behind by a rewind are used again before new ones are made.
  void NextBlock(size_t bytes) {
    size_t next = blocks_.empty() ? 0 : current_ + 1;
    if (next >= blocks_.size() || blocks_[next].size < bytes) {
      const size_t size = bytes > kBlockBytes ? bytes : kBlockBytes;
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(next),
                     Block{std::unique_ptr<char[]>(new char[size]), size});
    }
    current_ = next;
    next_ = blocks_[current_].bytes.get();
    end_ = next_ + blocks_[current_].size;
  }

  std::vector<Block> blocks_;
  size_t current_ = 0;
  char* next_ = nullptr;
  char* end_ = nullptr;
  size_t inUse_ = 0;
  bool open_ = true;
};

namespace {

thread_local NodeBlocks* openBlocks = nullptr;

// Every node and children array is preceded by a header naming the blocks it came from,
// or null for the heap.
constexpr size_t kHeader = sizeof(NodeBlocks*);
static_assert(alignof(ScriptNode) <= NodeBlocks::kAlignment &&
              kHeader % NodeBlocks::kAlignment == 0);

void* AllocateNodeMemory(size_t size) {
  NodeBlocks* blocks = openBlocks;
  char* base = static_cast<char*>(blocks ? blocks->Take(size + kHeader)
                                         : ::operator new(size + kHeader));
  *reinterpret_cast<NodeBlocks**>(base) = blocks;
  return base + kHeader;
}

void FreeNodeMemory(void* memory, size_t size) {
  if (!memory) return;
  char* base = static_cast<char*>(memory) - kHeader;
  NodeBlocks* blocks = *reinterpret_cast<NodeBlocks**>(base);
  if (!blocks) {
    ::operator delete(base);
  } else if (blocks->Give(base, size + kHeader)) {
    delete blocks;
  }
}

}  // namespace

ScriptNodeArena::ScriptNodeArena() : blocks_(openBlocks ? nullptr : new NodeBlocks) {
  if (blocks_) openBlocks = blocks_;
}

ScriptNodeArena::Position ScriptNodeArena::Here() {
  return openBlocks ? openBlocks->Here() : Position{};
}

bool ScriptNodeArena::Rewind(const Position& position) {
  return openBlocks && openBlocks->Rewind(position);
}

ScriptNodeArena::~ScriptNodeArena() {
  if (!blocks_) return;
  openBlocks = nullptr;
  if (blocks_->Close()) delete blocks_;
}

void* ScriptNode::operator new(size_t size) { return AllocateNodeMemory(size); }

void ScriptNode::operator delete(void* node, size_t size) { FreeNodeMemory(node, size); }

ScriptNode** ScriptNode::NewChildren(uint32_t capacity) {
  auto** children = static_cast<ScriptNode**>(AllocateNodeMemory(capacity * sizeof(ScriptNode*)));
  std::memset(children, 0, capacity * sizeof(ScriptNode*));
  return children;
}

void ScriptNode::DeleteChildren(ScriptNode** children, uint32_t capacity) {
  FreeNodeMemory(children, capacity * sizeof(ScriptNode*));
}

void ScriptNodeBase::Release() { delete this; }

ScriptNodeBase::~ScriptNodeBase() = default;

ScriptNode::ScriptNode(int32_t kind) : kind_(kind) {}

namespace {

// A node's own copy of a text, null for the empty one.
char* CopyText(std::string_view text) {
  if (text.empty()) return nullptr;
  char* copy = static_cast<char*>(AllocateNodeMemory(text.size() + 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void FreeText(char* text) {
  if (text) FreeNodeMemory(text, std::strlen(text) + 1);
}

// What ToString showed last, per node, for any thread. Never destroyed: a node may be
// released while the program ends.
std::mutex& ShownLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::unordered_map<const ScriptNode*, std::string>& ShownTexts() {
  static auto* shown = new std::unordered_map<const ScriptNode*, std::string>;
  return *shown;
}

}  // namespace

ScriptNode::ScriptNode(int32_t kind, const char* text)
    : kind_(kind), text_(CopyText(text ? text : "")) {}

ScriptNode::ScriptNode(int32_t kind, std::string_view text) : kind_(kind), text_(CopyText(text)) {}

namespace {

// Releasing a tree releases its children from their parent's destructor. Past a depth of
// releases under way, children wait in a list that the outermost release works through, so
// that a tall tree (a long chain of operators) does not take a stack frame per level.
constexpr int kReleaseDepth = 64;
thread_local int releaseDepth = 0;

std::vector<ScriptNode*>& WaitingReleases() {
  // Never destroyed: a node may be released while the thread ends.
  thread_local auto* waiting = new std::vector<ScriptNode*>;
  return *waiting;
}

void ReleaseChild(ScriptNode* child) {
  if (releaseDepth >= kReleaseDepth) {
    WaitingReleases().push_back(child);
    return;
  }
  ++releaseDepth;
  child->Release();
  if (releaseDepth == 1) {
    std::vector<ScriptNode*>& waiting = WaitingReleases();
    while (!waiting.empty()) {
      ScriptNode* next = waiting.back();
      waiting.pop_back();
      next->Release();
    }
  }
  --releaseDepth;
}

}  // namespace

ScriptNode::~ScriptNode() {
  parent_ = nullptr;
  for (uint32_t i = 0; i < count_; ++i) {
    if (children_[i]) ReleaseChild(children_[i]);
  }
  DeleteChildren(children_, capacity_);
  children_ = nullptr;
  FreeText(text_);
  text_ = nullptr;
  if (shown_) {
    const std::lock_guard<std::mutex> hold(ShownLock());
    ShownTexts().erase(this);
  }
  count_ = 0;
  capacity_ = 0;
}


void ScriptNode::SetText(const char* text) {
  // The new text may be the old one.
  char* former = text_;
  text_ = CopyText(text ? text : "");
  FreeText(former);
}

void ScriptNode::Reserve() {
  if (!children_) {
    children_ = NewChildren(capacity_);
    if (count_ != capacity_) return;
  }
  if (count_ != capacity_) return;
  const uint32_t grown = 2 * count_ + 1;
  ScriptNode** array = NewChildren(grown);
  for (uint32_t i = 0; i < count_; ++i) array[i] = children_[i];
  DeleteChildren(children_, capacity_);
  children_ = array;
  capacity_ = grown;
}

ScriptNode* ScriptNode::ReplaceChild(uint32_t index, ScriptNode* child) {
  if (index >= count_) return nullptr;
  ScriptNode* former = children_[index];
  if (former) former->SetParent(nullptr);
  if (child) child->SetParent(this);
  children_[index] = child;
  return former;
}

uint32_t ScriptNode::AddChild(ScriptNode* child) {
  if (child) child->SetParent(this);
  Reserve();
  children_[count_++] = child;
  return count_;
}

bool ScriptNode::InsertChild(uint32_t index, ScriptNode* child) {
  if (index >= count_) return false;
  Reserve();
  std::memmove(children_ + index + 1, children_ + index, (count_ - index) * sizeof(ScriptNode*));
  ++count_;
  if (child) child->SetParent(this);
  children_[index] = child;
  return true;
}

ScriptNode* ScriptNode::RemoveChild(uint32_t index) {
  if (index >= count_) return nullptr;
  ScriptNode* removed = children_[index];
  if (removed) removed->SetParent(nullptr);
  std::memmove(children_ + index, children_ + index + 1,
               (count_ - index - 1) * sizeof(ScriptNode*));
  children_[count_ - 1] = nullptr;
  --count_;
  return removed;
}

// The last place the child holds.
int32_t ScriptNode::IndexOfChild(const ScriptNode* child) const {
  for (uint32_t i = count_; i > 0; --i) {
    if (children_[i - 1] == child) return static_cast<int32_t>(i - 1);
  }
  return -1;
}

ScriptNode* const ScriptNode::kNoChildren[4] = {};

const char* ScriptNode::ToString() {
  const std::lock_guard<std::mutex> hold(ShownLock());
  std::string& display = ShownTexts()[this];
  shown_ = true;
  const std::string_view text = GetText();
  display = (kind_ >= 0 && kind_ < kNodeKindCount) ? kNodeKindNames[kind_] : "";
  if (kind_ == kNodeString) {
    display += " = \"";
    display += text;
    display += "\"; ";
  } else if (!text.empty()) {
    display += " = ";
    display += text;
    display += "; ";
  }
  return display.c_str();
}

ScriptNode* ScriptNode::Clone() const {
  ScriptNode* copy = new ScriptNode(kind_, GetText());
  copy->line_ = line_;
  return copy;
}

ScriptNode* ScriptNode::DeepClone() const {
  ScriptNode* copy = Clone();
  for (uint32_t i = 0; i < count_; ++i) {
    if (children_[i]) copy->AddChild(children_[i]->DeepClone());
  }
  return copy;
}
