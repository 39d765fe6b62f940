// The code generation driver, the dispatch by node kind, and the statements: script roots,
// blocks, if, the loops with break and continue, with, event handlers and return.
#include <cstring>
#include <string>
#include <string_view>

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
    RecordList records(&context.buffers);
    EmitNode(root, context, records);
    if (uint64_t{records.Size()} > UINT32_MAX - 64) throw CodeGenerationError("The script is too long");
    codeBytes_ = records.TakeBytes();
    codeLength_ = static_cast<uint32_t>(codeBytes_.size());
    return codeLength_;
  } catch (const CodeGenerationError& e) {
    RecordGenerationError(e.what(), e.line);
    codeBytes_ = std::vector<uint8_t>();
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
  if (destination && codeLength_ > 0) std::memcpy(destination, codeBytes_.data(), codeLength_);
  return codeLength_;
}

void ScriptCompiler::MarkStatements(ScriptNode* node) {
  if (!node) return;
  node->SetFlag(1);
  if (node->GetKind() == kNodeList) {
    ScriptNode* const* children = node->GetChildren();
    const uint32_t count = node->ChildCount();
    for (uint32_t i = 0; i < count; ++i) MarkStatements(children[i]);
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
    case kNodeBreak: records.AppendMarker(kBreakMarker, node->GetLine()); return;
    case kNodeReturn: EmitReturn(node, context, records); return;
    case kNodeContinue: records.AppendMarker(kContinueMarker, node->GetLine()); return;
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
  const bool wide = context.version >= 6;
  RecordList list(&context.buffers);
  if (kind == kNodeArray && context.poolUsed) list.AppendConstantPool(context.PoolPayload());
  // A button's condition records and a clip's handler records hold handlers only; any
  // other statement there would garble the layout. Each handler is emitted on its own: a
  // button's condition record starts with the length of the one before the next.
  const int32_t handlerKind = kind == kNodeButton ? kNodeOn : kNodeOnClipEvent;
  RecordList pending(&context.buffers);
  uint32_t allFlags = 0;
  auto placePending = [&](bool last) {
    if (pending.empty()) return;
    if (kind == kNodeButton) {
      if (pending.Size() + 2 > kMaxFieldLength)
        throw CodeGenerationError("button condition actions longer than 65535 bytes");
      const uint32_t next = last ? 0 : pending.Size() + 2;
      const uint8_t length[2] = {static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
      list.AppendRaw(kind, length, 2);
    } else {
      const uint8_t* flags = pending.Bytes().data();
      allFlags |= flags[0] | (uint32_t{flags[1]} << 8);
      if (wide) allFlags |= (uint32_t{flags[2]} << 16) | (uint32_t{flags[3]} << 24);
    }
    list.Append(pending);
  };
  for (uint32_t i = 0; i < node->ChildCount(); ++i) {
    ScriptNode* child = node->GetChild(i);
    MarkStatements(child);
    if (kind == kNodeArray) {
      EmitNode(child, context, list);
    } else if (child && child->GetKind() == handlerKind) {
      RecordList handler(&context.buffers);
      EmitNode(child, context, handler);
      if (!handler.empty()) {
        placePending(false);
        pending = std::move(handler);
      }
    } else {
      RecordList other(&context.buffers);
      EmitNode(child, context, other);
      if (!other.empty())
        throw CodeGenerationError(std::string("statement outside a handler in a ") +
                                      (kind == kNodeButton ? "button" : "movie clip") + " script",
                                  child ? child->GetLine() : 0);
    }
  }
  placePending(true);
  RequireResolved(list);
  if (kind == kNodeMovieClip) {
    // Reserved word, the flags of all handlers, the handlers and a zero end.
    uint8_t head[6] = {0, 0, static_cast<uint8_t>(allFlags), static_cast<uint8_t>(allFlags >> 8),
                       static_cast<uint8_t>(allFlags >> 16), static_cast<uint8_t>(allFlags >> 24)};
    const uint8_t end[4] = {0, 0, 0, 0};
    records.AppendRaw(kind, head, wide ? 6 : 4);
    records.Append(list);
    records.AppendRaw(kind, end, wide ? 4 : 2);
    return;
  }
  records.Append(list);
}

void ScriptCompiler::EmitList(ScriptNode* node, GenerationContext& context, RecordList& records) {
  ScriptNode* const* children = node->GetChildren();
  const uint32_t count = node->ChildCount();
  for (uint32_t i = 0; i < count; ++i) {
    MarkStatements(children[i]);
    EmitNode(children[i], context, records);
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
  RecordList elseList(&context.buffers), thenList(&context.buffers);
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
  records.AppendAction(kActionNot);
  AppendBranch(records, kActionIf, static_cast<int64_t>(t));
  MoveRecords(thenList, records);
  if (e > 0) AppendBranch(records, kActionJump, e);
  MoveRecords(elseList, records);
  records.MarkJoin();
}

void ScriptCompiler::EmitWhile(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList body(&context.buffers), head(&context.buffers);
  ScriptNode* statement = node->GetChild(1);
  MarkStatements(statement);
  EmitNode(statement, context, body);
  const int64_t b = int64_t{SizeOfRecords(body)} + 5;
  EmitNode(node->GetChild(0), context, head);
  head.AppendAction(kActionNot);
  AppendBranch(head, kActionIf, b);
  const int64_t h = SizeOfRecords(head);
  AppendBranch(body, kActionJump, -(b + h));
  ResolveMarkers(body, h, h + b, 0);
  MoveRecords(head, records);
  MoveRecords(body, records);
}

void ScriptCompiler::EmitDoWhile(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList body(&context.buffers), test(&context.buffers);
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
bool FalseCounterpart(const PushItem& v, PushItem& counterpart) {
  switch (v.type) {
    case SwfPushValue::kBoolean:
      counterpart = PushItem::Boolean(false);
      return v.number != 0;
    case SwfPushValue::kInteger:
      counterpart = PushItem::Integer(0);
      return static_cast<int32_t>(v.number) >= 1;
    case SwfPushValue::kDouble:
      counterpart = PushItem::Double(0.0);
      return v.real > 0;
    case SwfPushValue::kString:
      counterpart = PushItem::String("0");
      return v.text != "0";
    default:
      return false;
  }
}

}  // namespace

void ScriptCompiler::EmitFor(ScriptNode* node, GenerationContext& context, RecordList& records) {
  RecordList init(&context.buffers), condition(&context.buffers);
  RecordList increment(&context.buffers), body(&context.buffers);
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
    PushItem replacement;
    if (constantTest && condition.LastOpcode() == kActionPush &&
        FalseCounterpart(condition.LastPushValue(), replacement)) {
      condition.ReplaceLastPushValue(replacement);
      AppendBranch(condition, kActionIf, skip);
      c += 5;
    } else {
      condition.AppendAction(kActionNot);
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
    records.AppendAction(kActionEnumerate);
  } else if (context.version >= 6) {
    // Any object expression: its value is enumerated.
    EmitNode(object, context, records);
    records.AppendAction(kActionEnumerate2);
  } else {
    // Before SWF 6 only a variable path can be enumerated.
    const std::string path = DottedPath(object);
    if (path.empty()) throw CodeGenerationError("for..in over an expression needs SWF 6 or later");
    PushPooledString(records, context, path);
    records.AppendAction(kActionEnumerate);
  }

  RecordList loop(&context.buffers);
  PushPooledString(loop, context, variable->GetText());
  AppendPushValue(loop, PushItem::Register(0));
  loop.AppendAction(kActionSetVariable);
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
  RecordList drain(&context.buffers);
  if (breaks) AppendStackDrain(drain);
  const int64_t d = SizeOfRecords(drain);

  RecordList head(&context.buffers);
  head.AppendOperand(kActionStoreRegister, 0);
  AppendPushValue(head, PushItem::Null());
  head.AppendAction(kActionEquals2);
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
  RecordList block(&context.buffers);
  for (uint32_t i = 1; i < node->ChildCount(); ++i) {
    MarkStatements(node->GetChild(i));
    EmitNode(node->GetChild(i), context, block);
  }
  const uint32_t size = SizeOfRecords(block);
  if (size > kMaxFieldLength) throw CodeGenerationError("with block longer than 65535 bytes");
  records.AppendOperand(kActionWith, static_cast<int32_t>(size));
  MoveRecords(block, records);
  // The player leaves the with-block at its end.
  records.MarkJoin();
  context.nameStack.pop_back();
}

namespace {

// The button-condition bits of one event of an on handler.
uint32_t ButtonEventFlags(const ScriptCompiler& compiler, ScriptNode* event) {
  const std::string_view text = event->GetText();
  if (event->GetKind() == kNodeIdentifier) {
    const uint32_t value = compiler.LookupButtonEvent(text);
    if (value == 0) throw CodeGenerationError("unknown button event " + std::string(text));
    return value;
  }
  if (event->GetKind() == kNodeString) {
    // keyPress: a key name of the table, or one printable ASCII character.
    if (!text.empty() && text[0] == '<') {
      const uint32_t value = compiler.LookupButtonEvent(text);
      if (value == 0) throw CodeGenerationError("unknown key name " + std::string(text));
      return value;
    }
    if (text.size() == 1 && text[0] >= 32 && text[0] <= 126)
      return static_cast<uint32_t>(text[0]) << 9;
    throw CodeGenerationError("keyPress needs one printable character or a key name: " + std::string(text));
  }
  throw CodeGenerationError("unknown button event " + std::string(text));
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
  RecordList list(&context.buffers);
  if (context.poolUsed) list.AppendConstantPool(context.PoolPayload());
  ScriptNode* body = node->GetChild(count - 1);
  // The body's value is not used either.
  MarkStatements(body);
  EmitNode(body, context, list);
  RequireResolved(list);
  // A button's condition record starts with its 16-bit length: refused here, where the
  // handler's line is known.
  if (kind == kNodeOn && uint64_t{list.Size()} + 3 + 2 > kMaxFieldLength)
    throw CodeGenerationError("button condition actions longer than 65535 bytes");
  records.AppendEventHandler(static_cast<uint32_t>(kind), flags, list, context.version);
}

void ScriptCompiler::EmitReturn(ScriptNode* node, GenerationContext& context, RecordList& records) {
  for (uint32_t i = 0; i < node->ChildCount(); ++i) EmitNode(node->GetChild(i), context, records);
  if (node->ChildCount() == 0) AppendPushValue(records, PushItem::Undefined());
  if (context.openForIn > 0) {
    // The caller shares the stack: the names and closing null of every for..in being left
    // go first, while register 0 keeps the result.
    records.AppendOperand(kActionStoreRegister, 0);
    records.AppendAction(kActionPop);
    for (uint32_t i = 0; i < context.openForIn; ++i) AppendStackDrain(records);
    AppendPushValue(records, PushItem::Register(0));
  }
  records.AppendAction(kActionReturn);
}
