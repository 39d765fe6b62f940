// The preprocessor: output text, line tables, defines, includes and its errors.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "script/compiler/ScriptCompiler.h"
#include "support/TestSupport.h"

namespace {

// The preprocessed text and its line table, one "file:line:text" entry per output line.
struct Output {
  std::string text;
  std::vector<std::string> lines;
};

std::vector<std::string> LineTable(const ScriptCompiler& compiler) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < compiler.GetLineFiles().size(); ++i) {
    lines.push_back(compiler.GetLineFiles()[i] + ":" + std::to_string(compiler.GetLineNumbers()[i]) +
                    ":" + compiler.GetLineTexts()[i]);
  }
  return lines;
}

Output Preprocess(ScriptCompiler& compiler, const std::string& source) {
  compiler.Preprocess(source, "Main");
  return Output{compiler.GetScriptText(), LineTable(compiler)};
}

Output Preprocess(const std::string& source) {
  ScriptCompiler compiler;
  return Preprocess(compiler, source);
}

using Lines = std::vector<std::string>;

TEST(Preprocessor, ConditionalRegions) {
  const struct {
    const char* source;
    const char* text;
  } cases[] = {
      // The blank after "#ifdef" is copied like any text; only "#define" and "#include"
      // drop what stands before their operand.
      {"#define DEBUG\n#ifdef DEBUG\na;\n#endif\nb;", "\n \na;\n\nb;\n"},
      {"#define DEBUG\n#ifndef DEBUG\na;\n#endif\nb;", "\n \n\n\nb;\n"},
      {"#define DEBUG\n#ifndef DEBUG\na;\n#else\nc;\n#endif\n", "\n \n\n\nc;\n\n"},
      // One flag, no nesting: the inner "#endif" reactivates.
      {"#define B\n#ifdef A\n#ifdef B\nt1;\n#endif\nt2;\n#endif\n", "\n \n\nt1;\n\nt2;\n\n"},
      // A definition inside an inactive region still counts.
      {"#ifdef NONE\n#define V 1\n#endif\n#ifdef V\nv;\n#endif\n", " \n\n\n \nv;\n\n"},
      // "#else" without "#ifdef" turns the rest off.
      {"a;\n#else\nb;\n", "a;\n\n\n"},
      // The tested name may come on a later line.
      {"#define X\n#ifdef\n\nX a;\n#endif\n", "\n\n\n a;\n\n"},
      // A "#define" without line end at the end of the text is dropped.
      {"#define A\n#ifdef A\nyes;\n#endif\n#define B", "\n \nyes;\n\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Preprocess(c.source).text, c.text) << c.source;
}

TEST(Preprocessor, Defines) {
  ScriptCompiler compiler;
  Output out = Preprocess(compiler,
                          "#define A 1\n#define C D\n#define E 1 2\n#define F \"s\" -1\n"
                          "#define G .\n#defineH\n");
  EXPECT_TRUE(compiler.IsDefined("A"));
  EXPECT_FALSE(compiler.IsDefined("C"));
  EXPECT_TRUE(compiler.IsDefined("D"));
  EXPECT_TRUE(compiler.IsDefined("E"));
  EXPECT_TRUE(compiler.IsDefined("F"));  // the string is no value; the line end completes it
  EXPECT_TRUE(compiler.IsDefined("G"));  // a lone "." is a number to the preprocessor
  EXPECT_TRUE(compiler.IsDefined("H"));
  EXPECT_FALSE(compiler.IsDefined("a"));
  // Text after a value goes on into the script; what stands between a "#define" and its
  // operand (blanks, a string, a sign) does not.
  EXPECT_EQ(out.text, "\n\n 2\n\n\n\n");
}

// A "//" comment ends its line like a line end: the text before it goes out on the
// comment's line and a pending "#define" is completed there.
TEST(Preprocessor, LineCommentEndsLine) {
  Output out = Preprocess("x = 1; // note\ny = 2;");
  EXPECT_EQ(out.text, "x = 1; \ny = 2;\n");
  EXPECT_EQ(out.lines, (Lines{"Main:1:x = 1; ", "Main:2:y = 2;"}));

  ScriptCompiler compiler;
  out = Preprocess(compiler, "#define DEBUG // note\n#ifdef DEBUG\na;\n#endif\nb;\n");
  EXPECT_TRUE(compiler.IsDefined("DEBUG"));
  EXPECT_EQ(out.text, "\n \na;\n\nb;\n");

  // Tokens never join across the comment.
  ScriptCompiler parsed;
  std::unique_ptr<ScriptNode> root(parsed.Parse("if (a) x = 1; else//otherwise\ny = 2;"));
  ASSERT_NE(root, nullptr) << parsed.GetErrorMessage();
  EXPECT_EQ(scripttest::Dump(root.get()),
            "(Array (if (Identifier = a) (= (Identifier = x) (Number = 1)) "
            "(= (Identifier = y) (Number = 2))))");
}

TEST(Preprocessor, BlockComments) {
  Output out = Preprocess("/* one\ntwo\nthree */\ncode;\n");
  EXPECT_EQ(out.text, "\n \ncode;\n");
  EXPECT_EQ(out.lines, (Lines{"Main:1:", "Main:3: ", "Main:4:code;"}));

  out = Preprocess("l1;\nl2;\nl3;\nl4;\na = 1; /* c */ b = 2;\n");
  EXPECT_EQ(out.lines, (Lines{"Main:1:l1;", "Main:2:l2;", "Main:3:l3;", "Main:4:l4;", "Main:5:",
                              "Main:5:a = 1;   b = 2;"}));

  // The comment still separates the tokens on either side of it.
  EXPECT_EQ(Preprocess("a/**/b;").text, "\na b;\n");
  ScriptCompiler parsed;
  EXPECT_EQ(parsed.Parse("a/**/b;"), nullptr);
  EXPECT_EQ(parsed.GetErrorCode(), kScriptErrorSyntax);
}

TEST(Preprocessor, LineEndsAndBytes) {
  Output out = Preprocess("a;\r\nb;\rc;\nd;");
  EXPECT_EQ(out.text, "a;\nb;\nc;\nd;\n");
  EXPECT_EQ(out.lines, (Lines{"Main:1:a;", "Main:2:b;", "Main:3:c;", "Main:4:d;"}));
  EXPECT_EQ(Preprocess("if function;").text, "if function;\n");
  EXPECT_EQ(Preprocess("s = \"\xE9\"; // \xE9\n/* \xE9 */").text, "s = \"\xE9\"; \n\n \n");
}

TEST(Preprocessor, Errors) {
  const struct {
    const char* source;
    int code;
    const char* message;
    int line;
    int column;
  } cases[] = {
      {"x;\n#define 5\n", kScriptErrorSyntax, "Main:2:9: Unsupported value for #define: 5", 2, 9},
      {"#include \"missing-file.as\"", kScriptErrorSyntax,
       "Main:1:10: Could not find file: \"missing-file.as\"", 1, 10},
      // Lexical errors: the plain message, at the character where the lexer stopped.
      {"#pragma once", kScriptErrorStream, "unexpected char: '#'", 1, 1},
      {"x;\n#if X", kScriptErrorStream, nullptr, 2, 1},
      {"#IFDEF X", kScriptErrorStream, nullptr, 1, 1},
      {"#defne X", kScriptErrorStream, nullptr, 1, 5},
      {"x = \xE9;", kScriptErrorStream, "unexpected char: 0xE9", 1, 5},
      {"/* open", kScriptErrorStream, nullptr, 1, 8},
  };
  for (const auto& c : cases) {
    ScriptCompiler compiler;
    EXPECT_EQ(compiler.Parse(c.source), nullptr) << c.source;
    EXPECT_EQ(compiler.GetErrorCode(), c.code) << c.source;
    if (c.message) {
      EXPECT_STREQ(compiler.GetErrorMessage(), c.message);
    }
    EXPECT_EQ(compiler.GetErrorLine(), c.line) << c.source;
    EXPECT_EQ(compiler.GetErrorColumn(), c.column) << c.source;
    EXPECT_STREQ(compiler.GetErrorFile(), "Main");
  }
}

class PreprocessorIncludes : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& text) {
    testsupport::WriteFile(dir_ / name, text);
  }
  std::string Path(const std::string& name) { return dir_.str() + "/" + name; }

  testsupport::ScratchDir dir_;
};

TEST_F(PreprocessorIncludes, IncludedLinesComeFirst) {
  Write("lib.as", "libA;\n// note\nlibB;");
  ScriptCompiler compiler;
  compiler.AddIncludePath(dir_.str().c_str());
  Output out = Preprocess(compiler, "a;\nb; #include \"lib.as\" c;\nd;\n");
  EXPECT_EQ(out.lines, (Lines{"Main:1:a;", Path("lib.as") + ":1:libA;", Path("lib.as") + ":2:",
                              Path("lib.as") + ":3:libB;", "Main:2:b;  c;", "Main:3:d;"}));
  EXPECT_EQ(compiler.FindIncludeFile("\"lib.as\""), Path("lib.as"));
}

TEST_F(PreprocessorIncludes, SearchOrderAndSeparators) {
  std::filesystem::create_directory(dir_ / "sub");
  Write("sub/inc.as", "inner;");
  ScriptCompiler compiler;
  EXPECT_EQ(compiler.FindIncludeFile("\"sub\\inc.as\""), "");
  compiler.AddIncludePath(dir_.str().c_str());
  EXPECT_EQ(compiler.FindIncludeFile("\"sub\\inc.as\""), Path("sub/inc.as"));
  EXPECT_EQ(compiler.FindIncludeFile("sub/inc.as"), Path("sub/inc.as"));
  EXPECT_EQ(compiler.FindIncludeFile("\"sub/none.as\""), "");
  // The file name may come on a later line; defines made inside carry over.
  Write("def.as", "#define FROM_INCLUDE\n");
  Output out = Preprocess(compiler, "#include\nx;\n\"sub\\\\inc.as\"\n#include \"def.as\"\n");
  EXPECT_TRUE(compiler.IsDefined("FROM_INCLUDE"));
  EXPECT_EQ(out.text, "\n\ninner;\n\n\n\n");
}

// Script text is Mac Roman; the file's name on disk is UTF-8.
TEST_F(PreprocessorIncludes, NonAsciiNameReachesTheFileSystemAsUtf8) {
  Write("\xC3\xA9t\xC3\xA9.as", "accented;");  // "été.as"
  ScriptCompiler compiler;
  compiler.AddIncludePath(dir_.str().c_str());
  Output out = Preprocess(compiler, "#include \"\x8Et\x8E.as\"\n");
  EXPECT_EQ(out.text, "accented;\n\n");
  EXPECT_EQ(out.lines.front(), Path("\x8Et\x8E.as") + ":1:accented;");
}

// A file that includes itself stops at the nesting limit with a syntax error at its
// "#include".
TEST_F(PreprocessorIncludes, SelfIncludeIsRefused) {
  Write("self.as", "x;\n  #include \"self.as\"\n");
  ScriptCompiler compiler;
  compiler.AddIncludePath(dir_.str().c_str());
  EXPECT_EQ(compiler.Parse("#include \"self.as\"\n"), nullptr);
  EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
  EXPECT_EQ(compiler.GetErrorFile(), Path("self.as"));
  EXPECT_EQ(compiler.GetErrorLine(), 2);
  EXPECT_EQ(compiler.GetErrorColumn(), 3);
  EXPECT_NE(std::string(compiler.GetErrorMessage()).find("Include nesting too deep: \"self.as\""),
            std::string::npos)
      << compiler.GetErrorMessage();
}

// A script beyond the size limit, alone or with its included files, is refused before it is
// parsed; one at the limit is read.
TEST_F(PreprocessorIncludes, ScriptsBeyondTheSizeLimitAreRefused) {
  const size_t limit = ScriptCompiler::kMaxScriptBytes;
  // The included files count with the bytes read, even those that leave no text.
  Write("half.as", "//" + std::string(limit / 2, 'x'));
  Write("whole.as", "//" + std::string(limit, 'x'));
  const struct {
    std::string script;
    const char* message;  // empty when the script is read
  } cases[] = {
      {std::string(limit - 1, 'a') + ";", ""},
      {std::string(limit - 2, 'a') + ";\n", ""},
      {std::string(limit, 'a') + ";", "The script is longer than 1048576 bytes"},
      {"#include \"whole.as\"\n", "The script with its included files is longer than 1048576 bytes"},
      {"#include \"half.as\"\n#include \"half.as\"\n#include \"half.as\"\n",
       "The script with its included files is longer than 1048576 bytes"},
  };
  for (const auto& c : cases) {
    ScriptCompiler compiler;
    compiler.AddIncludePath(dir_.str().c_str());
    std::unique_ptr<ScriptNode> root(compiler.Parse(c.script.c_str()));
    if (*c.message == '\0') {
      EXPECT_NE(root, nullptr) << compiler.GetErrorMessage();
      continue;
    }
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorStream);
    EXPECT_STREQ(compiler.GetErrorMessage(), c.message);
    EXPECT_TRUE(compiler.GetScriptText().size() <= limit + 1);
  }
}

TEST_F(PreprocessorIncludes, DeepestChainIsAccepted) {
  const int depth = ScriptCompiler::kMaxIncludeDepth;
  for (int i = 1; i <= depth + 1; ++i) {
    Write("f" + std::to_string(i) + ".as",
          i < depth + 1 ? "#include \"f" + std::to_string(i + 1) + ".as\"\n" : "deepest = 1;\n");
  }
  // The script includes f1, which includes f2, ...: f16 is the 16th level, f17 one more.
  Write("f16.as", "deepest = 1;\n");
  ScriptCompiler accepted;
  accepted.AddIncludePath(dir_.str().c_str());
  std::unique_ptr<ScriptNode> root(accepted.Parse("#include \"f1.as\"\n"));
  EXPECT_NE(root, nullptr) << accepted.GetErrorMessage();

  Write("f16.as", "#include \"f17.as\"\n");
  ScriptCompiler refused;
  refused.AddIncludePath(dir_.str().c_str());
  EXPECT_EQ(refused.Parse("#include \"f1.as\"\n"), nullptr);
  EXPECT_EQ(refused.GetErrorCode(), kScriptErrorSyntax);
  EXPECT_EQ(refused.GetErrorFile(), Path("f16.as"));
}

// Syntax errors after preprocessing are reported against the source line they came from.
TEST_F(PreprocessorIncludes, ParserErrorsMapToSources) {
  Write("bad.as", "ok = 1;\n\nbroken = ;\n");
  ScriptCompiler compiler;
  compiler.AddIncludePath(dir_.str().c_str());
  EXPECT_EQ(compiler.Parse("/* a\nb */\n#include \"bad.as\"\n"), nullptr);
  EXPECT_EQ(compiler.GetErrorCode(), kScriptErrorSyntax);
  EXPECT_EQ(compiler.GetErrorFile(), Path("bad.as"));
  EXPECT_EQ(compiler.GetErrorLine(), 3);
  EXPECT_EQ(compiler.GetErrorColumn(), 10);
  EXPECT_STREQ(compiler.GetErrorLineText(), "broken = ;");
}

// Syntax and lexical errors name the user's own file, line and line text, in the record and
// in a syntax error's message, also after an include or an inactive region; a lexical error
// keeps the plain message.
TEST_F(PreprocessorIncludes, ErrorsNameTheirSourceFileAndLine) {
  Write("two.as", "a = 1;\nb = 2;\n");
  Write("bad.as", "a = 1;\nb = ;\n");
  Write("stray.as", "a = 1;\nb = @;\n");
  Write("comment.as", "a = 1;\nb /* x */ = ;\n");
  Write("nul.as", std::string("a = 1; // \0\nb = 2;\n", 20));
  Write("open.as", "a = 1;\n/* open\n");
  const struct {
    const char* script;
    int code;
    std::string message, file;
    int line, column;
    const char* lineText;
  } cases[] = {
      {"#include \"two.as\"\nx = ;", kScriptErrorSyntax, "Main:2:5: unexpected token: ;", "Main", 2, 5, "x = ;"},
      {"#ifdef X\n/* a\nb */\n#endif\nx = ;", kScriptErrorSyntax, "Main:5:5: unexpected token: ;", "Main",
       5, 5, "x = ;"},
      {"x = 1;\n#include \"bad.as\"\n", kScriptErrorSyntax, Path("bad.as") + ":2:5: unexpected token: ;",
       Path("bad.as"), 2, 5, "b = ;"},
      {"x = 1;\n#include \"comment.as\"\n", kScriptErrorSyntax, Path("comment.as") + ":2:13: unexpected token: ;",
       Path("comment.as"), 2, 13, "b /* x */ = ;"},
      {"#include \"two.as\"\ny = @;", kScriptErrorStream, "unexpected char: '@'", "Main", 2, 5, "y = @;"},
      {"x = 1;\n#include \"stray.as\"\n", kScriptErrorStream, "unexpected char: '@'", Path("stray.as"), 2, 5,
       "b = @;"},
      // A lexical error in an included file, in a comment or at its end, on its own line.
      {"x = 1;\n#include \"nul.as\"\n", kScriptErrorStream, "unexpected char: 0x00", Path("nul.as"), 1, 11,
       "a = 1; // "},
      {"x = 1;\n#include \"open.as\"\n", kScriptErrorStream, "expecting ''*'', found 'EOF'", Path("open.as"), 2, 8,
       "/* open"},
      // The preprocessor's own errors name the line as it stands in the source.
      {"x = 1;\r\n#include \"none.as\" // gone\r\n", kScriptErrorSyntax, "Main:2:10: Could not find file: \"none.as\"",
       "Main", 2, 10, "#include \"none.as\" // gone"},
      // A directive inside a line joins its neighbours: the ActionScript lexer meets "0x;",
      // and the error names the ";" where the user wrote it.
      {"#include \"two.as\"\nx = 0#endifx;", kScriptErrorStream, "unexpected char: ';'", "Main", 2, 13,
       "x = 0#endifx;"},
  };
  for (const auto& c : cases) {
    ScriptCompiler compiler;
    compiler.AddIncludePath(dir_.str().c_str());
    EXPECT_EQ(compiler.Parse(c.script), nullptr) << c.script;
    EXPECT_EQ(compiler.GetErrorCode(), c.code) << c.script;
    EXPECT_EQ(compiler.GetErrorMessage(), c.message) << c.script;
    EXPECT_EQ(compiler.GetErrorFile(), c.file) << c.script;
    EXPECT_EQ(compiler.GetErrorLine(), c.line) << c.script;
    EXPECT_EQ(compiler.GetErrorColumn(), c.column) << c.script;
    EXPECT_STREQ(compiler.GetErrorLineText(), c.lineText) << c.script;
  }
}

}  // namespace
