// The preprocessor's lexer. It cuts a script into the same operators, strings, numbers and
// names as the ActionScript lexer, plus directives, comments and line ends, and skips
// nothing: the preprocessor sees every character of its input as some token.
header "pre_include_hpp" {
#include "script/grammar/TextScanner.h"
}

options {
  language = "Cpp";
}

class PreprocessorLexer extends Lexer("TextScanner");
options {
  k = 4;
  charVocabulary = '\3'..'\377';
  testLiterals = false;
  caseSensitive = true;
  caseSensitiveLiterals = true;
  defaultErrorHandler = false;
  exportVocab = Preprocessor;
}

// Token numbers, in this order from 4.
tokens {
  INCLUDE; DEFINE; IFDEF; IFNDEF; ELSE; ENDIF;
  LPAREN; RPAREN; LBRACKET; RBRACKET; LCURLY; RCURLY; SEMI; COMMA; SELECT; ALTERNATE;
  ASSIGN; ASSIGN_ADD; ASSIGN_SUB; ASSIGN_MUL; ASSIGN_DIV; ASSIGN_MOD;
  ASSIGN_LSL; ASSIGN_ASR; ASSIGN_LSR; ASSIGN_AND; ASSIGN_OR; ASSIGN_XOR;
  LOGICAL_AND; LOGICAL_OR; LOGICAL_NOT; EQ; GTHAN; LTHAN; GTE; LTE; NE;
  BIT_AND; BIT_OR; BIT_XOR; BIT_NOT; LSL; LSR; ASR;
  PLUS; MINUS; MULTIPLY; DIVIDE; MOD; INC; DEC;
  WS; NEWLINE; STRING_LITERAL; QUOTED_LITERAL; IDENTIFIER; ESC; HEX_DIGIT; EXPONENT;
  NUMERIC_LITERAL; SL_COMMENT; ML_COMMENT;
}

INCLUDE : "#include" ;
DEFINE  : "#define" ;
IFDEF   : "#ifdef" ;
IFNDEF  : "#ifndef" ;
ELSE    : "#else" ;
ENDIF   : "#endif" ;

LPAREN    : '(' ;
RPAREN    : ')' ;
LBRACKET  : '[' ;
RBRACKET  : ']' ;
LCURLY    : '{' ;
RCURLY    : '}' ;
SEMI      : ';' ;
COMMA     : ',' ;
SELECT    : '?' ;
ALTERNATE : ':' ;

ASSIGN      : '=' ;
ASSIGN_ADD  : "+=" ;
ASSIGN_SUB  : "-=" ;
ASSIGN_MUL  : "*=" ;
ASSIGN_DIV  : "/=" ;
ASSIGN_MOD  : "%=" ;
ASSIGN_LSL  : "<<=" ;
ASSIGN_ASR  : ">>=" ;
ASSIGN_LSR  : ">>>=" ;
ASSIGN_AND  : "&=" ;
ASSIGN_OR   : "|=" ;
ASSIGN_XOR  : "^=" ;
LOGICAL_AND : "&&" ;
LOGICAL_OR  : "||" ;
LOGICAL_NOT : '!' ;
EQ          : "==" ;
GTHAN       : '>' ;
LTHAN       : '<' ;
GTE         : ">=" ;
LTE         : "<=" ;
NE          : "!=" ;
BIT_AND     : '&' ;
BIT_OR      : '|' ;
BIT_XOR     : '^' ;
BIT_NOT     : '~' ;
LSL         : "<<" ;
LSR         : ">>>" ;
ASR         : ">>" ;
PLUS        : '+' ;
MINUS       : '-' ;
MULTIPLY    : '*' ;
DIVIDE      : '/' ;
MOD         : '%' ;
INC         : "++" ;
DEC         : "--" ;

// A run of blanks is one token: scripts are indented, and a token per blank would be a third
// of all the tokens read.
WS : ( options { greedy = true; } : ' ' | '\t' | '\f' )+ ;

NEWLINE
  : ( options { generateAmbigWarnings = false; }
    : "\r\n" | '\r' | '\n' )
    { newline(); }
  ;

STRING_LITERAL : '"' ( ESC | ~( '"' | '\\' | '\n' | '\r' ) )* '"' ;

QUOTED_LITERAL : '\'' ( ESC | ~( '\'' | '\\' | '\n' | '\r' ) )* '\'' ;

IDENTIFIER
  : ( 'a'..'z' | 'A'..'Z' | '_' | '$' )
    ( 'a'..'z' | 'A'..'Z' | '_' | '$' | '0'..'9' )*
  ;

protected ESC
  : '\\'
    ( 'n' | 'r' | 't' | 'b' | 'f' | '"' | '\'' | '\\'
    | ( 'u' )+ HEX_DIGIT HEX_DIGIT HEX_DIGIT HEX_DIGIT
    | '0'..'3'
      ( options { warnWhenFollowAmbig = false; }
      : '0'..'7' ( options { warnWhenFollowAmbig = false; } : '0'..'7' )?
      )?
    | '4'..'7' ( options { warnWhenFollowAmbig = false; } : '0'..'7' )?
    )
  ;

protected HEX_DIGIT : ( '0'..'9' | 'A'..'F' | 'a'..'f' ) ;

protected EXPONENT : ( 'e' | 'E' ) ( '+' | '-' )? ( '0'..'9' )+ ;

// A lone "." is a number token here; only the ActionScript lexer turns it into ".".
NUMERIC_LITERAL
  : '.'
    ( ( '0'..'9' )+ ( options { greedy = true; } : EXPONENT )? )?
  | ( '0'
      ( ( 'x' | 'X' ) ( options { greedy = true; } : HEX_DIGIT )+
      | ( '0'..'9' )+
      )?
    | '1'..'9' ( options { greedy = true; } : '0'..'9' )*
    )
    ( options { greedy = true; }
    : '.' ( options { greedy = true; } : '0'..'9' )*
      ( options { greedy = true; } : EXPONENT )?
    | EXPONENT
    )?
  ;

// The comment takes its line end with it.
SL_COMMENT
  : "//" ( ~( '\n' | '\r' ) )*
    ( '\n' | '\r' ( options { greedy = true; } : '\n' )? )?
    { newline(); }
  ;

ML_COMMENT
  : "/*"
    ( options { generateAmbigWarnings = false; }
    : { LA(2) != '/' }? '*'
    | "\r\n" { newline(); }
    | '\r' { newline(); }
    | '\n' { newline(); }
    | ~( '*' | '\n' | '\r' )
    )*
    "*/"
  ;
