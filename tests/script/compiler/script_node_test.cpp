// The syntax-tree node: children array growth, insertion and removal, ToString, clones.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ScriptTestSupport.h"
#include "script/compiler/ScriptNode.h"

namespace {

using NodePtr = std::unique_ptr<ScriptNode>;

TEST(ScriptNode, KindNames) {
  const struct {
    int kind;
    const char* name;
  } names[] = {{kNodeNoOp, "NoOp"}, {kNodeExpressionList, "ExpressionList"},
               {kNodeForIn, "for..in"}, {kNodeDoWhile, "do..while"},
               {kNodeDefineVariable, "Define Variable"}, {kNodeDefineObject, "Define Object"},
               {kNodeAdd, "+"}, {kNodeShiftRightUnsigned, ">>>"}, {kNodeLessEqual, "<="},
               {kNodeConditional, "?"}, {kNodeUnaryMinus, "-x"}, {kNodePreIncrement, "++x"},
               {kNodePostDecrement, "x--"}, {kNodeAssign, "="},
               {kNodeAssignShiftRightUnsigned, ">>>="}, {kNodeAssignBitXor, "^="},
               {kNodeDelete, "delete"}, {kNodeInstanceof, "instanceof"}};
  for (const auto& n : names) EXPECT_STREQ(kNodeKindNames[n.kind], n.name);
}

TEST(ScriptNode, ChildrenGrowTwiceAndOne) {
  NodePtr list(new ScriptNode(kNodeList));
  EXPECT_EQ(list->Capacity(), 4u);
  // Before its first child a node shows an array of nulls (shared by all such nodes); the
  // first child gets an array of the node's own.
  NodePtr leaf(new ScriptNode(kNodeNumber, "1"));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(list->GetChildren()[i], nullptr);
  std::vector<uint32_t> capacities;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(list->AddChild(new ScriptNode(kNodeNumber, std::to_string(i).c_str())),
              static_cast<uint32_t>(i + 1));
    capacities.push_back(list->Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{4, 4, 4, 4, 9, 9, 9, 9, 9, 19}));
  EXPECT_NE(list->GetChildren(), leaf->GetChildren());
  EXPECT_EQ(leaf->GetChildren()[0], nullptr);
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(list->GetChild(i)->GetParent(), list.get());
    EXPECT_EQ(list->GetChildren()[i], list->GetChild(i));
  }
  EXPECT_EQ(list->GetChild(10), nullptr);
}

TEST(ScriptNode, InsertReplaceRemove) {
  NodePtr parent(new ScriptNode(kNodeList));
  ScriptNode* extra = new ScriptNode(kNodeIdentifier, "z");
  EXPECT_FALSE(parent->InsertChild(0, extra));  // never appends, even to an empty node
  ScriptNode* a = new ScriptNode(kNodeIdentifier, "a");
  ScriptNode* b = new ScriptNode(kNodeIdentifier, "b");
  parent->AddChild(a);
  parent->AddChild(b);
  EXPECT_FALSE(parent->InsertChild(2, extra));
  EXPECT_TRUE(parent->InsertChild(1, extra));
  EXPECT_EQ(scripttest::Dump(parent.get()),
            "(List (Identifier = a) (Identifier = z) (Identifier = b))");
  EXPECT_EQ(parent->IndexOfChild(b), 2);
  EXPECT_EQ(parent->IndexOfChild(parent.get()), -1);

  ScriptNode* c = new ScriptNode(kNodeIdentifier, "c");
  EXPECT_EQ(parent->ReplaceChild(3, c), nullptr);
  NodePtr former(parent->ReplaceChild(0, c));
  EXPECT_EQ(former.get(), a);
  EXPECT_EQ(a->GetParent(), nullptr);
  EXPECT_EQ(c->GetParent(), parent.get());

  EXPECT_EQ(parent->RemoveChild(3), nullptr);
  NodePtr removed(parent->RemoveChild(1));
  EXPECT_EQ(removed.get(), extra);
  EXPECT_EQ(removed->GetParent(), nullptr);
  EXPECT_EQ(parent->ChildCount(), 2u);
  EXPECT_EQ(parent->GetChildren()[2], nullptr);  // the vacated entry is cleared
  EXPECT_EQ(scripttest::Dump(parent.get()), "(List (Identifier = c) (Identifier = b))");
}

TEST(ScriptNode, RemovedChildOutlivesFormerParent) {
  NodePtr child;
  {
    NodePtr parent(new ScriptNode(kNodeReturn));
    parent->AddChild(new ScriptNode(kNodeNumber, "1"));
    child.reset(parent->RemoveChild(0));
    EXPECT_EQ(parent->ChildCount(), 0u);
  }
  EXPECT_STREQ(child->GetText(), "1");
  EXPECT_EQ(child->GetParent(), nullptr);
}

TEST(ScriptNode, ToString) {
  const struct {
    int kind;
    const char* text;
    const char* shown;
  } cases[] = {
      {kNodeString, "", "String = \"\"; "},
      {kNodeString, "ab", "String = \"ab\"; "},
      {kNodeNoOp, "", "NoOp"},
      {kNodeNoOp, "b", "NoOp = b; "},
      {kNodeIdentifier, "x", "Identifier = x; "},
      {kNodeAdd, "", "+"},
  };
  for (const auto& c : cases) {
    ScriptNode node(c.kind, c.text);
    EXPECT_STREQ(node.ToString(), c.shown);
  }
}

TEST(ScriptNode, CloneAndDeepClone) {
  NodePtr tree(new ScriptNode(kNodeAdd));
  tree->SetFlag(1);
  tree->AddChild(new ScriptNode(kNodeIdentifier, "x"));
  ScriptNode* inner = new ScriptNode(kNodeMultiply);
  inner->AddChild(new ScriptNode(kNodeNumber, "2"));
  inner->AddChild(new ScriptNode(kNodeNumber, "3"));
  tree->AddChild(inner);

  NodePtr shallow(tree->Clone());
  EXPECT_EQ(shallow->GetKind(), kNodeAdd);
  EXPECT_EQ(shallow->ChildCount(), 0u);
  EXPECT_EQ(shallow->GetFlag(), 0);

  NodePtr deep(tree->DeepClone());
  EXPECT_EQ(scripttest::Dump(deep.get()), scripttest::Dump(tree.get()));
  EXPECT_EQ(deep->GetFlag(), 0);
  EXPECT_EQ(deep->GetParent(), nullptr);
  ScriptNode* copiedInner = deep->GetChild(1);
  EXPECT_NE(copiedInner, inner);
  EXPECT_EQ(copiedInner->GetParent(), deep.get());
  EXPECT_EQ(copiedInner->GetChild(0)->GetParent(), copiedInner);
}

// Destroying a root destroys each node of its tree exactly once, children first.
TEST(ScriptNode, DestroysTreeOnceDepthFirst) {
  static std::vector<std::string>* order = nullptr;
  struct Traced : ScriptNode {
    Traced(const char* name) : ScriptNode(kNodeIdentifier, name) {}
    ~Traced() override { order->push_back(GetText()); }
  };
  std::vector<std::string> destroyed;
  order = &destroyed;
  Traced* root = new Traced("root");
  Traced* a = new Traced("a");
  a->AddChild(new Traced("a1"));
  a->AddChild(new Traced("a2"));
  root->AddChild(a);
  root->AddChild(new Traced("b"));
  root->Release();
  order = nullptr;
  EXPECT_EQ(destroyed, (std::vector<std::string>{"root", "a", "a1", "a2", "b"}));
}

// Nodes made in an arena outlive it, mix with heap nodes both ways, grow their children
// arrays, and are released in any order across arenas; a nested arena leaves the outer one
// in use. (Under AddressSanitizer a node used after its release is reported.)
TEST(ScriptNode, ArenaNodesLiveOnAfterTheArena) {
  NodePtr first, second;
  ScriptNode* moved = nullptr;
  {
    ScriptNodeArena arena;
    first.reset(new ScriptNode(kNodeList));
    for (int i = 0; i < 12; ++i)
      first->AddChild(new ScriptNode(kNodeNumber, std::to_string(i).c_str()));
    {
      ScriptNodeArena nested;
      first->AddChild(new ScriptNode(kNodeIdentifier, "nested"));
    }
    moved = first->RemoveChild(0);
  }
  {
    ScriptNodeArena arena;
    second.reset(new ScriptNode(kNodeList));
    second->AddChild(new ScriptNode(kNodeString, std::string(40, 's').c_str()));
  }
  NodePtr heapRoot(new ScriptNode(kNodeReturn));
  heapRoot->AddChild(moved);                                       // arena node under a heap node
  first->InsertChild(0, new ScriptNode(kNodeIdentifier, "heap"));  // and the other way round
  first.reset();
  EXPECT_EQ(scripttest::Dump(heapRoot.get()), "(Return (Number = 0))");
  EXPECT_EQ(scripttest::Dump(second.get()), "(List (String = \"" + std::string(40, 's') + "\"))");
  second.reset();
  heapRoot.reset();
}

}  // namespace
