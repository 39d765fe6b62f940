#pragma once
// The syntax tree of one ActionScript script. Every node has the same shape: a kind number,
// one text, a statement flag, a parent link and an ordered list of children that it owns.
// What a node means follows from its kind alone.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Node kinds. The parser fills text and children as the comments say.
enum ScriptNodeKind : int32_t {
  kNodeNoOp = 0,              // empty statement, missing "for" clause, call-rewrite leftover
  kNodeArray = 1,             // root of a frame script
  kNodeButton = 2,            // root of a script whose last top-level handler is "on"
  kNodeMovieClip = 3,         // root of a script whose last top-level handler is "onClipEvent"
  kNodeList = 4,              // block, or a parameter list of two or more
  kNodeExpressionList = 5,    // two or more comma-separated expressions
  kNodeIf = 6,                // condition, then, [else]
  kNodeFor = 7,               // init, condition, step, body
  kNodeForIn = 8,             // variable, object, body
  kNodeWhile = 9,             // condition, body
  kNodeDoWhile = 10,          // body, condition
  kNodeWith = 11,             // object, body
  kNodeOnClipEvent = 12,      // event literals, body
  kNodeOn = 13,               // event literals, body
  kNodeBreak = 14,
  kNodeReturn = 15,           // [value]
  kNodeContinue = 16,
  kNodeValue = 17,            // member chain: head, then one node per suffix
  kNodeConstant = 18,         // made by constant folding, never by the parser
  kNodeNumber = 19,           // text: the literal as written
  kNodeString = 20,           // text: the literal without its quotes
  kNodeIdentifier = 21,       // text: the name
  kNodeAttribute = 22,        // text: member name after "."
  kNodeMethod = 23,           // text: member name; children: arguments
  kNodeFunction = 24,         // text: called name or empty; children: arguments
  kNodeNewObject = 25,        // text: class name; children: arguments
  kNodeSubscript = 26,        // index expression
  kNodeDefineVariable = 27,   // text: variable name
  kNodeDefineArray = 28,      // elements
  kNodeDefineFunction = 29,   // text: function name; [parameters], body
  kNodeDefineAttribute = 30,  // field name, value
  kNodeDefineMethod = 31,     // [parameters], body
  kNodeDefineObject = 32,     // one Define Attribute per field
  kNodeAdd = 33,
  kNodeSubtract = 34,
  kNodeMultiply = 35,
  kNodeDivide = 36,
  kNodeModulo = 37,
  kNodeShiftLeft = 38,
  kNodeShiftRight = 39,
  kNodeShiftRightUnsigned = 40,
  kNodeBitAnd = 41,
  kNodeBitOr = 42,
  kNodeBitXor = 43,
  kNodeLogicalAnd = 44,
  kNodeLogicalOr = 45,
  kNodeEqual = 46,
  kNodeNotEqual = 47,
  kNodeGreater = 48,
  kNodeLess = 49,
  kNodeGreaterEqual = 50,
  kNodeLessEqual = 51,
  kNodeConditional = 52,      // condition, true value, false value
  kNodeLogicalNot = 53,
  kNodeBitNot = 54,
  kNodeUnaryPlus = 55,
  kNodeUnaryMinus = 56,
  kNodePreIncrement = 57,
  kNodePreDecrement = 58,
  kNodePostIncrement = 59,
  kNodePostDecrement = 60,
  kNodeAssign = 61,           // target, value; 62 to 72 are the compound assignments
  kNodeAssignAdd = 62,
  kNodeAssignSubtract = 63,
  kNodeAssignMultiply = 64,
  kNodeAssignDivide = 65,
  kNodeAssignModulo = 66,
  kNodeAssignShiftLeft = 67,
  kNodeAssignShiftRight = 68,
  kNodeAssignShiftRightUnsigned = 69,
  kNodeAssignBitAnd = 70,
  kNodeAssignBitOr = 71,
  kNodeAssignBitXor = 72,
  kNodeDelete = 73,
  kNodeInstanceof = 74,
};

inline constexpr int kNodeKindCount = 75;

// The binary operators that the parser chains to the left: "a + b + c" is ((a + b) + c).
// Generated scripts build long values from hundreds of pieces this way, so every pass over
// the tree walks such a chain down its left side in a loop rather than by recursion.
inline bool IsLeftChainOperator(int32_t kind) {
  return (kind >= kNodeAdd && kind <= kNodeLessEqual) || kind == kNodeInstanceof;
}

// Names of the node kinds, indexed by kind; ToString starts with them.
extern const char* const kNodeKindNames[kNodeKindCount];

class ScriptNode;

// The operations every node offers, in this order.
class ScriptNodeBase {
 public:
  virtual void Release();
  virtual int32_t GetKind() const = 0;
  virtual void SetKind(int32_t kind) = 0;
  virtual const char* GetText() const = 0;
  virtual void SetText(const char* text) = 0;
  virtual int32_t GetFlag() const = 0;
  virtual void SetFlag(int32_t flag) = 0;
  virtual ScriptNode* GetChild(uint32_t index) const = 0;
  virtual ScriptNode* ReplaceChild(uint32_t index, ScriptNode* child) = 0;
  virtual uint32_t AddChild(ScriptNode* child) = 0;
  virtual bool InsertChild(uint32_t index, ScriptNode* child) = 0;
  virtual ScriptNode* RemoveChild(uint32_t index) = 0;
  virtual int32_t IndexOfChild(const ScriptNode* child) const = 0;
  virtual ScriptNode* GetParent() const = 0;
  virtual void SetParent(ScriptNode* parent) = 0;
  virtual uint32_t ChildCount() const = 0;
  virtual ScriptNode** GetChildren() const = 0;
  virtual const char* ToString() = 0;
  virtual ScriptNode* Clone() const = 0;
  virtual ScriptNode* DeepClone() const = 0;
  virtual ~ScriptNodeBase();
};

class ScriptNode : public ScriptNodeBase {
 public:
  // Nodes and their children arrays come from the thread's open ScriptNodeArena, if any,
  // else from the heap; either way a node is released as any other.
  static void* operator new(size_t size);
  static void operator delete(void* node, size_t size);

  explicit ScriptNode(int32_t kind);
  ScriptNode(int32_t kind, const char* text);
  ScriptNode(int32_t kind, std::string_view text);
  ScriptNode(const ScriptNode&) = delete;
  ScriptNode& operator=(const ScriptNode&) = delete;
  ~ScriptNode() override;

  // The accessors are final: the compiler's passes call them on every node, directly.
  int32_t GetKind() const final { return kind_; }
  void SetKind(int32_t kind) final { kind_ = kind; }
  const char* GetText() const final { return text_ ? text_ : ""; }
  void SetText(const char* text) override;
  int32_t GetFlag() const final { return flag_; }
  void SetFlag(int32_t flag) final { flag_ = flag; }
  ScriptNode* GetChild(uint32_t index) const final { return index < count_ ? children_[index] : nullptr; }
  ScriptNode* ReplaceChild(uint32_t index, ScriptNode* child) override;
  uint32_t AddChild(ScriptNode* child) override;
  bool InsertChild(uint32_t index, ScriptNode* child) override;
  ScriptNode* RemoveChild(uint32_t index) override;
  int32_t IndexOfChild(const ScriptNode* child) const override;
  ScriptNode* GetParent() const final { return parent_; }
  void SetParent(ScriptNode* parent) final { parent_ = parent; }
  uint32_t ChildCount() const final { return count_; }
  // A node that never had a child shows a shared array with no valid entry, never written
  // (it has one of its own from its first child on): code generation asks every leaf.
  ScriptNode** GetChildren() const final {
    return children_ ? children_ : const_cast<ScriptNode**>(kNoChildren);
  }
  const char* ToString() override;
  ScriptNode* Clone() const override;
  ScriptNode* DeepClone() const override;

  // Size of the children array (grows 4, 9, 19, 39, ...). The array is made when the first
  // child comes.
  uint32_t Capacity() const { return capacity_; }

  // The line of the preprocessed text where the construct starts; 0 when unknown (a root, or
  // a node made after parsing).
  int32_t GetLine() const { return line_; }
  void SetLine(int32_t line) { line_ = line; }

 private:
  void Reserve();

  static ScriptNode* const kNoChildren[4];
  static ScriptNode** NewChildren(uint32_t capacity);
  static void DeleteChildren(ScriptNode** children, uint32_t capacity);

  // A parse makes many nodes, most of them leaves and many without text: a node holds no
  // children array until it has a child, its text is a string of its own only when not
  // empty (made where the node is), and what ToString shows is kept aside, made only when
  // asked for.
  int32_t kind_;
  int32_t flag_ = 0;
  int32_t line_ = 0;
  uint32_t count_ = 0;
  uint32_t capacity_ = 4;
  bool shown_ = false;  // ToString kept a text for this node
  ScriptNode* parent_ = nullptr;
  ScriptNode** children_ = nullptr;
  char* text_ = nullptr;  // null for the empty text
};

// While an arena is open on a thread, the nodes made on that thread and their children
// arrays are carved one after another from large shared blocks instead of one heap block
// each: a parse makes tens of thousands of nodes. The blocks are freed together once the
// arena is closed and the last of its nodes is released, whenever and wherever that is: a
// tree may outlive its arena and mix with nodes from the heap. The nodes of one arena must
// not be made or released on two threads at once (a tree is not shared by threads anyway).
// An arena opened while another is open on the thread leaves the outer one in use.
class ScriptNodeArena {
 public:
  ScriptNodeArena();
  ~ScriptNodeArena();
  ScriptNodeArena(const ScriptNodeArena&) = delete;
  ScriptNodeArena& operator=(const ScriptNodeArena&) = delete;

  // Where the thread's open arena stands. Rewinding to a position hands its memory out again
  // when every node made since has been released (a parse that is done with a statement),
  // and does nothing otherwise; true when it rewound.
  struct Position {
    size_t block = 0;
    char* next = nullptr;
    size_t inUse = 0;
  };
  static Position Here();
  static bool Rewind(const Position& position);

 private:
  class NodeBlocks* blocks_;  // null when an outer arena stays in use
};

// Takes the top-level statements of a script one at a time, as the parser finishes each,
// instead of the parser keeping them all under the root: a consumer that is done with a
// statement can let its memory go before the rest is parsed. Take gets `root` as it stands
// and returns what of the statement is to be attached to it after all (null for nothing).
class TopLevelStatementSink {
 public:
  virtual ~TopLevelStatementSink() = default;
  virtual std::unique_ptr<ScriptNode> Take(ScriptNode* root, std::unique_ptr<ScriptNode> statement) = 0;
};
