// Expressions: strings and names, member and call chains, array and object literals, new,
// function definitions, the operators, increment and decrement, assignment and delete.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/GenerationHelpers.h"
#include "script/compiler/LiteralValues.h"
#include "script/compiler/ScriptCompiler.h"

using namespace codegen;

namespace {

void AppendAction(RecordList& records, uint32_t opcode) { records.AppendAction(opcode); }

// ActionPop when the node's value is not used.
void PopInStatementPosition(ScriptNode* node, RecordList& records) {
  if (node->GetFlag() == 1) AppendAction(records, kActionPop);
}

bool IsKind(ScriptNode* node, int32_t kind) { return node && node->GetKind() == kind; }

// Whether the node names something that can be stored into or deleted: a variable or
// property name, a member reached by name or subscript, or eval of a name.
bool IsReference(ScriptNode* node) {
  if (!node) return false;
  switch (node->GetKind()) {
    case kNodeIdentifier: {
      const char* text = node->GetText();
      return std::strcmp(text, "null") != 0 && std::strcmp(text, "true") != 0 &&
             std::strcmp(text, "false") != 0;
    }
    case kNodeValue: {
      ScriptNode* last = node->GetChild(node->ChildCount() - 1);
      return IsKind(last, kNodeAttribute) || IsKind(last, kNodeSubscript);
    }
    case kNodeFunction:
      return std::strcmp(node->GetText(), "eval") == 0;
    default:
      return false;
  }
}

// The store action that matches a removed get action.
uint32_t StoreFor(uint32_t get) {
  switch (get) {
    case kActionGetVariable: return kActionSetVariable;
    case kActionGetMember: return kActionSetMember;
    case kActionGetProperty: return kActionSetProperty;
    default: return kActionDefineLocal;
  }
}

// Compiles a reference and removes its trailing get action, so that what stays pushed is
// the name (and object, or target and property number); returns the removed action.
uint32_t CompileReferenceTarget(ScriptCompiler& compiler, ScriptNode* target, GenerationContext& context,
                                RecordList& records, const char* what) {
  const uint32_t before = records.Size();
  if (IsReference(target)) {
    compiler.EmitNode(target, context, records);
    const uint32_t last = LastOpcode(records);
    if (records.Size() > before &&
        (last == kActionGetVariable || last == kActionGetMember || last == kActionGetProperty)) {
      RemoveLast(records);
      return last;
    }
  }
  throw CodeGenerationError(std::string(what) + " needs a variable, member or property");
}

// Whether evaluating the node can change anything: it holds a call, a "new", an increment
// or decrement, an assignment or a delete. Function bodies do not count, as defining a
// function runs none of its code. Iterative, since operator chains can be very deep.
bool HasSideEffect(ScriptNode* node) {
  std::vector<ScriptNode*> pending{node};
  while (!pending.empty()) {
    ScriptNode* at = pending.back();
    pending.pop_back();
    if (!at) continue;
    const int32_t kind = at->GetKind();
    if (kind == kNodeFunction || kind == kNodeMethod || kind == kNodeNewObject || kind == kNodeDelete ||
        (kind >= kNodePreIncrement && kind <= kNodeAssignBitXor))
      return true;
    if (kind == kNodeDefineFunction || kind == kNodeDefineMethod) continue;
    for (uint32_t i = 0; i < at->ChildCount(); ++i) pending.push_back(at->GetChild(i));
  }
  return false;
}

// Whether reading the target a second time would run its object or key expression again.
// The target node itself is not counted: eval(name) reads a variable, and only the name
// expression inside it matters.
bool TargetHasSideEffect(ScriptNode* target) {
  for (uint32_t i = 0; i < target->ChildCount(); ++i)
    if (HasSideEffect(target->GetChild(i))) return true;
  return false;
}

// Pushes the target's current value after CompileReferenceTarget left its reference on the
// stack. Usually the target is compiled again: reading a name twice reads the same thing.
// When that would run a call, an increment or an assignment a second time, the reference on
// the stack is copied instead: the name of eval(...), or the object and member name of a
// member (through register 0, free again before anything else runs).
void PushTargetValue(ScriptCompiler& compiler, ScriptNode* target, uint32_t get, GenerationContext& context,
                     RecordList& records) {
  const bool copy = (get == kActionGetMember || get == kActionGetVariable) && TargetHasSideEffect(target);
  if (!copy) {
    compiler.EmitNode(target, context, records);
    return;
  }
  if (get == kActionGetMember) {
    // object key -> object key object key
    records.AppendOperand(kActionStoreRegister, 0);
    AppendAction(records, kActionPop);
    AppendAction(records, kActionPushDuplicate);
    ScriptCompiler::AppendPushValue(records, PushItem::Register(0));
    AppendAction(records, kActionStackSwap);
    ScriptCompiler::AppendPushValue(records, PushItem::Register(0));
  } else {
    AppendAction(records, kActionPushDuplicate);
  }
  AppendAction(records, get);
}

// What register 0 keeps of an increment or decrement, to push once the new value is stored:
// nothing, the value before the change or the value after it.
enum class KeptValue { kNone, kBefore, kAfter };

// Increments or decrements the operand of `node` where it stands, its target evaluated once.
void IncDecInPlace(ScriptCompiler& compiler, ScriptNode* node, KeptValue kept, GenerationContext& context,
                   RecordList& records) {
  ScriptNode* operand = node->GetChild(0);
  const int32_t kind = node->GetKind();
  const uint32_t get = CompileReferenceTarget(compiler, operand, context, records, "increment or decrement");
  PushTargetValue(compiler, operand, get, context, records);
  if (kept == KeptValue::kBefore) records.AppendOperand(kActionStoreRegister, 0);
  AppendAction(records, kind == kNodePreIncrement || kind == kNodePostIncrement ? kActionIncrement : kActionDecrement);
  if (kept == KeptValue::kAfter) records.AppendOperand(kActionStoreRegister, 0);
  AppendAction(records, StoreFor(get));
  if (kept != KeptValue::kNone) ScriptCompiler::AppendPushValue(records, PushItem::Register(0));
}

}  // namespace

void ScriptCompiler::EmitString(ScriptNode* node, GenerationContext& context, RecordList& records) {
  PushPooledString(records, context, node->GetText());
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitIdentifier(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const std::string_view text = node->GetText();
  if (text == "null") {
    AppendPushValue(records, PushItem::Null());
  } else if (text == "true" || text == "false") {
    AppendPushValue(records, PushItem::Boolean(text == "true"));
  } else if (!IsProperty(text) || context.ContainsName("With")) {
    PushPooledString(records, context, text);
    AppendAction(records, kActionGetVariable);
  } else if (context.ContainsName("setProperty")) {
    AppendIntegerValue(records, GetPropertyIndex(text));
  } else {
    PushPooledString(records, context, "");
    AppendIntegerValue(records, GetPropertyIndex(text));
    AppendAction(records, kActionGetProperty);
  }
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitAttribute(ScriptNode* node, GenerationContext& context, RecordList& records) {
  PushPooledString(records, context, node->GetText());
  AppendAction(records, kActionGetMember);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitMethodCall(ScriptNode* node, GenerationContext& context, RecordList& records) {
  PushPooledString(records, context, node->GetText());
  AppendAction(records, kActionCallMethod);
}

void ScriptCompiler::EmitSubscript(ScriptNode* node, GenerationContext& context, RecordList& records) {
  if (node->ChildCount() != 1) throw CodeGenerationError("subscript without an index");
  EmitNode(node->GetChild(0), context, records);
  AppendAction(records, kActionGetMember);
}

void ScriptCompiler::EmitDefineVariable(ScriptNode* node, GenerationContext& context, RecordList& records) {
  PushPooledString(records, context, node->GetText());
  if (node->GetFlag() == 1) {
    // "var x;": ActionDefineLocal2 takes the name alone.
    AppendAction(records, kActionDefineLocal2);
    return;
  }
  ScriptNode* parent = node->GetParent();
  const bool target = parent && parent->GetKind() >= kNodeAssign && parent->GetKind() <= kNodeAssignBitXor &&
                      parent->GetChild(0) == node;
  if (!target) throw CodeGenerationError("var declaration used as a value");
  AppendAction(records, kActionDefineLocal);
}

void ScriptCompiler::EmitValue(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const uint32_t count = node->ChildCount();
  if (count == 0) return;
  // The arguments of every call of the chain go below the chain's object, those of later
  // calls deeper.
  for (uint32_t i = count - 1; i >= 1; --i) {
    ScriptNode* child = node->GetChild(i);
    if (IsKind(child, kNodeMethod) || IsKind(child, kNodeFunction)) {
      const uint32_t n = child->ChildCount();
      for (uint32_t j = n; j-- > 0;) EmitNode(child->GetChild(j), context, records);
      AppendIntegerValue(records, n);
    }
  }
  EmitNode(node->GetChild(0), context, records);
  for (uint32_t i = 1; i < count; ++i) {
    ScriptNode* child = node->GetChild(i);
    if (IsKind(child, kNodeFunction)) {
      ScriptNode* previous = node->GetChild(i - 1);
      // What eval(...) or a string leaves on the stack is a name: the function of that name
      // is called.
      const bool byName = (IsKind(previous, kNodeFunction) && std::strcmp(previous->GetText(), "eval") == 0) ||
                          IsKind(previous, kNodeString);
      if (byName) {
        AppendAction(records, kActionCallFunction);
      } else if (!IsKind(previous, kNodeMethod) && !IsKind(previous, kNodeFunction) &&
                 LastOpcode(records) == kActionGetMember) {
        // A member: its object and name serve as the method's.
        RemoveLast(records);
        AppendAction(records, kActionCallMethod);
      } else {
        // The stack holds a function value (what a call returned, or what a conditional, a
        // logical operator or a function expression gave): ActionCallMethod with an undefined
        // name calls that object itself. ActionCallFunction would take it for a name.
        AppendPushValue(records, PushItem::Undefined());
        AppendAction(records, kActionCallMethod);
      }
    } else {
      EmitNode(child, context, records);
    }
  }
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitDefineArray(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const uint32_t n = node->ChildCount();
  for (uint32_t i = n; i-- > 0;) EmitNode(node->GetChild(i), context, records);
  AppendIntegerValue(records, n);
  AppendAction(records, kActionInitArray);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitDefineObject(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const uint32_t n = node->ChildCount();
  for (uint32_t i = 0; i < n; ++i) EmitNode(node->GetChild(i), context, records);
  AppendIntegerValue(records, n);
  AppendAction(records, kActionInitObject);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitDefineAttribute(ScriptNode* node, GenerationContext& context, RecordList& records) {
  if (node->ChildCount() != 2) throw CodeGenerationError("object field without a value");
  // Every key, whether a name, a number, a string or a word such as "null" or "_x", is
  // pushed as its text.
  PushPooledString(records, context, node->GetChild(0)->GetText());
  EmitNode(node->GetChild(1), context, records);
}

void ScriptCompiler::EmitNewObject(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const uint32_t n = node->ChildCount();
  for (uint32_t i = n; i-- > 0;) EmitNode(node->GetChild(i), context, records);
  AppendIntegerValue(records, n);
  PushPooledString(records, context, node->GetText());
  AppendAction(records, kActionNewObject);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitDefineFunctionCommon(ScriptNode* node, std::string_view name, bool markBody,
                                              GenerationContext& context, RecordList& records) {
  const uint32_t count = node->ChildCount();
  if (count == 0) throw CodeGenerationError("function without a body");
  std::vector<std::string_view> parameters;
  if (count == 2) {
    ScriptNode* list = node->GetChild(0);
    if (list->GetKind() == kNodeList) {
      for (uint32_t i = 0; i < list->ChildCount(); ++i) parameters.push_back(list->GetChild(i)->GetText());
    } else {
      parameters.push_back(list->GetText());
    }
  }
  ScriptNode* body = node->GetChild(count - 1);
  if (markBody) MarkStatements(body);
  RecordList code(&context.buffers);
  // A return in the body leaves only the loops of the body itself.
  const uint32_t openForIn = context.openForIn;
  context.openForIn = 0;
  EmitNode(body, context, code);
  context.openForIn = openForIn;
  RequireResolved(code);
  records.AppendDefineFunction(name, parameters, code);
}

void ScriptCompiler::EmitDefineFunction(ScriptNode* node, GenerationContext& context, RecordList& records) {
  EmitDefineFunctionCommon(node, node->GetText(), true, context, records);
}

void ScriptCompiler::EmitDefineMethod(ScriptNode* node, GenerationContext& context, RecordList& records) {
  EmitDefineFunctionCommon(node, std::string_view(), false, context, records);
  // A function without a name is pushed as a value.
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitLogicalNot(ScriptNode* node, GenerationContext& context, RecordList& records) {
  EmitNode(node->GetChild(0), context, records);
  AppendAction(records, kActionNot);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitBitNot(ScriptNode* node, GenerationContext& context, RecordList& records) {
  EmitNode(node->GetChild(0), context, records);
  AppendPushValue(records, PushItem::Double(4294967295.0));
  AppendAction(records, kActionBitXor);
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitUnaryPlusMinus(ScriptNode* node, GenerationContext& context, RecordList& records) {
  ScriptNode* operand = node->GetChild(0);
  const bool minus = node->GetKind() == kNodeUnaryMinus;
  if (IsKind(operand, kNodeNumber)) {
    // A literal's sign is applied here; nothing computes it at run time.
    const char* text = operand->GetText();
    if (IsFractionalLiteral(text)) {
      const double value = std::atof(text);
      AppendPushValue(records, PushItem::Double(minus ? -value : value));
    } else {
      const PushItem value = IntegerLiteralValue(text, minus);
      if (value.type == SwfPushValue::kInteger && value.number == 0)
        AppendIntegerValue(records, 0);
      else
        AppendPushValue(records, value);
    }
  } else if (minus) {
    AppendIntegerValue(records, 0);
    EmitNode(operand, context, records);
    AppendAction(records, kActionSubtract);
  } else {
    EmitNode(operand, context, records);
  }
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitPreIncDec(ScriptNode* node, GenerationContext& context, RecordList& records) {
  IncDecInPlace(*this, node, node->GetFlag() == 1 ? KeptValue::kNone : KeptValue::kAfter, context, records);
}

void ScriptCompiler::EmitPostIncDec(ScriptNode* node, GenerationContext& context, RecordList& records) {
  ScriptNode* operand = node->GetChild(0);
  if (node->GetFlag() == 1) {
    IncDecInPlace(*this, node, KeptValue::kNone, context, records);
    return;
  }
  if (!IsReference(operand)) throw CodeGenerationError("increment or decrement needs a variable, member or property");
  if (TargetHasSideEffect(operand)) {
    // The old value, kept in register 0 while the new one is stored, is the expression's
    // value; the target is evaluated once.
    IncDecInPlace(*this, node, KeptValue::kBefore, context, records);
    return;
  }
  // The old value is read first, the target compiled once more for the change.
  EmitNode(operand, context, records);
  IncDecInPlace(*this, node, KeptValue::kNone, context, records);
}

// The left operand of a chained operator is emitted by the caller, which walks the chain.
void ScriptCompiler::EmitBinaryOperator(ScriptNode* node, GenerationContext& context, RecordList& records) {
  // Down the chain's left side: what each operator emits before its left operand (the right
  // operand of ">" and "<=", the skipped part of "&&" and "||"); then back up: what each
  // emits after it. The same code, in the same order, as emitting it recursively.
  std::vector<RecordList> skipped;  // of the "&&" and "||" on the way, innermost last
  ScriptNode* link = node;
  ScriptNode* current = node;
  try {
    for (;;) {
      current = link;
      ScriptNode* left = link->GetChild(0);
      ScriptNode* right = link->GetChild(1);
      if (!left || !right) throw CodeGenerationError("operator without two operands");
      const int32_t kind = link->GetKind();
      if (kind == kNodeLogicalAnd || kind == kNodeLogicalOr) {
        skipped.emplace_back(&context.buffers);
        AppendAction(skipped.back(), kActionPop);
        EmitNode(right, context, skipped.back());
      } else if (kind == kNodeGreater || kind == kNodeLessEqual) {
        EmitNode(right, context, records);
      }
      if (!IsLeftChainOperator(left->GetKind())) {
        EmitNode(left, context, records);
        break;
      }
      link = left;
    }
    for (;; link = link->GetParent()) {
      current = link;
      FinishBinaryOperator(link, skipped, context, records);
      if (link == node) break;
    }
  } catch (CodeGenerationError& e) {
    // As the recursion would: the innermost operator that knows its line names it.
    for (ScriptNode* at = current; at && at != node && e.line == 0; at = at->GetParent()) e.line = at->GetLine();
    throw;
  }
}

void ScriptCompiler::FinishBinaryOperator(ScriptNode* node, std::vector<RecordList>& skipped,
                                          GenerationContext& context, RecordList& records) {
  const int32_t kind = node->GetKind();
  if (kind == kNodeLogicalAnd || kind == kNodeLogicalOr) {
    RecordList& rest = skipped.back();
    AppendAction(records, kActionPushDuplicate);
    if (kind == kNodeLogicalAnd) AppendAction(records, kActionNot);
    AppendBranch(records, kActionIf, SizeOfRecords(rest));
    MoveRecords(rest, records);
    records.MarkJoin();
    skipped.pop_back();
    PopInStatementPosition(node, records);
    return;
  }
  if (kind != kNodeGreater && kind != kNodeLessEqual) EmitNode(node->GetChild(1), context, records);
  switch (kind) {
    case kNodeAdd: AppendAction(records, kActionAdd2); break;
    case kNodeSubtract: AppendAction(records, kActionSubtract); break;
    case kNodeMultiply: AppendAction(records, kActionMultiply); break;
    case kNodeDivide: AppendAction(records, kActionDivide); break;
    case kNodeModulo: AppendAction(records, kActionModulo); break;
    case kNodeShiftLeft: AppendAction(records, kActionBitLShift); break;
    case kNodeShiftRight: AppendAction(records, kActionBitRShift); break;
    case kNodeShiftRightUnsigned: AppendAction(records, kActionBitURShift); break;
    case kNodeBitAnd: AppendAction(records, kActionBitAnd); break;
    case kNodeBitOr: AppendAction(records, kActionBitOr); break;
    case kNodeBitXor: AppendAction(records, kActionBitXor); break;
    case kNodeEqual: AppendAction(records, kActionEquals2); break;
    case kNodeNotEqual:
      AppendAction(records, kActionEquals2);
      AppendAction(records, kActionNot);
      break;
    case kNodeGreater:
    case kNodeLess: AppendAction(records, kActionLess2); break;
    case kNodeGreaterEqual:
    case kNodeLessEqual:
      AppendAction(records, kActionLess2);
      AppendAction(records, kActionNot);
      break;
    case kNodeInstanceof: AppendAction(records, kActionInstanceOf); break;
    default: break;
  }
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitConditional(ScriptNode* node, GenerationContext& context, RecordList& records) {
  if (node->ChildCount() != 3) throw CodeGenerationError("incomplete conditional");
  RecordList otherwise(&context.buffers), then(&context.buffers);
  EmitNode(node->GetChild(2), context, otherwise);
  EmitNode(node->GetChild(1), context, then);
  EmitNode(node->GetChild(0), context, records);
  AppendBranch(records, kActionIf, int64_t{SizeOfRecords(otherwise)} + 5);
  MoveRecords(otherwise, records);
  AppendBranch(records, kActionJump, SizeOfRecords(then));
  MoveRecords(then, records);
  records.MarkJoin();
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitDelete(ScriptNode* node, GenerationContext& context, RecordList& records) {
  ScriptNode* operand = node->GetChild(0);
  const uint32_t get = CompileReferenceTarget(*this, operand, context, records, "delete");
  if (get == kActionGetVariable) AppendAction(records, kActionDelete2);
  else if (get == kActionGetMember) AppendAction(records, kActionDelete);  // object and member name
  else throw CodeGenerationError("delete needs a variable or member");
  PopInStatementPosition(node, records);
}

void ScriptCompiler::EmitAssignment(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const int32_t kind = node->GetKind();
  ScriptNode* target = node->GetChild(0);
  ScriptNode* value = node->GetChild(1);
  if (!target || !value) throw CodeGenerationError("assignment without a value");
  uint32_t get;
  if (IsKind(target, kNodeDefineVariable)) {
    if (kind != kNodeAssign) throw CodeGenerationError("compound assignment to a var declaration");
    EmitNode(target, context, records);
    get = LastOpcode(records);
    if (get != kActionDefineLocal) throw CodeGenerationError("assignment needs a variable, member or property");
    RemoveLast(records);
  } else {
    get = CompileReferenceTarget(*this, target, context, records, "assignment");
  }
  const bool compound = kind != kNodeAssign;
  if (compound) PushTargetValue(*this, target, get, context, records);
  EmitNode(value, context, records);
  switch (kind) {
    case kNodeAssignAdd: AppendAction(records, kActionAdd2); break;
    case kNodeAssignSubtract: AppendAction(records, kActionSubtract); break;
    case kNodeAssignMultiply: AppendAction(records, kActionMultiply); break;
    case kNodeAssignDivide: AppendAction(records, kActionDivide); break;
    case kNodeAssignModulo: AppendAction(records, kActionModulo); break;
    case kNodeAssignShiftLeft: AppendAction(records, kActionBitLShift); break;
    case kNodeAssignShiftRight: AppendAction(records, kActionBitRShift); break;
    case kNodeAssignShiftRightUnsigned: AppendAction(records, kActionBitURShift); break;
    case kNodeAssignBitAnd: AppendAction(records, kActionBitAnd); break;
    case kNodeAssignBitOr: AppendAction(records, kActionBitOr); break;
    case kNodeAssignBitXor: AppendAction(records, kActionBitXor); break;
    default: break;
  }
  // The value is kept wherever an enclosing expression uses it: inside any assignment
  // (a = b = c, a += b = 1) and as a branch of "?".
  ScriptNode* parent = node->GetParent();
  const int32_t parentKind = parent ? parent->GetKind() : -1;
  const bool keep = (parentKind >= kNodeAssign && parentKind <= kNodeAssignBitXor) || parentKind == kNodeConditional;
  if (keep) records.AppendOperand(kActionStoreRegister, 0);
  AppendAction(records, StoreFor(get));
  if (keep) AppendPushValue(records, PushItem::Register(0));
}
