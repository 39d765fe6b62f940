#include "script/compiler/ScriptNode.h"

#include <cstring>

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

void ScriptNodeBase::Release() { delete this; }

ScriptNodeBase::~ScriptNodeBase() = default;

ScriptNode::ScriptNode(int32_t kind) : kind_(kind) {}

ScriptNode::ScriptNode(int32_t kind, const char* text) : kind_(kind), text_(text ? text : "") {}

ScriptNode::ScriptNode(int32_t kind, std::string_view text) : kind_(kind), text_(text) {}

ScriptNode::~ScriptNode() {
  parent_ = nullptr;
  for (uint32_t i = 0; i < count_; ++i) {
    if (children_[i]) children_[i]->Release();
  }
  delete[] children_;
  children_ = nullptr;
  count_ = 0;
  capacity_ = 0;
}

int32_t ScriptNode::GetKind() const { return kind_; }
void ScriptNode::SetKind(int32_t kind) { kind_ = kind; }
const char* ScriptNode::GetText() const { return text_.c_str(); }
void ScriptNode::SetText(const char* text) { text_ = text ? text : ""; }
int32_t ScriptNode::GetFlag() const { return flag_; }
void ScriptNode::SetFlag(int32_t flag) { flag_ = flag; }

ScriptNode* ScriptNode::GetChild(uint32_t index) const {
  return index < count_ ? children_[index] : nullptr;
}

void ScriptNode::Reserve() {
  if (!children_) {
    children_ = new ScriptNode*[capacity_]();
    if (count_ != capacity_) return;
  }
  if (count_ != capacity_) return;
  const uint32_t grown = 2 * count_ + 1;
  ScriptNode** array = new ScriptNode*[grown];
  for (uint32_t i = 0; i < count_; ++i) array[i] = children_[i];
  delete[] children_;
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
  ++count_;
  for (uint32_t i = count_ - 1; i > index; --i) children_[i] = children_[i - 1];
  if (child) child->SetParent(this);
  children_[index] = child;
  return true;
}

ScriptNode* ScriptNode::RemoveChild(uint32_t index) {
  if (index >= count_) return nullptr;
  ScriptNode* removed = children_[index];
  if (removed) removed->SetParent(nullptr);
  for (uint32_t i = index; i + 1 < count_; ++i) children_[i] = children_[i + 1];
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

ScriptNode* ScriptNode::GetParent() const { return parent_; }
void ScriptNode::SetParent(ScriptNode* parent) { parent_ = parent; }
uint32_t ScriptNode::ChildCount() const { return count_; }
ScriptNode** ScriptNode::GetChildren() const {
  // A node without children shows an empty array of its capacity, as one with children does.
  if (!children_) children_ = new ScriptNode*[capacity_]();
  return children_;
}

const char* ScriptNode::ToString() {
  if (!display_) display_ = std::make_unique<std::string>();
  std::string& display = *display_;
  display = (kind_ >= 0 && kind_ < kNodeKindCount) ? kNodeKindNames[kind_] : "";
  if (kind_ == kNodeString) {
    display += " = \"";
    display += text_;
    display += "\"; ";
  } else if (!text_.empty()) {
    display += " = ";
    display += text_;
    display += "; ";
  }
  return display.c_str();
}

ScriptNode* ScriptNode::Clone() const {
  ScriptNode* copy = new ScriptNode(kind_, text_.c_str());
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
