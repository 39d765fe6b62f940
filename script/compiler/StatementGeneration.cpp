// The code generation driver, the dispatch by node kind, and the statements: script roots,
// blocks, if, the loops with break and continue, with, event handlers and return.
#include <cstring>

#include "script/compiler/GenerationHelpers.h"
#include "script/compiler/ScriptCompiler.h"

using namespace codegen;

uint32_t ScriptCompiler::Generate(ScriptNode* root, int version) {
  codeLength_ = 0;
  if (version < 5 || !root) return 0;
  try {
    GenerationContext context(version);
    FoldKnownConstants(root, context);
    CollectPoolStrings(root, context);
    RecordList records;
    EmitNode(root, context, records);
    uint64_t total = 0;
    for (auto& record : records) total += record->Size(version);
    if (total > UINT32_MAX - 64) throw CodeGenerationError("The script is too long");
    CodeWriter writer(version);
    writer.out.Reserve(static_cast<uint32_t>(total));
    for (auto& record : records) {
      record->Write(writer);
      record.reset();
    }
    const auto& bytes = writer.out.GetBuffer();
    if (bytes.size() != total) throw CodeGenerationError("The generated code does not match its size");
    codeBytes_.reset(new uint8_t[total == 0 ? 1 : total]);
    if (total > 0) std::memcpy(codeBytes_.get(), bytes.data(), total);
    codeLength_ = static_cast<uint32_t>(total);
    return codeLength_;
  } catch (const CodeGenerationError& e) {
    RecordGenerationError(e.what(), e.line);
    codeLength_ = 0;
    return 0;
  }
}

void ScriptCompiler::RecordGenerationError(const std::string& message, int32_t line) {
  errorCode_ = kScriptErrorSyntax;
  errorMessage_ = message;
  LocateError(std::string(), line, 0, false);
}

uint32_t ScriptCompiler::CopyCode(uint8_t* destination) const {
  if (destination && codeLength_ > 0) std::memcpy(destination, codeBytes_.get(), codeLength_);
  return codeLength_;
}

void ScriptCompiler::MarkStatements(ScriptNode* node) {
  if (!node) return;
  node->SetFlag(1);
  if (node->GetKind() == kNodeList) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i) MarkStatements(node->GetChild(i));
  }
}

void ScriptCompiler::EmitNode(ScriptNode* node, GenerationContext& context, RecordList& records) {
  if (!node) return;
  try {
    EmitNodeOfKind(node, context, records);
  } catch (CodeGenerationError& e) {
    // The innermost construct that knows its line names it.
    if (e.line == 0) e.line = node->GetLine();
    throw;
  }
}

void ScriptCompiler::EmitNodeOfKind(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const int32_t kind = node->GetKind();
  switch (kind) {
    case kNodeArray:
    case kNodeButton:
    case kNodeMovieClip: EmitScriptRoot(node, context, records); return;
    case kNodeList: EmitList(node, context, records); return;
    case kNodeExpressionList: EmitExpressionList(node, context, records); return;
    case kNodeIf: EmitIf(node, context, records); return;
    case kNodeFor: EmitFor(node, context, records); return;
    case kNodeForIn: EmitForIn(node, context, records); return;
    case kNodeWhile: EmitWhile(node, context, records); return;
    case kNodeDoWhile: EmitDoWhile(node, context, records); return;
    case kNodeWith: EmitWith(node, context, records); return;
    case kNodeOnClipEvent:
    case kNodeOn: EmitEventHandler(node, context, records); return;
    // A marker carries the line of its statement until its loop resolves it.
    case kNodeBreak: AppendRecord(records, new OperandRecord(kBreakMarker, node->GetLine())); return;
    case kNodeReturn: EmitReturn(node, context, records); return;
    case kNodeContinue: AppendRecord(records, new OperandRecord(kContinueMarker, node->GetLine())); return;
    case kNodeValue: EmitValue(node, context, records); return;
    case kNodeConstant: EmitConstant(node, context, records); return;
    case kNodeNumber: EmitNumber(node, context, records); return;
    case kNodeString: EmitString(node, context, records); return;
    case kNodeIdentifier: EmitIdentifier(node, context, records); return;
    case kNodeAttribute: EmitAttribute(node, context, records); return;
    case kNodeMethod: EmitMethodCall(node, context, records); return;
    case kNodeFunction: EmitBuiltinCall(node, context, records); return;
    case kNodeNewObject: EmitNewObject(node, context, records); return;
    case kNodeSubscript: EmitSubscript(node, context, records); return;
    case kNodeDefineVariable: EmitDefineVariable(node, context, records); return;
    case kNodeDefineArray: EmitDefineArray(node, context, records); return;
    case kNodeDefineFunction: EmitDefineFunction(node, context, records); return;
    case kNodeDefineAttribute: EmitDefineAttribute(node, context, records); return;
    case kNodeDefineMethod: EmitDefineMethod(node, context, records); return;
    case kNodeDefineObject: EmitDefineObject(node, context, records); return;
    case kNodeConditional: EmitConditional(node, context, records); return;
    case kNodeLogicalNot: EmitLogicalNot(node, context, records); return;
    case kNodeBitNot: EmitBitNot(node, context, records); return;
    case kNodeUnaryPlus:
    case kNodeUnaryMinus: EmitUnaryPlusMinus(node, context, records); return;
    case kNodePreIncrement:
    case kNodePreDecrement: EmitPreIncDec(node, context, records); return;
    case kNodePostIncrement:
    case kNodePostDecrement: EmitPostIncDec(node, context, records); return;
    case kNodeDelete: EmitDelete(node, context, records); return;
    default: break;
  }
  if ((kind >= kNodeAdd && kind <= kNodeLessEqual) || kind == kNodeInstanceof)
    EmitBinaryOperator(node, context, records);
  else if (kind >= kNodeAssign && kind <= kNodeAssignBitXor)
    EmitAssignment(node, context, records);
  // NoOp and unknown kinds emit nothing.
}

void ScriptCompiler::EmitScriptRoot(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const int32_t kind = node->GetKind();
  RecordList list;
  if (kind == kNodeArray && context.poolUsed) AppendRecord(list, new ConstantPoolRecord(context.pool));
  // A button's condition records and a clip's handler records hold handlers only; any
  // other statement there would garble the layout.
  const int32_t handlerKind = kind == kNodeButton ? kNodeOn : kNodeOnClipEvent;
  for (uint32_t i = 0; i < node->ChildCount(); ++i) {
    ScriptNode* child = node->GetChild(i);
    MarkStatements(child);
    if (kind == kNodeArray || (child && child->GetKind() == handlerKind)) {
      EmitNode(child, context, list);
    } else {
      RecordList other;
      EmitNode(child, context, other);
      if (!other.empty())
        throw CodeGenerationError(std::string("statement outside a handler in a ") +
                                      (kind == kNodeButton ? "button" : "movie clip") + " script",
                                  child ? child->GetLine() : 0);
    }
  }
  RequireResolved(list);
  AppendRecord(records, new ScriptRootRecord(static_cast<uint32_t>(kind), std::move(list)));
}

void ScriptCompiler::EmitList(ScriptNode* node, GenerationContext& context, RecordList& records) {
  for (uint32_t i = 0; i < node->ChildCount(); ++i) {
    MarkStatements(node->GetChild(i));
    EmitNode(node->GetChild(i), context, records);
  }
}

// An expression list only stands where its values are not used: the values of its
// members are dropped like those of any statement.
void ScriptCompiler::EmitExpressionList(ScriptNode* node, GenerationContext& context, RecordList& records) {
  for (uint32_t i = 0; i < node->ChildCount(); ++i) {
    MarkStatements(node->GetChild(i));
    EmitNode(node->GetChild(i), context, records);
  }
}

void ScriptCompiler::EmitIf(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList elseList, thenList;
  uint32_t e = 0;
  if (ScriptNode* otherwise = node->GetChild(2)) {
    MarkStatements(otherwise);
    EmitNode(otherwise, context, elseList);
    e = SizeOfRecords(elseList);
  }
  ScriptNode* then = node->GetChild(1);
  MarkStatements(then);
  EmitNode(then, context, thenList);
  uint64_t t = SizeOfRecords(thenList);
  if (e > 0) t += 5;
  EmitNode(node->GetChild(0), context, records);
  AppendRecord(records, new OpcodeRecord(kActionNot));
  AppendBranch(records, kActionIf, static_cast<int64_t>(t));
  MoveRecords(thenList, records);
  if (e > 0) AppendBranch(records, kActionJump, e);
  MoveRecords(elseList, records);
}

void ScriptCompiler::EmitWhile(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList body, head;
  ScriptNode* statement = node->GetChild(1);
  MarkStatements(statement);
  EmitNode(statement, context, body);
  const int64_t b = int64_t{SizeOfRecords(body)} + 5;
  EmitNode(node->GetChild(0), context, head);
  AppendRecord(head, new OpcodeRecord(kActionNot));
  AppendBranch(head, kActionIf, b);
  const int64_t h = SizeOfRecords(head);
  AppendBranch(body, kActionJump, -(b + h));
  ResolveMarkers(body, h, h + b, 0);
  MoveRecords(head, records);
  MoveRecords(body, records);
}

void ScriptCompiler::EmitDoWhile(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList body, test;
  ScriptNode* statement = node->GetChild(0);
  MarkStatements(statement);
  EmitNode(statement, context, body);
  const int64_t s = SizeOfRecords(body);
  EmitNode(node->GetChild(1), context, test);
  const int64_t k = SizeOfRecords(test);
  AppendBranch(test, kActionIf, -(k + 5 + s));
  ResolveMarkers(body, 0, s + k + 5, s);
  MoveRecords(body, records);
  MoveRecords(test, records);
}

namespace {

// Whether a pushed constant is one the loop test takes as true, and its false counterpart.
PushValue* FalseCounterpart(const SwfPushValue& v) {
  switch (v.type) {
    case SwfPushValue::kBoolean:
      return v.number != 0 ? new PushBoolean(false) : nullptr;
    case SwfPushValue::kInteger:
      return static_cast<int32_t>(v.number) >= 1 ? new PushInteger(0) : nullptr;
    case SwfPushValue::kDouble:
      return v.real > 0 ? new PushDouble(0.0) : nullptr;
    case SwfPushValue::kString:
      return v.text.Encode(6) != "0" ? new PushString("0") : nullptr;
    default:
      return nullptr;
  }
}

}  // namespace

void ScriptCompiler::EmitFor(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList init, condition, increment, body;
  ScriptNode* first = node->GetChild(0);
  // The initialiser's value is not used.
  MarkStatements(first);
  EmitNode(first, context, init);
  ScriptNode* test = node->GetChild(1);
  EmitNode(test, context, condition);
  int64_t c = SizeOfRecords(condition);
  MarkStatements(node->GetChild(2));
  EmitNode(node->GetChild(2), context, increment);
  const int64_t n = SizeOfRecords(increment);
  MarkStatements(node->GetChild(3));
  EmitNode(node->GetChild(3), context, body);
  const int64_t b = SizeOfRecords(body);

  if (c > 0) {
    const int64_t skip = b + n + 5;
    // A condition that is itself a constant true can never end the loop: the test is
    // replaced by a constant false and a plain ActionIf. Only a literal, "true" or a folded
    // constant qualifies; an expression that merely ends in a constant does not.
    const int32_t testKind = test ? test->GetKind() : -1;
    const bool constantTest =
        testKind == kNodeNumber || testKind == kNodeConstant ||
        (testKind == kNodeIdentifier && std::strcmp(test->GetText(), "true") == 0);
    PushValue* replacement = nullptr;
    if (constantTest && condition.back()->opcode == kActionPush) {
      auto* push = static_cast<PushRecord*>(condition.back().get());
      if (!push->action.values.empty()) replacement = FalseCounterpart(push->action.values.back());
    }
    if (replacement) {
      ReplaceLastPushValue(*static_cast<PushRecord*>(condition.back().get()), replacement);
      AppendBranch(condition, kActionIf, skip);
      c += 5;
    } else {
      AppendRecord(condition, new OpcodeRecord(kActionNot));
      AppendBranch(condition, kActionIf, skip);
      c += 6;
    }
  }
  AppendBranch(increment, kActionJump, -(c + b + n + 5));
  ResolveMarkers(body, c, c + b + n + 5, c + b);
  MoveRecords(init, records);
  MoveRecords(condition, records);
  MoveRecords(body, records);
  MoveRecords(increment, records);
}

namespace {

// A chain of plain names joined by ".": its dotted path, or empty.
std::string DottedPath(ScriptNode* node) {
  if (node->GetKind() == kNodeIdentifier) return node->GetText();
  if (node->GetKind() != kNodeValue || node->ChildCount() < 2) return std::string();
  ScriptNode* head = node->GetChild(0);
  if (!head || head->GetKind() != kNodeIdentifier) return std::string();
  std::string path = head->GetText();
  for (uint32_t i = 1; i < node->ChildCount(); ++i) {
    ScriptNode* member = node->GetChild(i);
    if (!member || member->GetKind() != kNodeAttribute) return std::string();
    path += ".";
    path += member->GetText();
  }
  return path;
}

}  // namespace

void ScriptCompiler::EmitForIn(ScriptNode* node, GenerationContext& context, RecordList& records) {
  ScriptNode* variable = node->GetChild(0);
  ScriptNode* object = node->GetChild(1);
  if (!variable || !object) throw CodeGenerationError("incomplete for..in loop");
  if (object->GetKind() == kNodeIdentifier) {
    PushPooledString(records, context, object->GetText());
    AppendRecord(records, new OpcodeRecord(kActionEnumerate));
  } else if (context.version >= 6) {
    // Any object expression: its value is enumerated.
    EmitNode(object, context, records);
    AppendRecord(records, new OpcodeRecord(kActionEnumerate2));
  } else {
    // Before SWF 6 only a variable path can be enumerated.
    const std::string path = DottedPath(object);
    if (path.empty()) throw CodeGenerationError("for..in over an expression needs SWF 6 or later");
    PushPooledString(records, context, path);
    AppendRecord(records, new OpcodeRecord(kActionEnumerate));
  }

  RecordList loop;
  PushPooledString(loop, context, variable->GetText());
  AppendPushValue(loop, new PushRegister(0));
  AppendRecord(loop, new OpcodeRecord(kActionSetVariable));
  ScriptNode* body = node->GetChild(2);
  MarkStatements(body);
  ++context.openForIn;
  EmitNode(body, context, loop);
  --context.openForIn;
  const int64_t a = int64_t{SizeOfRecords(loop)} + 5;
  const bool breaks = ContainsMarker(loop, kBreakMarker);

  // A break leaves the names not yet enumerated, and the closing null, on the stack: it goes
  // through a drain after the loop that pops up to and including the null. The loop's
  // normal exit, which has consumed the null, jumps over it.
  RecordList drain;
  if (breaks) AppendStackDrain(drain);
  const int64_t d = SizeOfRecords(drain);

  RecordList head;
  AppendRecord(head, new OperandRecord(kActionStoreRegister, 0));
  AppendPushValue(head, new PushNull());
  AppendRecord(head, new OpcodeRecord(kActionEquals2));
  AppendBranch(head, kActionIf, a + d);
  const int64_t h = SizeOfRecords(head);
  AppendBranch(loop, kActionJump, -(a + h));
  ResolveMarkers(loop, 0, a, -h);
  MoveRecords(head, records);
  MoveRecords(loop, records);
  MoveRecords(drain, records);
}

void ScriptCompiler::EmitWith(ScriptNode* node, GenerationContext& context, RecordList& records) {
  context.nameStack.push_back("With");
  EmitNode(node->GetChild(0), context, records);
  RecordList block;
  for (uint32_t i = 1; i < node->ChildCount(); ++i) {
    MarkStatements(node->GetChild(i));
    EmitNode(node->GetChild(i), context, block);
  }
  const uint32_t size = SizeOfRecords(block);
  if (size > kMaxFieldLength) throw CodeGenerationError("with block longer than 65535 bytes");
  AppendRecord(records, new OperandRecord(kActionWith, static_cast<int32_t>(size)));
  MoveRecords(block, records);
  context.nameStack.pop_back();
}

namespace {

// The button-condition bits of one event of an on handler.
uint32_t ButtonEventFlags(const ScriptCompiler& compiler, ScriptNode* event) {
  const std::string text = event->GetText();
  if (event->GetKind() == kNodeIdentifier) {
    const uint32_t value = compiler.LookupButtonEvent(text);
    if (value == 0) throw CodeGenerationError("unknown button event " + text);
    return value;
  }
  if (event->GetKind() == kNodeString) {
    // keyPress: a key name of the table, or one printable ASCII character.
    if (!text.empty() && text[0] == '<') {
      const uint32_t value = compiler.LookupButtonEvent(text);
      if (value == 0) throw CodeGenerationError("unknown key name " + text);
      return value;
    }
    if (text.size() == 1 && text[0] >= 32 && text[0] <= 126)
      return static_cast<uint32_t>(text[0]) << 9;
    throw CodeGenerationError("keyPress needs one printable character or a key name: " + text);
  }
  throw CodeGenerationError("unknown button event " + text);
}

}  // namespace

void ScriptCompiler::EmitEventHandler(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const int32_t kind = node->GetKind();
  ScriptNode* parent = node->GetParent();
  const int32_t rootKind = kind == kNodeOn ? kNodeButton : kNodeMovieClip;
  if (!parent || parent->GetKind() != rootKind)
    throw CodeGenerationError(std::string(kind == kNodeOn ? "on" : "onClipEvent") +
                              " handler outside the top level of its script");
  const uint32_t count = node->ChildCount();
  if (count < 2) throw CodeGenerationError("handler without events");
  uint32_t flags = 0;
  for (uint32_t i = 0; i + 1 < count; ++i) {
    ScriptNode* event = node->GetChild(i);
    if (kind == kNodeOnClipEvent) {
      const uint32_t value = LookupClipEvent(event->GetText());
      if (value == 0) throw CodeGenerationError(std::string("unknown clip event ") + event->GetText());
      flags |= value;
    } else {
      flags |= ButtonEventFlags(*this, event);
    }
  }
  RecordList list;
  if (context.poolUsed) AppendRecord(list, new ConstantPoolRecord(context.pool));
  ScriptNode* body = node->GetChild(count - 1);
  // The body's value is not used either.
  MarkStatements(body);
  EmitNode(body, context, list);
  RequireResolved(list);
  auto* handler = new EventHandlerRecord(static_cast<uint32_t>(kind), flags, std::move(list));
  AppendRecord(records, handler);
  // A button's condition record starts with its 16-bit length: refused here, where the
  // handler's line is known.
  if (kind == kNodeOn && uint64_t{handler->Size(context.version)} + 2 > kMaxFieldLength)
    throw CodeGenerationError("button condition actions longer than 65535 bytes");
}

void ScriptCompiler::EmitReturn(ScriptNode* node, GenerationContext& context, RecordList& records) {
  for (uint32_t i = 0; i < node->ChildCount(); ++i) EmitNode(node->GetChild(i), context, records);
  if (node->ChildCount() == 0) AppendPushValue(records, new PushUndefined());
  if (context.openForIn > 0) {
    // The caller shares the stack: the names and closing null of every for..in being left
    // go first, while register 0 keeps the result.
    AppendRecord(records, new OperandRecord(kActionStoreRegister, 0));
    AppendRecord(records, new OpcodeRecord(kActionPop));
    for (uint32_t i = 0; i < context.openForIn; ++i) AppendStackDrain(records);
    AppendPushValue(records, new PushRegister(0));
  }
  AppendRecord(records, new OpcodeRecord(kActionReturn));
}
