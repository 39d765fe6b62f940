// ActionScript 1: the parser that builds the syntax tree from the tokens of the
// ActionScript lexer (ActionScriptLexer.g), whose token vocabulary it imports.

header "pre_include_hpp" {
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <string_view>

#include "script/compiler/ScriptNode.h"
#include "script/grammar/LookaheadParser.h"
#include <antlr/RecognitionException.hpp>
}

header "post_include_hpp" {
// A subtree under construction together with its height (0 for a leaf). The parser holds
// every node in one of these until it is attached to its parent, so that a syntax error
// frees what was built, and it knows how deep the tree has grown without walking it.
// Raised when a script nests deeper than the parser follows. A trial parse passes it on
// instead of taking it for a failed alternative.
class NestingTooDeepException : public ANTLR_USE_NAMESPACE(antlr)RecognitionException {
 public:
  using RecognitionException::RecognitionException;
};

// Raised when "var" declares something that has no name ("var ~0", "var a.b"). Only the
// parse with actions finds it; a trial parse takes the same tokens for a declaration.
class DeclarationWithoutNameException : public ANTLR_USE_NAMESPACE(antlr)RecognitionException {
 public:
  using RecognitionException::RecognitionException;
};

struct ParsedNode {
  std::unique_ptr<ScriptNode> node;
  uint32_t height = 0;

  explicit operator bool() const { return node != nullptr; }
  ScriptNode* operator->() const { return node.get(); }
};
}

options {
  language = "Cpp";
}

class ActionScriptParser extends Parser("LookaheadParser");
options {
  k = 2;
  importVocab = ActionScript;
  buildAST = false;
  defaultErrorHandler = false;
}


{
public:
  // The token names, indexed by token type, ending in a null entry.
  static const char* const* const kTokenNames;

  // Deepest nesting of statements and expressions that the parser follows, and the
  // tallest tree it builds; beyond them the script is refused rather than risking the
  // stack here or in the passes that walk the tree.
  static constexpr int kMaxNesting = 256;
  static constexpr uint32_t kMaxTreeHeight = 1000;

  // Parses one script; the root belongs to the caller.
  std::unique_ptr<ScriptNode> Program();
  // Hands every top-level statement to `sink` (see TopLevelStatementSink) once it is parsed.
  void SetStatementSink(TopLevelStatementSink* sink) { statementSink_ = sink; }

private:
  static constexpr int kLeftCurly = 4;
  static constexpr int kRightCurly = 10;

  class NestingGuard {
   public:
    explicit NestingGuard(ActionScriptParser& parser);
    ~NestingGuard();
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

   private:
    ActionScriptParser& parser_;
  };

  ParsedNode MakeNode(int32_t kind);
  ParsedNode MakeNode(int32_t kind, std::string_view text);
  // A leaf for the token matched last: its text, without the quotes when `quoted`.
  ParsedNode MakeLeaf(int32_t kind, bool quoted = false);
  ParsedNode MakeBinaryNode(int32_t kind, ParsedNode left, ParsedNode right);
  ParsedNode Wrap(int32_t kind, ParsedNode operand);
  void Attach(ParsedNode& parent, ParsedNode child);
  ParsedNode RewriteCalls(ParsedNode value);
  // How the "{" at a position was read: as a block or not, and when not, why the reading
  // as a block failed and where.
  struct BlockOutcome {
    bool block = false;
    std::exception_ptr error;
    int line = 0;
    int column = 0;
  };
  uint64_t PlaceKeyAhead();
  bool BlockAhead();
  bool BlockTrial(BlockOutcome& outcome);
  std::optional<bool> FirstStatementAhead(BlockOutcome& outcome);
  static void RecordFailure(BlockOutcome& outcome, const ANTLR_USE_NAMESPACE(antlr)RecognitionException& e);
  // From the handler of a statement that starts at `open` (0: not at a "{"): the error of
  // its reading as a block when that got further than `e`, else `e` itself.
  [[noreturn]] void RethrowFurtherError(uint64_t open, const ANTLR_USE_NAMESPACE(antlr)RecognitionException& e);
  void TakeFirstStatement(ParsedNode& block);
  [[noreturn]] void TooDeep();
  // The position and text of the next token, for an error found once it has been parsed.
  struct TokenPlace {
    int line = 0;
    int column = 0;
    std::string text;
  };
  TokenPlace PlaceAhead();
  [[noreturn]] void DeclarationWithoutName(const TokenPlace& place);

  // A node starts on the line of the token taken last (lastLine_), or on the line of its
  // first child when that comes earlier.
  int nesting_ = 0;
  // Outcome of the block trial at each "{" already tried, by its line and column: a trial
  // nested in another one would otherwise be repeated once per enclosing trial.
  std::map<uint64_t, BlockOutcome> blockTrials_;
  // The first statement of the block that opens at token `open`, parsed by BlockAhead, for
  // that block to take instead of parsing it again; `end` is the token after it and
  // `lastLine` the line taken last there.
  struct FirstStatement {
    ParsedNode statement;
    size_t open = 0;
    size_t end = 0;
    int32_t lastLine = 0;
  };
  FirstStatement firstStatement_;

  // Attaches a top-level statement to the root, through the sink when there is one.
  void TakeTopLevel(ParsedNode& root, ParsedNode statement);
  TopLevelStatementSink* statementSink_ = nullptr;
  // Where the node arena stood when the statement being parsed began.
  ScriptNodeArena::Position statementStart_;
}

program returns [ParsedNode root]
{ ParsedNode s; }
  : { root = MakeNode(kNodeArray); }
    ( s=statement
      {
        if (s->GetKind() == kNodeOnClipEvent) root->SetKind(kNodeMovieClip);
        else if (s->GetKind() == kNodeOn) root->SetKind(kNodeButton);
        TakeTopLevel(root, std::move(s));
      }
    )*
    EOF
  ;

// A "{" that does not open a block opens an object literal. When both readings fail, the
// error reported is that of the one that got further, which is where the fault lies. (The
// handler runs outside trials only; inside one an error only decides the alternative.)
statement returns [ParsedNode n]
{ NestingGuard nest(*this); const uint64_t open = LA(1) == kLeftCurly ? PlaceKeyAhead() : 0; }
  : ( options { generateAmbigWarnings = false; }
    : n=ifStatement
    | n=withStatement
    | n=whileStatement
    | n=doWhileStatement
    | n=forStatement
    | n=onClipEventStatement
    | n=onStatement
    | n=breakStatement
    | n=continueStatement
    | n=returnStatement
    | { BlockAhead() }? n=block
    | n=functionDefinition
    | n=expressionStatement
    )
  ;
  exception
  catch [ANTLR_USE_NAMESPACE(antlr)RecognitionException& e] { RethrowFurtherError(open, e); }

block returns [ParsedNode n]
{ ParsedNode s; }
  : "{" { n = MakeNode(kNodeList); TakeFirstStatement(n); }
    ( s=statement { Attach(n, std::move(s)); } )*
    "}"
  ;

ifStatement returns [ParsedNode n]
{ ParsedNode c, t, e; }
  : "if" "(" c=conditionalExpression ")" t=statement
    ( options { generateAmbigWarnings = false; }
    : ( "else" )=> "else" e=statement
    )?
    {
      n = MakeNode(kNodeIf);
      Attach(n, std::move(c));
      Attach(n, std::move(t));
      if (e) Attach(n, std::move(e));
    }
  ;

whileStatement returns [ParsedNode n]
{ ParsedNode c, b; }
  : "while" "(" c=conditionalExpression ")" b=statement
    { n = MakeNode(kNodeWhile); Attach(n, std::move(c)); Attach(n, std::move(b)); }
  ;

doWhileStatement returns [ParsedNode n]
{ ParsedNode c, b; }
  : "do" b=statement "while" "(" c=conditionalExpression ")" ";"
    { n = MakeNode(kNodeDoWhile); Attach(n, std::move(b)); Attach(n, std::move(c)); }
  ;

withStatement returns [ParsedNode n]
{ ParsedNode o, b; }
  : "with" "(" o=conditionalExpression ")" b=statement
    { n = MakeNode(kNodeWith); Attach(n, std::move(o)); Attach(n, std::move(b)); }
  ;

forStatement returns [ParsedNode n]
{ ParsedNode a, c, s, b; }
  : "for" "("
    ( ( a=expressionList )? ";" ( c=conditionalExpression )? ";" ( s=expressionList )? ")"
      b=statement
      {
        n = MakeNode(kNodeFor);
        Attach(n, a ? std::move(a) : MakeNode(kNodeNoOp));
        Attach(n, c ? std::move(c) : MakeNode(kNodeNoOp));
        Attach(n, s ? std::move(s) : MakeNode(kNodeNoOp));
        Attach(n, std::move(b));
      }
    | a=literal "in" c=conditionalExpression ")" b=statement
      {
        n = MakeNode(kNodeForIn);
        Attach(n, std::move(a));
        Attach(n, std::move(c));
        Attach(n, std::move(b));
      }
    )
  ;

onClipEventStatement returns [ParsedNode n]
{ ParsedNode e, b; }
  : "onClipEvent" { n = MakeNode(kNodeOnClipEvent); }
    "(" e=literal { Attach(n, std::move(e)); }
    ( "," e=literal { Attach(n, std::move(e)); } )*
    ")" b=statement { Attach(n, std::move(b)); }
  ;

onStatement returns [ParsedNode n]
{ ParsedNode e, b; }
  : "on" { n = MakeNode(kNodeOn); }
    "(" e=event { Attach(n, std::move(e)); }
    ( "," e=event { Attach(n, std::move(e)); } )*
    ")" b=statement { Attach(n, std::move(b)); }
  ;

event returns [ParsedNode n]
  : ( "keyPress" )? n=literal
  ;

breakStatement returns [ParsedNode n]
  : "break" ";" { n = MakeNode(kNodeBreak); }
  ;

continueStatement returns [ParsedNode n]
  : "continue" ";" { n = MakeNode(kNodeContinue); }
  ;

returnStatement returns [ParsedNode n]
{ ParsedNode v; }
  : "return" ( v=conditionalExpression )? ";"
    { n = MakeNode(kNodeReturn); if (v) Attach(n, std::move(v)); }
  ;

functionDefinition returns [ParsedNode n]
{ ParsedNode p, b; std::string name; }
  : "function" IDENTIFIER { name = LastText(); } "(" ( p=parameterList )? ")" b=block
    {
      n = MakeNode(kNodeDefineFunction, name);
      if (p) Attach(n, std::move(p));
      Attach(n, std::move(b));
    }
  ;

expressionStatement returns [ParsedNode n]
  : ( n=expressionList )? ";"
    { if (!n) n = MakeNode(kNodeNoOp); }
  ;

// When the first element declares ("var a = 1, b = 2"), every later one declares as well.
expressionList returns [ParsedNode n]
{ ParsedNode e, list; bool declares = LA(1) == LITERAL_var; }
  : n=assignmentExpression[false]
    ( "," e=assignmentExpression[declares]
      {
        if (!list) {
          list = MakeNode(kNodeExpressionList);
          Attach(list, std::move(n));
        }
        Attach(list, std::move(e));
      }
    )*
    { if (list) n = std::move(list); }
  ;

assignmentExpression [bool declares] returns [ParsedNode n]
{ NestingGuard nest(*this); ParsedNode r; int32_t kind = 0; TokenPlace name; }
  : ( "var" { declares = true; } )?
    { if (declares) name = PlaceAhead(); }
    n=conditionalExpression
    {
      if (declares) {
        // What is declared is named by the node's text: a node without one names nothing.
        if (*n->GetText() == '\0') DeclarationWithoutName(name);
        n->SetKind(kNodeDefineVariable);
      }
    }
    ( kind=assignmentOperator r=assignmentExpression[false]
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )?
  ;

// The node kind of an assignment operator is its token type plus 35.
assignmentOperator returns [int32_t kind]
{ kind = LA(1) + (kNodeAssign - ASSIGN); }
  : ASSIGN | ASSIGN_ADD | ASSIGN_SUB | ASSIGN_MUL | ASSIGN_DIV | ASSIGN_MOD
  | ASSIGN_LSL | ASSIGN_ASR | ASSIGN_LSR | ASSIGN_AND | ASSIGN_OR | ASSIGN_XOR
  ;

conditionalExpression returns [ParsedNode n]
{ NestingGuard nest(*this); ParsedNode t, f; }
  : n=logicalOrExpression
    ( "?" t=assignmentExpression[false] ":" f=conditionalExpression
      {
        ParsedNode c = MakeNode(kNodeConditional);
        Attach(c, std::move(n));
        Attach(c, std::move(t));
        Attach(c, std::move(f));
        n = std::move(c);
      }
    )?
  ;

logicalOrExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=logicalAndExpression
    ( LOGICAL_OR r=logicalAndExpression
      { n = MakeBinaryNode(kNodeLogicalOr, std::move(n), std::move(r)); }
    )*
  ;

logicalAndExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=bitOrExpression
    ( LOGICAL_AND r=bitOrExpression
      { n = MakeBinaryNode(kNodeLogicalAnd, std::move(n), std::move(r)); }
    )*
  ;

bitOrExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=bitXorExpression
    ( BIT_OR r=bitXorExpression
      { n = MakeBinaryNode(kNodeBitOr, std::move(n), std::move(r)); }
    )*
  ;

bitXorExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=bitAndExpression
    ( BIT_XOR r=bitAndExpression
      { n = MakeBinaryNode(kNodeBitXor, std::move(n), std::move(r)); }
    )*
  ;

bitAndExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=equalityExpression
    ( BIT_AND r=equalityExpression
      { n = MakeBinaryNode(kNodeBitAnd, std::move(n), std::move(r)); }
    )*
  ;

equalityExpression returns [ParsedNode n]
{ ParsedNode r; int32_t kind = 0; }
  : n=relationalExpression
    ( ( EQ { kind = kNodeEqual; } | NE { kind = kNodeNotEqual; } )
      r=relationalExpression
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )*
  ;

relationalExpression returns [ParsedNode n]
{ ParsedNode r; int32_t kind = 0; }
  : n=instanceofExpression
    ( ( LTHAN { kind = kNodeLess; }
      | GTHAN { kind = kNodeGreater; }
      | LTE { kind = kNodeLessEqual; }
      | GTE { kind = kNodeGreaterEqual; }
      )
      r=instanceofExpression
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )*
  ;

instanceofExpression returns [ParsedNode n]
{ ParsedNode r; }
  : n=shiftExpression
    ( "instanceof" r=shiftExpression
      { n = MakeBinaryNode(kNodeInstanceof, std::move(n), std::move(r)); }
    )*
  ;

shiftExpression returns [ParsedNode n]
{ ParsedNode r; int32_t kind = 0; }
  : n=additiveExpression
    ( ( LSL { kind = kNodeShiftLeft; }
      | LSR { kind = kNodeShiftRightUnsigned; }
      | ASR { kind = kNodeShiftRight; }
      )
      r=additiveExpression
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )*
  ;

additiveExpression returns [ParsedNode n]
{ ParsedNode r; int32_t kind = 0; }
  : n=multiplicativeExpression
    ( ( PLUS { kind = kNodeAdd; } | MINUS { kind = kNodeSubtract; } )
      r=multiplicativeExpression
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )*
  ;

multiplicativeExpression returns [ParsedNode n]
{ ParsedNode r; int32_t kind = 0; }
  : n=unaryExpression
    ( ( MULTIPLY { kind = kNodeMultiply; }
      | DIVIDE { kind = kNodeDivide; }
      | MOD { kind = kNodeModulo; }
      )
      r=unaryExpression
      { n = MakeBinaryNode(kind, std::move(n), std::move(r)); }
    )*
  ;

unaryExpression returns [ParsedNode n]
{ NestingGuard nest(*this); ParsedNode o; int32_t kind = 0; }
  : ( PLUS { kind = kNodeUnaryPlus; }
    | MINUS { kind = kNodeUnaryMinus; }
    | BIT_NOT { kind = kNodeBitNot; }
    | LOGICAL_NOT { kind = kNodeLogicalNot; }
    | "delete" { kind = kNodeDelete; }
    )
    o=unaryExpression { n = Wrap(kind, std::move(o)); }
  | ( INC { kind = kNodePreIncrement; } | DEC { kind = kNodePreDecrement; } )
    o=memberExpression { n = Wrap(kind, std::move(o)); }
  | n=postfixExpression
  ;

postfixExpression returns [ParsedNode n]
  : n=memberExpression
    ( options { generateAmbigWarnings = false; }
    : INC { n = Wrap(kNodePostIncrement, std::move(n)); }
    | DEC { n = Wrap(kNodePostDecrement, std::move(n)); }
    )*
  ;

memberExpression returns [ParsedNode n]
{ ParsedNode s, value; }
  : n=primaryExpression
    ( s=memberSuffix
      {
        if (!value) {
          value = MakeNode(kNodeValue);
          Attach(value, std::move(n));
        }
        Attach(value, std::move(s));
      }
    )*
    { if (value) n = RewriteCalls(std::move(value)); }
  ;

memberSuffix returns [ParsedNode n]
{ ParsedNode e; }
  : "[" e=conditionalExpression "]"
    { n = MakeNode(kNodeSubscript); Attach(n, std::move(e)); }
  | "."
    ( n=literal { n->SetKind(kNodeAttribute); }
    | n=arguments { n->SetKind(kNodeMethod); }
    )
  | n=arguments
  ;

arguments returns [ParsedNode n]
{ ParsedNode e; }
  : "(" { n = MakeNode(kNodeFunction); }
    ( e=conditionalExpression { Attach(n, std::move(e)); }
      ( "," e=conditionalExpression { Attach(n, std::move(e)); } )*
    )?
    ")"
  ;

primaryExpression returns [ParsedNode n]
  : n=arrayLiteral
  | n=objectLiteral
  | n=functionExpression
  | n=newExpression
  | n=literal
  | "(" n=conditionalExpression ")"
  ;

arrayLiteral returns [ParsedNode n]
{ ParsedNode e; }
  : "[" { n = MakeNode(kNodeDefineArray); }
    ( e=conditionalExpression { Attach(n, std::move(e)); }
      ( "," e=conditionalExpression { Attach(n, std::move(e)); } )*
    )?
    "]"
  ;

objectLiteral returns [ParsedNode n]
{ ParsedNode f; }
  : "{" { n = MakeNode(kNodeDefineObject); }
    ( f=objectField { Attach(n, std::move(f)); }
      ( "," f=objectField { Attach(n, std::move(f)); } )*
    )?
    "}"
  ;

objectField returns [ParsedNode n]
{ ParsedNode name, v; }
  : name=literal ":" v=conditionalExpression
    {
      n = MakeNode(kNodeDefineAttribute);
      Attach(n, std::move(name));
      Attach(n, std::move(v));
    }
  ;

functionExpression returns [ParsedNode n]
{ ParsedNode p, b; }
  : "function" "(" ( p=parameterList )? ")" b=block
    {
      n = MakeNode(kNodeDefineMethod);
      if (p) Attach(n, std::move(p));
      Attach(n, std::move(b));
    }
  ;

newExpression returns [ParsedNode n]
{ ParsedNode e; }
  : "new" IDENTIFIER { n = MakeLeaf(kNodeNewObject); }
    "("
    ( e=conditionalExpression { Attach(n, std::move(e)); }
      ( "," e=conditionalExpression { Attach(n, std::move(e)); } )*
    )?
    ")"
  ;

parameterList returns [ParsedNode n]
{ ParsedNode e, list; }
  : n=conditionalExpression
    ( "," e=conditionalExpression
      {
        if (!list) {
          list = MakeNode(kNodeList);
          Attach(list, std::move(n));
        }
        Attach(list, std::move(e));
      }
    )*
    { if (list) n = std::move(list); }
  ;

literal returns [ParsedNode n]
  : IDENTIFIER { n = MakeLeaf(kNodeIdentifier); }
  | NUMERIC_LITERAL { n = MakeLeaf(kNodeNumber); }
  | STRING_LITERAL { n = MakeLeaf(kNodeString, true); }
  | QUOTED_LITERAL { n = MakeLeaf(kNodeString, true); }
  ;
