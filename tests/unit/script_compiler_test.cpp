#include <gtest/gtest.h>

#include "script/code_messages.h"
#include "script/compiler.h"
#include "script/registry.h"
#include "script_fixture.h"

using namespace kestrin;
using kestrin::testing::Brief;

namespace {

void NoOp(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {}

class ScriptCompiler : public kestrin::testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        if (FindFunction("test_one") < 0) {
            RegisterFunction("test_one", NoOp, 1);
            RegisterFunction("test_any", NoOp, -1);
        }
    }
    // "ok", or "L:C: message".
    static std::string Compile(std::string_view text) {
        CCode code(text, false);
        return code.Compile() ? "ok" : Brief(LastCodeError());
    }
};

struct CompileCase {
    const char* code;
    const char* expected;
};

TEST_F(ScriptCompiler, GrammarAndMessages) {
    const CompileCase cases[] = {
        {"", "ok"},
        {"{ a = 1; }", "ok"},
        {"{ a = 1; };", "1:11: Program ends before end of the code."},
        {"a = 1; }", "1:8: Unexpected symbol in expression."},
        {"begin a = 1 end", "ok"},
        {"if a > 0 then b = 1 else b = 2", "ok"},
        {"if (a > 0) { b = 1; } else b = 2;", "ok"},
        {"while (a) ;", "ok"},
        {"while a do a -= 1", "ok"},
        {"do a += 1 until a > 3", "ok"},
        {"do a += 1; a = 2", "1:12: Keyword until expected."},
        {"for (i = 0; i < 3; i += 1) s += i", "ok"},
        {"for (i = 0 i < 3 i += 1) s += i", "ok"},
        {"for (;;) {}", "1:8: Unexpected symbol in expression."},
        {"for i = 0", "1:5: Symbol ( expected."},
        {"for (i = 0; i < 3; i += 1 s += i", "1:27: Symbol ) expected."},
        {"repeat 3 a += 1", "ok"},
        {"exit; break; continue", "ok"},
        {"with (all) a = 1", "ok"},
        {"return;", "1:7: Unexpected symbol in expression."},
        {"return 1", "ok"},
        {"switch (a) { case 1: b = 1; break; default: b = 2; }", "ok"},
        {"switch a case 1:", "1:10: Symbol { expected."},
        {"switch (a) { case 1: b = 1;", "1:27: Symbol } expected."},
        {"switch (a) { case 1 b = 1; }", "1:21: Symbol : expected."},
        {"switch (a) { default b = 1; }", "1:22: Symbol : expected."},
        {"case 1: a = 1", "ok"},
        {"var p, q r; p = 1;", "ok"},
        {"var score;", "1:5: Cannot redeclare a builtin variable."},
        {"globalvar g, score;", "1:14: Cannot redeclare a builtin variable."},
        {"{ a = 1;", "1:8: Symbol } expected."},
        {"a = 1 +", "1:7: Unexpected symbol in expression."},
        {"a", "1:1: Assignment operator expected."},
        {"a b", "1:3: Assignment operator expected."},
        {"-a = 1", "1:4: Variable name expected."},
        {"1 = 2", "1:3: Variable name expected."},
        {"a.1 = 2", "1:2: Assignment operator expected."},
        {"a.(b) = 2", "1:3: Variable name expected."},
        {"a = (1 + 2", "1:10: Symbol ) expected."},
        {"a[1,2,3] = 0", "1:7: Only 1- and 2-dimensional arrays are supported."},
        {"a[1 2] = 0", "1:5: Symbol , or ] expected."},
        {"a[1", "1:3: Symbol ] expected."},
        {"a[] = 1", "ok"},
        {"a[1,] = 1", "ok"},
        {"b = nothing_here(1)", "1:5: Unknown function or script: nothing_here"},
        {"test_one(1,)", "ok"},
        {"test_one()", "1:10: Wrong number of arguments to function or script."},
        {"test_one(1, 2)", "1:14: Wrong number of arguments to function or script."},
        {"test_any()", "ok"},
        {"test_any(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16)", "ok"},
        {"test_any(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)",
         "1:51: Wrong number of arguments to function or script."},
        {"test_any(1 2)", "1:12: Symbol , or ) expected."},
        {"test_any(1,", "1:11: Symbol ) expected."},
        {"'a'.x = 1", "1:1: Left hand side must be a real value."},
        {"x = 1 / 0", "1:9: Division by 0."},
        {"x = \"a\" + 1", "1:11: Wrong type of arguments to +."},
        {"x = -\"a\"", "1:6: Wrong type of arguments to unary operator."},
        {"a = 1 # 2", "1:7: Unexpected symbol."},
        {";;;", "ok"},
        {"}", "1:1: Unexpected symbol in expression."},
        {"a = 1;\r\nb = ;", "2:6: Unexpected symbol in expression."},
    };
    for (const CompileCase& c : cases) EXPECT_EQ(Compile(c.code), c.expected) << c.code;
}

TEST_F(ScriptCompiler, MessageFormat) {
    CCode program("a = 1 +", false);
    ASSERT_FALSE(program.Compile());
    EXPECT_EQ(LastCodeError(), "Error in code at line 1:\r   a = 1 +\r        ^\rat position 7: "
                               "Unexpected symbol in expression.");

    // The line feed after a carriage return is the first character of its line.
    CCode crlf("a = 1;\r\nb = ;", false);
    ASSERT_FALSE(crlf.Compile());
    EXPECT_EQ(LastCodeError(), "Error in code at line 2:\r   \nb = ;\r       ^\rat position 6: "
                               "Unexpected symbol in expression.");

    // Lines ended by line feeds alone show only their own line.
    CCode lf("a = 1;\nb = ;\nc = 2;", false);
    ASSERT_FALSE(lf.Compile());
    EXPECT_EQ(LastCodeError(), "Error in code at line 2:\r   b = ;\r      ^\rat position 5: "
                               "Unexpected symbol in expression.");

    CCode expression("1 + 'a'", true);
    ASSERT_FALSE(expression.Compile());
    EXPECT_EQ(LastCodeError(), "Error in expression:1 + 'a'\r position 5: Wrong type of arguments to +.");

    // Positions count UTF-16 units, as the lexer's do.
    CCode wide("s = \"\xC3\xA9\xF0\x9F\x98\x80\" + ;", false);
    ASSERT_FALSE(wide.Compile());
    EXPECT_NE(LastCodeError().find("at position 13: "), std::string::npos) << LastCodeError();

    CCode twice("a = 1", false);
    ASSERT_TRUE(twice.Compile());
    EXPECT_FALSE(twice.Compile());
    EXPECT_EQ(Brief(LastCodeError()), "1:1: Internal Error: Recompiling compiled code.");
}

TEST_F(ScriptCompiler, TreeShapes) {
    CCode a("if x > 0 then y = 1 else y = 2", false);
    CCode b("if (x > 0) { y = 1; } else y = 2;", false);
    ASSERT_TRUE(a.Compile());
    ASSERT_TRUE(b.Compile());
    const RToken& ifA = a.i_token.items[0];
    const RToken& ifB = b.i_token.items[0];
    EXPECT_EQ(ifA.kind, kNodeIf);
    EXPECT_EQ(ifB.kind, kNodeIf);
    EXPECT_EQ(ifA.itemnumb(), 3);
    EXPECT_EQ(ifB.itemnumb(), 3);
    EXPECT_EQ(ifA.items[0].kind, kNodeBinary);
    EXPECT_EQ(ifA.items[0].ind, 209);
    EXPECT_EQ(ifB.items[1].kind, kNodeBlock);

    // Precedence: (a & b) == c, (a < b) < c, (a or b) and c, (-2) * 3.
    CCode p("r = a & b == c; r = a < b < c; r = a or b and c; r = -x * 3;", false);
    ASSERT_TRUE(p.Compile());
    EXPECT_EQ(p.i_token.items[0].items[1].ind, 206);
    EXPECT_EQ(p.i_token.items[0].items[1].items[0].ind, 218);
    EXPECT_EQ(p.i_token.items[1].items[1].items[0].ind, 204);
    EXPECT_EQ(p.i_token.items[2].items[1].ind, 201);
    EXPECT_EQ(p.i_token.items[2].items[1].items[0].ind, 202);
    EXPECT_EQ(p.i_token.items[3].items[1].ind, 212);
    EXPECT_EQ(p.i_token.items[3].items[1].items[0].kind, kNodeUnary);

    // Selectors: plain x, a declared local, other.x, an object index; a use before `var`
    // stays an instance variable.
    CCode v("x = 1; var l; l = 2; other.x = 3; k = l; (4).x = 5;", false);
    ASSERT_TRUE(v.Compile());
    EXPECT_EQ(v.i_token.items[0].items[0].kind, kNodeFixedVariable);
    EXPECT_EQ(v.i_token.items[0].items[0].ind2, -6);
    EXPECT_EQ(v.i_token.items[2].items[0].ind2, -7);
    EXPECT_EQ(v.i_token.items[3].items[0].ind2, -2);
    EXPECT_EQ(v.i_token.items[4].items[1].ind2, -7);
    EXPECT_EQ(v.i_token.items[5].items[0].ind2, 4);
    CCode before("l = 1; var l; l = 2;", false);
    ASSERT_TRUE(before.Compile());
    EXPECT_EQ(before.i_token.items[0].items[0].ind2, -6);
    EXPECT_EQ(before.i_token.items[2].items[0].ind2, -7);

    // A `var` declares three names even without the second comma.
    CCode names("var p, q r;", false);
    ASSERT_TRUE(names.Compile());
    EXPECT_EQ(names.i_token.items[0].itemnumb(), 3);

    // a[] is the plain variable; a[i] keeps its index.
    CCode arrays("a[] = 1; a[i] = 2;", false);
    ASSERT_TRUE(arrays.Compile());
    EXPECT_EQ(arrays.i_token.items[0].items[0].kind, kNodeFixedVariable);
    EXPECT_EQ(arrays.i_token.items[1].items[0].kind, kNodeVariable);
}

TEST_F(ScriptCompiler, Expressions) {
    CCode empty("", true);
    ASSERT_TRUE(empty.Compile());
    EXPECT_EQ(empty.i_kind, kCodeConstant);
    EXPECT_EQ(empty.i_value.val(), 0.0);

    CCode folded("2 * 3", true);
    ASSERT_TRUE(folded.Compile());
    EXPECT_EQ(folded.i_kind, kCodeConstant);
    EXPECT_EQ(folded.i_value.val(), 6.0);

    CCode rest("1 2", true);
    ASSERT_TRUE(rest.Compile());
    EXPECT_EQ(rest.i_value.val(), 1.0);

    CCode variable("a + 1", true);
    ASSERT_TRUE(variable.Compile());
    EXPECT_EQ(variable.i_kind, kCodeExpression);

    // Folding that would fault is left for the run.
    CCode overflow("x = 99999999999999999999999999999999999999999999999999999999999999999999999999999999"
                   "99999999999999999999999999999999999999999999999999999999999999999999999999999999"
                   "99999999999999999999999999999999999999999999999999999999999999999999999999999999"
                   "99999999999999999999999999999999999999999999999999999999999999999999999999999999"
                   " * 10",
                   false);
    EXPECT_TRUE(overflow.Compile());
}

TEST_F(ScriptCompiler, ArgumentBookkeeping) {
    const struct {
        const char* code;
        int32_t args;
        bool array;
    } cases[] = {
        {"a = 1", 0, false},
        {"a = argument0 * 2", 1, false},
        {"a = argument3 + argument1", 4, false},
        {"a = argument[1]", 0, true},
        {"a = argument15 + argument[0]", 16, true},
    };
    for (const auto& c : cases) {
        CCode code(c.code, false);
        ASSERT_TRUE(code.Compile()) << c.code;
        EXPECT_EQ(code.i_Args, c.args) << c.code;
        EXPECT_EQ(code.i_ArgArray, c.array) << c.code;
    }
}

TEST_F(ScriptCompiler, DeepNestingIsRefusedNotOverflowed) {
    const std::string parens = "a = " + std::string(5000, '(') + "1" + std::string(5000, ')');
    EXPECT_EQ(Compile(parens), "1:" + std::to_string(4 + kMaxNesting) + ": Code is nested too deeply.");
    std::string blocks(100000, '{');
    EXPECT_NE(Compile(blocks).find("Code is nested too deeply."), std::string::npos);
    std::string unary = "a = " + std::string(100000, '-') + "1";
    EXPECT_NE(Compile(unary).find("Code is nested too deeply."), std::string::npos);
    std::string ifs;
    for (int i = 0; i < 10000; ++i) ifs += "if a ";
    EXPECT_NE(Compile(ifs + "b = 1").find("Code is nested too deeply."), std::string::npos);

    // Long operator chains make a tall tree without nesting in the text.
    std::string chain = "a = b";
    for (int i = 0; i < 100000; ++i) chain += " + b";
    EXPECT_NE(Compile(chain).find("Code is nested too deeply."), std::string::npos);
    std::string dots = "a = b";
    for (int i = 0; i < 100000; ++i) dots += ".b";
    EXPECT_NE(Compile(dots).find("Code is nested too deeply."), std::string::npos);

    // Ordinary code is far from the limits.
    std::string ordinary = "a = b";
    for (int i = 0; i < 500; ++i) ordinary += " + b";
    EXPECT_EQ(Compile(ordinary), "ok");
}

} // namespace
