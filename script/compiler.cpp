#include "script/compiler.h"

#include "script/callable.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/numeric.h"
#include "script/builtin_routine.h"
#include "script/code_messages.h"
#include "script/constants.h"
#include "script/lexer.h"
#include "script/operators.h"
#include "script/registry.h"
#include "script/scripts.h"
#include "script/variables.h"

namespace kestrin {

namespace {

enum Phase2Symbol : int32_t { kSymConstant = 5, kSymFunction = 6, kSymVariable = 7 };

struct RToken2 {
    int32_t symbol = kSymEnd;
    int32_t ind = 0;
    RValue val;
    int32_t position = 0;
};

// ---- Phase 2: names and literals ----

bool Classify(CCode& code, const RTokenList1& in, std::vector<RToken2>& out, ArgumentUsage& usage) {
    out.clear();
    out.reserve(in.items.size());
    for (size_t i = 0; i < in.items.size(); ++i) {
        const RToken1& t = in.items[i];
        RToken2 r;
        r.position = t.position;
        r.symbol = t.symbol;
        if (t.symbol == kSymIdentifier) {
            const bool call = i + 1 < in.items.size() && in.items[i + 1].symbol == kSymOpenParen;
            if (call) {
                if (!FindCallable(t.str, r.ind)) {
                    ReportCodeError(code, t.position,
                                    std::string(CodeText(CodeMessage::UnknownFunction)) + t.str);
                    return false;
                }
                r.symbol = kSymFunction;
            } else if (FindConstant(t.str, r.val)) {
                r.symbol = kSymConstant;
            } else {
                r.symbol = kSymVariable;
                r.ind = VariableIndex(t.str, usage);
            }
        } else if (t.symbol == kSymNumber) {
            r.symbol = kSymConstant;
            r.val.SetReal(NumberLiteralValue(t.str));
        } else if (t.symbol == kSymString) {
            r.symbol = kSymConstant;
            r.val.SetString(t.str);
        }
        out.push_back(std::move(r));
    }
    return true;
}

// ---- Phase 3: the grammar ----

bool IsAssignmentOperator(int32_t symbol) {
    return (symbol >= kSymAssign && symbol <= kSymDivideAssign) ||
           (symbol >= kSymOrAssign && symbol <= kSymXorAssign);
}

class Parser {
public:
    Parser(CCode& code, const std::vector<RToken2>& tokens) : code_(code), t_(tokens) {}

    // program -> empty | block END | statement* END
    bool Program(RToken& root) {
        root = RToken();
        root.position = Cur().position;
        if (Cur().symbol == kSymEnd) {
            root.kind = kNodeEmptyProgram;
            return true;
        }
        if (Cur().symbol == kSymBegin) {
            if (!Block(root)) return false;
            if (Cur().symbol != kSymEnd) return Fail(Cur().position, CodeMessage::ProgramEndsEarly);
            return true;
        }
        root.kind = kNodeBlock;
        while (Cur().symbol != kSymEnd) {
            RToken s;
            if (!Statement(s)) return false;
            if (!Adopt(root, std::move(s))) return false;
        }
        return true;
    }

    // expression program -> empty | expression (anything after it is ignored)
    bool ExpressionRoot(RToken& root) {
        root = RToken();
        if (Cur().symbol == kSymEnd) {
            root.kind = kNodeConstant;
            root.position = Cur().position;
            return true;
        }
        return Expression(root);
    }

private:
    struct Nest {
        explicit Nest(Parser& p) : p_(p) { ++p_.depth_; }
        ~Nest() { --p_.depth_; }
        Parser& p_;
    };

    const RToken2& Cur() const { return t_[p_]; }
    // The end token stays current once reached.
    void Next() {
        if (p_ + 1 < t_.size()) ++p_;
    }
    bool Fail(int32_t position, CodeMessage message) { return Fail(position, CodeText(message)); }
    bool Fail(int32_t position, std::string_view message) {
        ReportCodeError(code_, position, message);
        return false;
    }
    bool TooDeep() { return Fail(Cur().position, CodeMessage::NestedTooDeeply); }

    // Appends a child, keeping the tree's height bounded: every walk of the tree recurses
    // along it.
    bool Adopt(RToken& parent, RToken&& child) {
        const int32_t h = Height(child) + 1;
        parent.items.push_back(std::move(child));
        if (h > parent.slot) parent.slot = h;
        if (h > kMaxTreeHeight) return Fail(parent.items.back().position, CodeMessage::NestedTooDeeply);
        return true;
    }
    // While parsing, `slot` holds the height of the node's subtree (0 for a leaf).
    static int32_t Height(const RToken& node) { return node.slot < 0 ? 0 : node.slot; }

    static RToken Node(int32_t kind, int32_t position) {
        RToken n;
        n.kind = kind;
        n.position = position;
        return n;
    }
    static RToken Constant(const RValue& value, int32_t position) {
        RToken n = Node(kNodeConstant, position);
        n.value = value;
        return n;
    }

    // statement, then any number of `;`
    bool Statement(RToken& out) {
        Nest nest(*this);
        if (depth_ > kMaxNesting) return TooDeep();
        if (!StatementBody(out)) return false;
        while (Cur().symbol == kSymSemicolon) Next();
        return true;
    }

    bool StatementBody(RToken& out) {
        const RToken2& first = Cur();
        switch (first.symbol) {
        case kSymBegin:
            return Block(out);
        case kSymFunction:
            return Call(out);
        case kSymIf: // if -> IF expression [THEN] statement [ELSE statement]
            return Keyword(out, kNodeIf, [&] {
                RToken cond, then;
                if (!Expression(cond) || !Adopt(out, std::move(cond))) return false;
                if (Cur().symbol == kSymThen) Next();
                if (!Statement(then) || !Adopt(out, std::move(then))) return false;
                if (Cur().symbol == kSymElse) {
                    Next();
                    RToken otherwise;
                    if (!Statement(otherwise) || !Adopt(out, std::move(otherwise))) return false;
                }
                return true;
            });
        case kSymWhile: // while -> WHILE expression [DO] statement
        case kSymWith:  // with -> WITH expression [DO] statement
            return Keyword(out, first.symbol == kSymWhile ? kNodeWhile : kNodeWith, [&] {
                RToken head, body;
                if (!Expression(head) || !Adopt(out, std::move(head))) return false;
                if (Cur().symbol == kSymDo) Next();
                return Statement(body) && Adopt(out, std::move(body));
            });
        case kSymDo: // do -> DO statement UNTIL expression
            return Keyword(out, kNodeDo, [&] {
                RToken body, cond;
                if (!Statement(body) || !Adopt(out, std::move(body))) return false;
                if (Cur().symbol != kSymUntil) return Fail(Cur().position, CodeMessage::UntilExpected);
                Next();
                return Expression(cond) && Adopt(out, std::move(cond));
            });
        case kSymFor: // for -> FOR ( statement expression [;] statement ) statement
            return Keyword(out, kNodeFor, [&] {
                if (Cur().symbol != kSymOpenParen)
                    return Fail(Cur().position, CodeMessage::OpenParenExpected);
                Next();
                RToken init, cond, step, body;
                if (!Statement(init) || !Adopt(out, std::move(init))) return false;
                if (!Expression(cond) || !Adopt(out, std::move(cond))) return false;
                if (Cur().symbol == kSymSemicolon) Next();
                if (!Statement(step) || !Adopt(out, std::move(step))) return false;
                if (Cur().symbol != kSymCloseParen)
                    return Fail(Cur().position, CodeMessage::CloseParenExpected);
                Next();
                return Statement(body) && Adopt(out, std::move(body));
            });
        case kSymRepeat: // repeat -> REPEAT expression statement
            return Keyword(out, kNodeRepeat, [&] {
                RToken count, body;
                if (!Expression(count) || !Adopt(out, std::move(count))) return false;
                return Statement(body) && Adopt(out, std::move(body));
            });
        case kSymExit:
        case kSymBreak:
        case kSymContinue:
            out = Node(first.symbol == kSymExit    ? kNodeExit
                       : first.symbol == kSymBreak ? kNodeBreak
                                                   : kNodeContinue,
                       first.position);
            Next();
            return true;
        case kSymReturn: // return -> RETURN expression
            return Keyword(out, kNodeReturn, [&] {
                RToken value;
                return Expression(value) && Adopt(out, std::move(value));
            });
        case kSymSwitch: // switch -> SWITCH expression { statement* }
            return Keyword(out, kNodeSwitch, [&] {
                RToken value;
                if (!Expression(value) || !Adopt(out, std::move(value))) return false;
                if (Cur().symbol != kSymBegin) return Fail(Cur().position, CodeMessage::OpenBraceExpected);
                Next();
                while (Cur().symbol != kSymEndBlock) {
                    if (Cur().symbol == kSymEnd) return Fail(Cur().position, CodeMessage::CloseBraceExpected);
                    RToken s;
                    if (!Statement(s) || !Adopt(out, std::move(s))) return false;
                }
                Next();
                return true;
            });
        case kSymCase: // case -> CASE expression :
            return Keyword(out, kNodeCase, [&] {
                RToken value;
                if (!Expression(value) || !Adopt(out, std::move(value))) return false;
                if (Cur().symbol != kSymColon) return Fail(Cur().position, CodeMessage::ColonExpected);
                Next();
                return true;
            });
        case kSymDefault: // default -> DEFAULT :
            return Keyword(out, kNodeDefault, [&] {
                if (Cur().symbol != kSymColon) return Fail(Cur().position, CodeMessage::ColonExpected);
                Next();
                return true;
            });
        case kSymVar: // var -> VAR { name [,] }
        case kSymGlobalvar:
            return Keyword(out, first.symbol == kSymVar ? kNodeVar : kNodeGlobalvar, [&] {
                while (Cur().symbol == kSymVariable) {
                    if (Cur().ind < kFirstUserVariable)
                        return Fail(Cur().position, CodeMessage::CannotRedeclareBuiltin);
                    RToken name = Node(kNodeConstant, Cur().position);
                    name.ind = Cur().ind;
                    out.items.push_back(std::move(name));
                    Next();
                    if (Cur().symbol == kSymComma) Next();
                }
                return true;
            });
        case kSymSemicolon:
            out = Node(kNodeEmpty, first.position);
            Next();
            return true;
        case kSymEnd:
            return Fail(first.position, CodeMessage::UnexpectedEnd);
        default:
            return Assignment(out);
        }
    }

    // A construct that begins with a keyword takes the position of the token after it.
    template <typename Rest> bool Keyword(RToken& out, int32_t kind, Rest rest) {
        Next();
        out = Node(kind, Cur().position);
        return rest();
    }

    // block -> { statement* }
    bool Block(RToken& out) {
        Next();
        out = Node(kNodeBlock, Cur().position);
        while (Cur().symbol != kSymEndBlock) {
            if (Cur().symbol == kSymEnd) return Fail(Cur().position, CodeMessage::CloseBraceExpected);
            RToken s;
            if (!Statement(s) || !Adopt(out, std::move(s))) return false;
        }
        Next();
        return true;
    }

    // assignment -> postfix assignop expression
    bool Assignment(RToken& out) {
        out = Node(kNodeAssign, Cur().position);
        RToken target;
        if (!Postfix(target)) return false;
        if (target.kind != kNodeVariable) return Fail(Cur().position, CodeMessage::VariableNameExpected);
        if (!IsAssignmentOperator(Cur().symbol))
            return Fail(Cur().position, CodeMessage::AssignmentOperatorExpected);
        out.ind = Cur().symbol;
        Next();
        RToken value;
        if (!Adopt(out, std::move(target))) return false;
        return Expression(value) && Adopt(out, std::move(value));
    }

    // The binary levels, loosest first. ORDER of the precedence table.
    static int32_t Level(int32_t symbol) {
        switch (symbol) {
        case kOpAnd:
        case kOpOr:
        case kOpXor:
            return 1;
        case kOpAssignEqual:
        case kOpLess:
        case kOpLessEqual:
        case kOpEqual:
        case kOpNotEqual:
        case kOpGreaterEqual:
        case kOpGreater:
            return 2;
        case kOpBitOr:
        case kOpBitAnd:
        case kOpBitXor:
            return 3;
        case kOpShiftLeft:
        case kOpShiftRight:
            return 4;
        case kOpPlus:
        case kOpMinus:
            return 5;
        case kOpMultiply:
        case kOpDivide:
        case kOpDiv:
        case kOpMod:
            return 6;
        default:
            return 0;
        }
    }
    static constexpr int32_t kPostfixLevel = 7;

    bool Expression(RToken& out) { return Binary(out, 1); }

    // level n -> level n+1 { op(n) level n+1 }, left-associative
    bool Binary(RToken& out, int32_t level) {
        if (level == kPostfixLevel) return Postfix(out);
        if (!Binary(out, level + 1)) return false;
        while (Level(Cur().symbol) == level) {
            RToken node = Node(kNodeBinary, out.position);
            node.ind = Cur().symbol;
            Next();
            RToken right;
            if (!Binary(right, level + 1)) return false;
            if (!Adopt(node, std::move(out)) || !Adopt(node, std::move(right))) return false;
            out = std::move(node);
        }
        return true;
    }

    // postfix -> primary { . variable }
    bool Postfix(RToken& out) {
        if (!Primary(out)) return false;
        while (Cur().symbol == kSymDot) {
            Next();
            if (Cur().symbol != kSymVariable) return Fail(Cur().position, CodeMessage::VariableNameExpected);
            RToken variable;
            if (!Variable(variable)) return false;
            // The expression so far becomes the variable's instance.
            const int32_t h = Height(out) + 1;
            variable.items[0] = std::move(out);
            if (h > variable.slot) variable.slot = h;
            if (h > kMaxTreeHeight) return Fail(variable.position, CodeMessage::NestedTooDeeply);
            out = std::move(variable);
        }
        return true;
    }

    bool Primary(RToken& out) {
        Nest nest(*this);
        if (depth_ > kMaxNesting) return TooDeep();
        const RToken2& t = Cur();
        switch (t.symbol) {
        case kSymConstant:
            out = Constant(t.val, t.position);
            Next();
            return true;
        case kSymFunction:
            return Call(out);
        case kSymVariable:
            return Variable(out);
        case kSymOpenParen: // ( expression )
            Next();
            if (!Expression(out)) return false;
            if (Cur().symbol != kSymCloseParen) return Fail(Cur().position, CodeMessage::CloseParenExpected);
            Next();
            return true;
        case kOpNot:
        case kOpPlus:
        case kOpMinus:
        case kOpBitNot: { // unary -> op postfix
            out = Node(kNodeUnary, t.position);
            out.ind = t.symbol;
            Next();
            RToken operand;
            return Postfix(operand) && Adopt(out, std::move(operand));
        }
        default:
            return Fail(t.position, CodeMessage::UnexpectedSymbolInExpression);
        }
    }

    // call -> function ( [expression {, expression} [,]] )
    bool Call(RToken& out) {
        out = Node(kNodeCall, Cur().position);
        out.ind = Cur().ind;
        Next();
        if (Cur().symbol != kSymOpenParen) return Fail(Cur().position, CodeMessage::OpenParenExpected);
        Next();
        for (;;) {
            if (Cur().symbol == kSymCloseParen) break;
            if (Cur().symbol == kSymEnd) return Fail(Cur().position, CodeMessage::CloseParenExpected);
            RToken argument;
            if (!Expression(argument)) return false;
            if (!Adopt(out, std::move(argument))) return false;
            if (Cur().symbol == kSymComma) {
                Next();
            } else if (Cur().symbol == kSymCloseParen) {
                break;
            } else if (Cur().symbol == kSymEnd) {
                return Fail(Cur().position, CodeMessage::CloseParenExpected);
            } else {
                return Fail(Cur().position, CodeMessage::CommaOrCloseParenExpected);
            }
        }
        const int32_t count = out.itemnumb();
        const int32_t expected = CallableArgCount(out.ind);
        if (count > kMaxArguments || (expected != -1 && count != expected))
            return Fail(Cur().position, CodeMessage::WrongArgumentCount);
        Next();
        return true;
    }

    // variable -> name [ [ [expression {, expression} [,]] ] ]
    bool Variable(RToken& out) {
        out = Node(kNodeVariable, Cur().position);
        out.ind = Cur().ind;
        out.items.push_back(Constant(RValue(static_cast<double>(kUnqualifiedSelector)), Cur().position));
        out.slot = 1;
        Next();
        if (Cur().symbol != kSymOpenBracket) return true;
        Next();
        for (;;) {
            if (Cur().symbol == kSymCloseBracket) break;
            if (Cur().symbol == kSymEnd) return Fail(Cur().position, CodeMessage::CloseBracketExpected);
            if (out.itemnumb() > 2) return Fail(Cur().position, CodeMessage::OnlyTwoDimensions);
            RToken index;
            if (!Expression(index) || !Adopt(out, std::move(index))) return false;
            if (Cur().symbol == kSymComma) {
                Next();
            } else if (Cur().symbol == kSymCloseBracket) {
                break;
            } else if (Cur().symbol == kSymEnd) {
                return Fail(Cur().position, CodeMessage::CloseBracketExpected);
            } else {
                return Fail(Cur().position, CodeMessage::CommaOrCloseBracketExpected);
            }
        }
        Next();
        return true;
    }

    CCode& code_;
    const std::vector<RToken2>& t_;
    size_t p_ = 0;
    int32_t depth_ = 0;
};

// ---- Phase 4: locals, fixed selectors, constant folding ----

class Resolver {
public:
    explicit Resolver(CCode& code) : code_(code) {}

    // Children before their parent, in child order; stops at the first error.
    bool Walk(RToken& node) {
        for (RToken& child : node.items)
            if (!Walk(child)) return false;
        switch (node.kind) {
        case kNodeVar:
            for (const RToken& name : node.items)
                if (std::find(locals_.begin(), locals_.end(), name.ind) == locals_.end())
                    locals_.push_back(name.ind);
            return true;
        case kNodeVariable:
            return Variable(node);
        case kNodeUnary:
            return FoldUnary(node);
        case kNodeBinary:
            return FoldBinary(node);
        default:
            return true;
        }
    }

private:
    bool Variable(RToken& node) {
        RToken& instance = node.items[0];
        if (instance.kind != kNodeConstant) return true;
        if (instance.value.IsReal() && instance.value.val() == kUnqualifiedSelector &&
            std::find(locals_.begin(), locals_.end(), node.ind) != locals_.end())
            instance.value.SetReal(kLocalSelector);
        if (node.itemnumb() != 1) return true;
        if (instance.value.IsString()) {
            ReportCodeError(code_, instance.position, CodeText(CodeMessage::LeftHandSideReal));
            return false;
        }
        // A selector that cannot be rounded stays computed at run time, where it faults.
        const double v = instance.value.val();
        if (!(v > kInt64Low && v < kInt64High)) return true;
        node.kind = kNodeFixedVariable;
        node.ind2 = RoundToInt32(v);
        return true;
    }

    // A fold that would raise a floating-point fault is left for the run, which raises it
    // when (and only if) the code gets there.
    bool FoldUnary(RToken& node) {
        RToken& operand = node.items[0];
        if (operand.kind != kNodeConstant) return true;
        RValue value = operand.value;
        ScriptMessage message;
        try {
            message = ComputeUnary(node.ind, value);
        } catch (const RunnerFault&) {
            return true;
        }
        if (message != ScriptMessage::None) {
            ReportCodeError(code_, operand.position, MessageText(message));
            return false;
        }
        ReplaceWithConstant(node, std::move(value));
        return true;
    }

    bool FoldBinary(RToken& node) {
        const RToken& left = node.items[0];
        const RToken& right = node.items[1];
        if (left.kind != kNodeConstant || right.kind != kNodeConstant) return true;
        RValue value = left.value;
        ScriptMessage message;
        try {
            message = ComputeBinary(node.ind, value, right.value);
        } catch (const RunnerFault&) {
            return true;
        }
        if (message != ScriptMessage::None) {
            ReportCodeError(code_, right.position, MessageText(message));
            return false;
        }
        ReplaceWithConstant(node, std::move(value));
        return true;
    }

    static void ReplaceWithConstant(RToken& node, RValue value) {
        RToken folded;
        folded.kind = kNodeConstant;
        folded.position = node.position;
        folded.value = std::move(value);
        node = std::move(folded);
    }

    CCode& code_;
    std::vector<int32_t> locals_;
};

} // namespace

void ReportCodeTooLong(std::string_view text, bool isexp) {
    // The message quotes only the start: the whole text is what is too big to handle.
    const CCode head(text.substr(0, 80), isexp);
    ReportCodeError(head, 1, CodeText(CodeMessage::CodeTooLong));
}

bool CompilePhases(CCode& code) {
    // The families register before the first lookup of a name.
    (void)FunctionCount();
    ArgumentUsage usage;

    ClearCodeError();
    if (code.i_str.size() > kMaxCodeBytes) {
        ReportCodeTooLong(code.i_str, code.i_kind != kCodeProgram);
        return false;
    }
    RTokenList1 tokens;
    int32_t errorPosition = 0;
    if (const ScriptMessage m = Tokenize(code.i_str, tokens, errorPosition); m != ScriptMessage::None) {
        ReportCodeError(code, errorPosition, MessageText(m));
        return false;
    }

    ClearCodeError();
    std::vector<RToken2> classified;
    if (!Classify(code, tokens, classified, usage)) return false;
    tokens.items.clear();

    ClearCodeError();
    Parser parser(code, classified);
    RToken root;
    if (!(code.i_kind == kCodeProgram ? parser.Program(root) : parser.ExpressionRoot(root))) return false;
    classified.clear();

    ClearCodeError();
    Resolver resolver(code);
    if (!resolver.Walk(root)) return false;

    code.i_token = std::move(root);
    if (code.i_kind == kCodeExpression && code.i_token.kind == kNodeConstant) {
        code.i_value = code.i_token.value;
        code.i_kind = kCodeConstant;
    }
    code.i_Args = usage.highest + 1;
    code.i_ArgArray = usage.argumentArray;
    LinkCode(code);
    code.i_compiled = true;
    return true;
}

} // namespace kestrin
