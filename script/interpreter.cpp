#include "script/interpreter.h"

#include "script/callable.h"

#include <sys/resource.h>

#include <algorithm>
#include <deque>

#include "base/numeric.h"
#include "script/code_messages.h"
#include "script/compiler.h"
#include "script/lexer.h"
#include "script/operators.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "script/scripts.h"

namespace kestrin {

struct RunState {
    RunScope scope;
    const CCode* code;
};

namespace {

// ---- Errors ----

int32_t Fail(RunState& s, int32_t position, std::string_view message) {
    ReportCodeError(*s.code, position, message);
    return kStatusError;
}
int32_t Fail(RunState& s, int32_t position, CodeMessage message) {
    return Fail(s, position, CodeText(message));
}
int32_t Fail(RunState& s, int32_t position, ScriptMessage message) {
    return Fail(s, position, MessageText(message));
}
int32_t UnknownVariable(RunState& s, const RToken& variable, int32_t element) {
    return Fail(s, variable.position, UnknownVariableText(VariableName(variable.ind), element != 0));
}

bool g_reference = false;

inline int32_t Run(const RToken& node, RunState& s, RValue& target) {
    return node.run(node, s, target);
}

// ---- Expressions ----

int32_t RunConstant(const RToken& node, RunState&, RValue& target) {
    target = node.value;
    return kStatusNormal;
}

int32_t RunNotExpression(const RToken& node, RunState& s, RValue&) {
    return Fail(s, node.position, CodeMessage::ExpressionExpectedSub);
}

int32_t RunReadLocal(const RToken& node, RunState& s, RValue& target);
int32_t RunReadArgument(const RToken& node, RunState& s, RValue& target);
// The value of a constant, an assigned local or an argument, read in place; nullptr for
// anything that must be evaluated. Nothing an expression evaluates can change or move the
// locals of the run; arguments see IsPlainOperand.
inline const RValue* Peek(const RToken& node, RunState& s) {
    if (node.run == RunConstant) return &node.value;
    if (node.run == RunReadLocal) return s.scope.locals->Value(node.slot);
    // A call's argument slots do not change while it evaluates an expression.
    if (node.run == RunReadArgument) return &ArgumentSlots()[node.slot];
    return nullptr;
}

// Whether evaluating the node runs nothing else (a constant, a local or an argument).
inline bool IsPlainOperand(const RToken& node) {
    return node.run == RunConstant || node.run == RunReadLocal || node.run == RunReadArgument;
}

// Evaluates an array index: a real, rounded, 0 .. 31999.
inline int32_t IndexOf(const RToken& node, RunState& s, int32_t& index) {
    RValue evaluated;
    const RValue* peeked = Peek(node, s);
    if (!peeked) {
        if (Run(node, s, evaluated) != kStatusNormal) return kStatusError;
        peeked = &evaluated;
    }
    const RValue& v = *peeked;
    if (v.IsReal()) {
        const double d = v.val();
        if (d >= -0.5 && d < kArrayDimension - 0.5) [[likely]] {
            index = static_cast<int32_t>(RoundToInt64(d));
            if (index >= 0 && index < kArrayDimension) return kStatusNormal;
        }
    }
    const ScriptMessage m = ArrayIndexFromValue(v, index);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, node.position, m);
}

// The element number of a variable node's indices (children 1 and 2).
inline int32_t ElementOf(const RToken& node, RunState& s, int32_t& element) {
    const int32_t n = node.itemnumb();
    if (n == 1) {
        element = 0;
        return kStatusNormal;
    }
    int32_t i;
    if (IndexOf(node.items[1], s, i) != kStatusNormal) return kStatusError;
    if (n == 2) {
        element = i;
        return kStatusNormal;
    }
    int32_t j;
    if (IndexOf(node.items[2], s, j) != kStatusNormal) return kStatusError;
    element = ArrayElement(i, j);
    return kStatusNormal;
}

// The selector of a variable node: fixed at compile time (ind2) or evaluated on every run,
// since the instance expression can name another instance each time.
inline int32_t SelectorOf(const RToken& node, RunState& s, int32_t& selector) {
    if (node.fixedSelector) {
        selector = node.ind2;
        return kStatusNormal;
    }
    const RToken& instance = node.items[0];
    RValue v;
    if (Run(instance, s, v) != kStatusNormal) return kStatusError;
    const ScriptMessage m = SelectorFromValue(v, selector);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, instance.position, m);
}

// Reads element `element` of the node's variable by selector, with the fast paths for
// locals and for the variables of self.
inline int32_t ReadAt(const RToken& node, RunState& s, int32_t selector, int32_t element, RValue& target) {
    if (selector == kLocalSelector && node.slot >= 0) {
        if (s.scope.locals->Get(node.slot, element, target)) return kStatusNormal;
        return UnknownVariable(s, node, element);
    }
    if (selector == kUnqualifiedSelector && node.ind >= kFirstUserVariable && !IsMarkedGlobal(node.ind)) {
        if (const RVariable* var = s.scope.self->i_vars.FindVariable(node.ind, node.hint)) {
            if (const RValue* value = var->Element(element)) {
                target = *value;
                return kStatusNormal;
            }
        }
        if (UnknownVariablesReadAsZero()) {
            target.SetReal(0.0);
            return kStatusNormal;
        }
        return UnknownVariable(s, node, element);
    }
    if (ReadVariable(s.scope, selector, node.ind, element, target) == ScriptMessage::None)
        return kStatusNormal;
    return UnknownVariable(s, node, element);
}

inline int32_t WriteAt(const RToken& node, RunState& s, int32_t selector, int32_t element,
                       const RValue& value, int32_t position) {
    if (selector == kLocalSelector && node.slot >= 0) {
        s.scope.locals->Set(node.slot, element, value);
        return kStatusNormal;
    }
    if (selector == kUnqualifiedSelector && node.ind >= kFirstUserVariable && !IsMarkedGlobal(node.ind)) {
        CVariableList& vars = s.scope.self->i_vars;
        if (RVariable* var = vars.FindVariable(node.ind, node.hint)) {
            var->ElementForWrite(element) = value;
            return kStatusNormal;
        }
        (void)vars.SetVar(node.ind, element, value);
        return kStatusNormal;
    }
    if (WriteVariable(s.scope, selector, node.ind, element, value) == ScriptMessage::None)
        return kStatusNormal;
    return Fail(s, position, ScriptMessage::CannotAssign);
}

// A declared local without index.
int32_t RunReadLocal(const RToken& node, RunState& s, RValue& target) {
    if (const RValue* value = s.scope.locals->Value(node.slot)) [[likely]] {
        target = *value;
        return kStatusNormal;
    }
    if (s.scope.locals->Get(node.slot, 0, target)) return kStatusNormal;
    return UnknownVariable(s, node, 0);
}

// An unqualified user variable without index: a global once `globalvar` named it, else self's.
int32_t RunReadUnqualified(const RToken& node, RunState& s, RValue& target) {
    return ReadAt(node, s, kUnqualifiedSelector, 0, target);
}

int32_t RunReadArgument(const RToken& node, RunState&, RValue& target) {
    target = ArgumentSlots()[node.slot];
    return kStatusNormal;
}

// Any other variable with a fixed selector and no index (built-ins, other.x, obj.x, ...).
int32_t RunReadFixed(const RToken& node, RunState& s, RValue& target) {
    if (ReadVariable(s.scope, node.ind2, node.ind, 0, target) == ScriptMessage::None) return kStatusNormal;
    return UnknownVariable(s, node, 0);
}

// A variable with indices or with a computed instance.
int32_t RunReadVariable(const RToken& node, RunState& s, RValue& target) {
    int32_t selector, element;
    if (SelectorOf(node, s, selector) != kStatusNormal) return kStatusError;
    if (ElementOf(node, s, element) != kStatusNormal) return kStatusError;
    return ReadAt(node, s, selector, element, target);
}

int32_t RunUnary(const RToken& node, RunState& s, RValue& target) {
    const RToken& operand = node.items[0];
    if (Run(operand, s, target) != kStatusNormal) return kStatusError;
    if (node.ind == kOpMinus && target.IsReal()) {
        target.SetReal(-target.val());
        return kStatusNormal;
    }
    const ScriptMessage m = ComputeUnary(node.ind, target);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, operand.position, m);
}

// The operators on two reals that need no conversion, inline; everything else goes through
// ComputeBinary.
template <int32_t Op> inline bool RealOperation(double a, double b, double& r) {
    if constexpr (Op == kOpPlus) {
        r = CheckArithmetic(a, b, a + b);
    } else if constexpr (Op == kOpMinus) {
        r = CheckArithmetic(a, b, a - b);
    } else if constexpr (Op == kOpMultiply) {
        r = CheckArithmetic(a, b, a * b);
    } else if constexpr (Op == kOpDivide) {
        if (b == 0.0) return false;
        r = CheckArithmetic(a, b, a / b);
    } else if constexpr (Op == kOpAnd) {
        r = IsTrue(a) && IsTrue(b) ? 1.0 : 0.0;
    } else if constexpr (Op == kOpOr) {
        r = IsTrue(a) || IsTrue(b) ? 1.0 : 0.0;
    } else if constexpr (Op == kOpXor) {
        r = IsTrue(a) != IsTrue(b) ? 1.0 : 0.0;
    } else {
        const double d = a == b ? 0.0 : a - b;
        bool t;
        if constexpr (Op == kOpLess)
            t = d < -kCompareEpsilon;
        else if constexpr (Op == kOpLessEqual)
            t = d <= kCompareEpsilon;
        else if constexpr (Op == kOpNotEqual)
            t = d < -kCompareEpsilon || d > kCompareEpsilon;
        else if constexpr (Op == kOpGreaterEqual)
            t = d >= -kCompareEpsilon;
        else if constexpr (Op == kOpGreater)
            t = d > kCompareEpsilon;
        else
            t = d > -kCompareEpsilon && d < kCompareEpsilon; // == and =
        r = t ? 1.0 : 0.0;
    }
    return true;
}

inline int32_t Combine(int32_t op, RunState& s, int32_t position, RValue& left, const RValue& right) {
    const ScriptMessage m = ComputeBinary(op, left, right);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, position, m);
}

template <int32_t Op> int32_t RunBinaryFast(const RToken& node, RunState& s, RValue& target) {
    const RToken& l = node.items[0];
    const RToken& r = node.items[1];
    const RValue* a = Peek(l, s);
    // A built-in in the right operand can write the current arguments (variable_local_set of
    // argument0), so an argument is only read in place when nothing runs before its use.
    if (a && l.run == RunReadArgument && !IsPlainOperand(r)) a = nullptr;
    if (!a) {
        if (Run(l, s, target) != kStatusNormal) return kStatusError;
        a = &target;
    }
    RValue right;
    const RValue* b = Peek(r, s);
    if (!b) {
        if (Run(r, s, right) != kStatusNormal) return kStatusError;
        b = &right;
    }
    double result;
    if (a->IsReal() && b->IsReal() && RealOperation<Op>(a->val(), b->val(), result)) [[likely]] {
        target.SetReal(result);
        return kStatusNormal;
    }
    if (a != &target) target = *a;
    return Combine(node.ind, s, r.position, target, *b);
}

int32_t RunBinary(const RToken& node, RunState& s, RValue& target) {
    const RToken& l = node.items[0];
    const RToken& r = node.items[1];
    if (Run(l, s, target) != kStatusNormal) return kStatusError;
    RValue right;
    if (Run(r, s, right) != kStatusNormal) return kStatusError;
    return Combine(node.ind, s, r.position, target, right);
}

int32_t RunBuiltinCall(const RToken& node, RunState& s, RValue& target) {
    CallFrame frame;
    const int32_t argc = node.itemnumb();
    RValue* args = frame.Fill(argc);
    for (int32_t i = 0; i < argc; ++i)
        if (Run(node.items[static_cast<size_t>(i)], s, args[i]) != kStatusNormal) return kStatusError;
    RValue result;
    FunctionRoutine(node.ind)(s.scope.self, s.scope.other, argc, args, result);
    target = std::move(result);
    return kStatusNormal;
}

int32_t RunScriptCall(const RToken& node, RunState& s, RValue& target) {
    CallFrame frame;
    const int32_t argc = node.itemnumb();
    RValue* args = frame.Fill(argc);
    for (int32_t i = 0; i < argc; ++i)
        if (Run(node.items[static_cast<size_t>(i)], s, args[i]) != kStatusNormal) return kStatusError;
    if (CallScriptFrame(node.ind - kFirstScriptFunction, s.scope.self, s.scope.other, target, true,
                        frame.frame(), argc))
        return kStatusNormal;
    return kStatusError;
}

int32_t RunExtensionCall(const RToken& node, RunState& s, RValue& target) {
    CallFrame frame;
    const int32_t argc = node.itemnumb();
    RValue* args = frame.Fill(argc);
    for (int32_t i = 0; i < argc; ++i)
        if (Run(node.items[static_cast<size_t>(i)], s, args[i]) != kStatusNormal) return kStatusError;
    ExtensionFunctions* extensions = CurrentExtensionFunctions();
    RValue result;
    if (!extensions || !extensions->Call(node.ind - kFirstExtensionFunction, s.scope.self, s.scope.other,
                                         argc, args, result))
        return kStatusError;
    target = std::move(result);
    return kStatusNormal;
}

// ---- Assignments ----

inline int32_t BinaryOperatorOf(int32_t assignment) {
    switch (assignment) {
    case kSymPlusAssign:
        return kOpPlus;
    case kSymMinusAssign:
        return kOpMinus;
    case kSymMultiplyAssign:
        return kOpMultiply;
    case kSymDivideAssign:
        return kOpDivide;
    case kSymOrAssign:
        return kOpBitOr;
    case kSymAndAssign:
        return kOpBitAnd;
    default:
        return kOpBitXor;
    }
}

// Applies the compound operator (in the assignment's ind2) to the current value in `slot`.
inline int32_t ApplyCompound(const RToken& node, RunState& s, RValue& slot, const RValue& right) {
    if (node.ind2 == kOpPlus && slot.IsReal() && right.IsReal()) {
        const double a = slot.val(), b = right.val();
        slot.SetReal(CheckArithmetic(a, b, a + b));
        return kStatusNormal;
    }
    return Combine(node.ind2, s, node.position, slot, right);
}

// `local = expression`.
int32_t RunAssignLocal(const RToken& node, RunState& s, RValue& target) {
    if (Run(node.items[1], s, target) != kStatusNormal) return kStatusError;
    s.scope.locals->ValueForWrite(node.items[0].slot) = target;
    return kStatusNormal;
}

int32_t RunAssignArgument(const RToken& node, RunState& s, RValue& target) {
    if (Run(node.items[1], s, target) != kStatusNormal) return kStatusError;
    ArgumentSlotForWrite(node.items[0].slot) = target;
    return kStatusNormal;
}

// Any variable without index whose selector is fixed.
int32_t RunAssignFixed(const RToken& node, RunState& s, RValue& target) {
    const RToken& variable = node.items[0];
    if (Run(node.items[1], s, target) != kStatusNormal) return kStatusError;
    return WriteAt(variable, s, variable.ind2, 0, target, node.position);
}

// A variable with indices or a computed instance: the target is determined first.
int32_t RunAssignVariable(const RToken& node, RunState& s, RValue& target) {
    const RToken& variable = node.items[0];
    int32_t selector, element;
    if (SelectorOf(variable, s, selector) != kStatusNormal) return kStatusError;
    if (ElementOf(variable, s, element) != kStatusNormal) return kStatusError;
    if (Run(node.items[1], s, target) != kStatusNormal) return kStatusError;
    return WriteAt(variable, s, selector, element, target, node.position);
}

// `local op= expression`.
int32_t RunCompoundLocal(const RToken& node, RunState& s, RValue& target) {
    const RToken& variable = node.items[0];
    CLocals& locals = *s.scope.locals;
    RValue evaluated;
    const RValue* right = Peek(node.items[1], s);
    if (!right) {
        if (Run(node.items[1], s, evaluated) != kStatusNormal) return kStatusError;
        right = &evaluated;
    }
    if (const RValue* current = locals.Value(variable.slot)) [[likely]] {
        if (node.ind2 == kOpPlus && current->IsReal() && right->IsReal()) {
            const double a = current->val(), b = right->val();
            RValue& slot = locals.ValueForWrite(variable.slot);
            slot.SetReal(CheckArithmetic(a, b, a + b));
            target = slot;
            return kStatusNormal;
        }
        target = *current;
    } else if (!locals.Get(variable.slot, 0, target)) {
        return UnknownVariable(s, variable, 0);
    }
    if (ApplyCompound(node, s, target, *right) != kStatusNormal) return kStatusError;
    locals.ValueForWrite(variable.slot) = target;
    return kStatusNormal;
}

// Every other compound assignment.
int32_t RunCompound(const RToken& node, RunState& s, RValue& target) {
    const RToken& variable = node.items[0];
    int32_t selector, element;
    if (variable.kind == kNodeFixedVariable) {
        selector = variable.ind2;
        element = 0;
    } else {
        if (SelectorOf(variable, s, selector) != kStatusNormal) return kStatusError;
        if (ElementOf(variable, s, element) != kStatusNormal) return kStatusError;
    }
    RValue right;
    if (Run(node.items[1], s, right) != kStatusNormal) return kStatusError;
    if (variable.slot >= 0 && variable.ind2 != kLocalSelector && variable.kind == kNodeFixedVariable) {
        target = ArgumentSlots()[variable.slot];
        if (ApplyCompound(node, s, target, right) != kStatusNormal) return kStatusError;
        ArgumentSlotForWrite(variable.slot) = target;
        return kStatusNormal;
    }
    if (ReadAt(variable, s, selector, element, target) != kStatusNormal) return kStatusError;
    if (ApplyCompound(node, s, target, right) != kStatusNormal) return kStatusError;
    return WriteAt(variable, s, selector, element, target, node.position);
}

// ---- The reference path ----
// One routine per node kind, with nothing remembered per site and nothing read in place:
// every selector and index is evaluated and every access goes through ReadVariable and
// WriteVariable. Linked instead of the routines above while SetReferenceInterpreter is on.

// A selector or index child evaluated into a temporary.
int32_t GenericSelector(const RToken& node, RunState& s, int32_t& selector) {
    if (node.kind == kNodeFixedVariable) {
        selector = node.ind2;
        return kStatusNormal;
    }
    const RToken& instance = node.items[0];
    RValue v;
    if (Run(instance, s, v) != kStatusNormal) return kStatusError;
    const ScriptMessage m = SelectorFromValue(v, selector);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, instance.position, m);
}

int32_t GenericIndex(const RToken& node, RunState& s, int32_t& index) {
    RValue v;
    if (Run(node, s, v) != kStatusNormal) return kStatusError;
    const ScriptMessage m = ArrayIndexFromValue(v, index);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, node.position, m);
}

int32_t GenericElement(const RToken& node, RunState& s, int32_t& element) {
    element = 0;
    if (node.kind == kNodeFixedVariable || node.itemnumb() == 1) return kStatusNormal;
    int32_t i, j;
    if (GenericIndex(node.items[1], s, i) != kStatusNormal) return kStatusError;
    if (node.itemnumb() == 2) {
        element = ArrayElement(i);
        return kStatusNormal;
    }
    if (GenericIndex(node.items[2], s, j) != kStatusNormal) return kStatusError;
    element = ArrayElement(i, j);
    return kStatusNormal;
}

int32_t RunReadGeneric(const RToken& node, RunState& s, RValue& target) {
    int32_t selector, element;
    if (GenericSelector(node, s, selector) != kStatusNormal) return kStatusError;
    if (GenericElement(node, s, element) != kStatusNormal) return kStatusError;
    if (ReadVariable(s.scope, selector, node.ind, element, target) == ScriptMessage::None)
        return kStatusNormal;
    return UnknownVariable(s, node, element);
}

int32_t RunUnaryGeneric(const RToken& node, RunState& s, RValue& target) {
    const RToken& operand = node.items[0];
    if (Run(operand, s, target) != kStatusNormal) return kStatusError;
    const ScriptMessage m = ComputeUnary(node.ind, target);
    return m == ScriptMessage::None ? kStatusNormal : Fail(s, operand.position, m);
}

// `=`: the target is determined first, then the value; a compound operator reads the target
// after the value and stores the operation's result.
int32_t RunAssignGeneric(const RToken& node, RunState& s, RValue& target) {
    const RToken& variable = node.items[0];
    int32_t selector, element;
    if (GenericSelector(variable, s, selector) != kStatusNormal) return kStatusError;
    if (GenericElement(variable, s, element) != kStatusNormal) return kStatusError;
    RValue right;
    if (Run(node.items[1], s, right) != kStatusNormal) return kStatusError;
    if (node.ind == kSymAssign) {
        target = std::move(right);
    } else {
        if (ReadVariable(s.scope, selector, variable.ind, element, target) != ScriptMessage::None)
            return UnknownVariable(s, variable, element);
        if (Combine(node.ind2, s, node.position, target, right) != kStatusNormal) return kStatusError;
    }
    if (WriteVariable(s.scope, selector, variable.ind, element, target) == ScriptMessage::None)
        return kStatusNormal;
    return Fail(s, node.position, ScriptMessage::CannotAssign);
}

// ---- Statements ----

int32_t RunNotStatement(const RToken& node, RunState& s, RValue&) {
    return Fail(s, node.position, CodeMessage::StatementExpected);
}

int32_t RunNothing(const RToken&, RunState&, RValue&) {
    return kStatusNormal;
}

int32_t RunBlock(const RToken& node, RunState& s, RValue& target) {
    for (const RToken& statement : node.items)
        if (const int32_t status = Run(statement, s, target); status != kStatusNormal) return status;
    return kStatusNormal;
}

// A condition: a real; a string is reported with `message` at the statement.
inline int32_t Condition(const RToken& statement, const RToken& expression, RunState& s, CodeMessage message,
                         bool& truth) {
    RValue v;
    if (Run(expression, s, v) != kStatusNormal) return kStatusError;
    if (!v.IsReal()) return Fail(s, statement.position, message);
    truth = IsTrue(v.val());
    return kStatusNormal;
}

int32_t RunIf(const RToken& node, RunState& s, RValue& target) {
    bool truth;
    if (Condition(node, node.items[0], s, CodeMessage::ExpressionExpected, truth) != kStatusNormal)
        return kStatusError;
    if (truth) return Run(node.items[1], s, target);
    if (node.itemnumb() > 2) return Run(node.items[2], s, target);
    return kStatusNormal;
}

int32_t RunWhile(const RToken& node, RunState& s, RValue& target) {
    const RToken& cond = node.items[0];
    const RToken& body = node.items[1];
    for (;;) {
        bool truth;
        if (Condition(node, cond, s, CodeMessage::BooleanExpressionExpected, truth) != kStatusNormal)
            return kStatusError;
        if (!truth) return kStatusNormal;
        const int32_t status = Run(body, s, target);
        if (status == kStatusBreak) return kStatusNormal;
        if (status != kStatusNormal && status != kStatusContinue) return status;
    }
}

int32_t RunDo(const RToken& node, RunState& s, RValue& target) {
    const RToken& body = node.items[0];
    const RToken& cond = node.items[1];
    for (;;) {
        const int32_t status = Run(body, s, target);
        if (status == kStatusBreak) return kStatusNormal;
        if (status != kStatusNormal && status != kStatusContinue) return status;
        bool truth;
        if (Condition(node, cond, s, CodeMessage::BooleanExpressionExpected, truth) != kStatusNormal)
            return kStatusError;
        if (truth) return kStatusNormal;
    }
}

int32_t RunFor(const RToken& node, RunState& s, RValue& target) {
    const RToken& cond = node.items[1];
    const RToken& step = node.items[2];
    const RToken& body = node.items[3];
    RValue scratch; // the initial and step statements leave the result slot alone
    if (const int32_t status = Run(node.items[0], s, scratch); status != kStatusNormal) return status;
    for (;;) {
        bool truth;
        if (Condition(node, cond, s, CodeMessage::ExpressionExpected, truth) != kStatusNormal)
            return kStatusError;
        if (!truth) return kStatusNormal;
        const int32_t status = Run(body, s, target);
        if (status == kStatusBreak) return kStatusNormal;
        if (status != kStatusNormal && status != kStatusContinue) return status;
        if (const int32_t stepped = Run(step, s, scratch); stepped != kStatusNormal) return stepped;
    }
}

int32_t RunRepeat(const RToken& node, RunState& s, RValue& target) {
    RValue count;
    if (Run(node.items[0], s, count) != kStatusNormal) return kStatusError;
    if (!count.IsReal()) return Fail(s, node.position, CodeMessage::RepeatCountNumber);
    const int32_t n = RoundToInt32(count.val());
    const RToken& body = node.items[1];
    for (int32_t i = 0; i < n; ++i) {
        const int32_t status = Run(body, s, target);
        if (status == kStatusBreak) return kStatusNormal;
        if (status != kStatusNormal && status != kStatusContinue) return status;
    }
    return kStatusNormal;
}

int32_t RunExit(const RToken&, RunState&, RValue&) {
    return kStatusExit;
}
int32_t RunBreak(const RToken&, RunState&, RValue&) {
    return kStatusBreak;
}
int32_t RunContinue(const RToken&, RunState&, RValue&) {
    return kStatusContinue;
}

int32_t RunReturn(const RToken& node, RunState& s, RValue& target) {
    if (Run(node.items[0], s, target) != kStatusNormal) return kStatusError;
    return kStatusExit;
}

// Runs the body of a `with` for one instance: it becomes self, the self around becomes other.
inline int32_t WithBody(const RToken& body, RunState& s, CScriptInstance* instance, RValue& target) {
    CScriptInstance* const self = s.scope.self;
    CScriptInstance* const other = s.scope.other;
    s.scope.other = self;
    s.scope.self = instance;
    const int32_t status = Run(body, s, target);
    s.scope.self = self;
    s.scope.other = other;
    return status;
}

int32_t RunWith(const RToken& node, RunState& s, RValue& target) {
    RValue v;
    if (Run(node.items[0], s, v) != kStatusNormal) return kStatusError;
    if (!v.IsReal()) return Fail(s, node.position, CodeMessage::ObjectIdExpected);
    const int32_t selector = RoundToInt32(v.val());
    const RToken& body = node.items[1];
    int32_t status = kStatusNormal;
    switch (selector) {
    case kLocalSelector:
        return Fail(s, node.position, CodeMessage::LocalInWith);
    case kGlobalSelector:
        return Fail(s, node.position, CodeMessage::GlobalInWith);
    case kOtherSelector:
        status = WithBody(body, s, s.scope.other, target);
        break;
    case kSelfSelector:
    case kUnqualifiedSelector:
        status = WithBody(body, s, s.scope.self, target);
        break;
    default: {
        InstanceWorld* world = CurrentInstanceWorld();
        if (!world) return kStatusNormal;
        if (selector >= kFirstInstanceId) {
            CScriptInstance* instance = world->FindInstance(selector);
            if (instance && !instance->i_marked) status = WithBody(body, s, instance, target);
            break;
        }
        if (selector < 0 && selector != kAllSelector) return kStatusNormal;
        // The count is taken first: instances the body creates are not visited. If the list
        // shrinks meanwhile, the walk stops at its current end.
        const bool all = selector == kAllSelector;
        const size_t n = all ? world->InstanceCount() : world->ObjectInstanceCount(selector);
        for (size_t i = 0; i < n; ++i) {
            CScriptInstance* instance = all ? world->InstanceAt(i) : world->ObjectInstanceAt(selector, i);
            if (!instance) break;
            if (instance->i_marked) continue;
            const int32_t st = WithBody(body, s, instance, target);
            if (st == kStatusBreak) return kStatusNormal;
            if (st != kStatusNormal && st != kStatusContinue) return st;
        }
        return kStatusNormal;
    }
    }
    return status == kStatusContinue ? kStatusNormal : status;
}

int32_t RunSwitch(const RToken& node, RunState& s, RValue& target) {
    RValue v;
    if (Run(node.items[0], s, v) != kStatusNormal) return kStatusError;
    const size_t n = node.items.size();
    size_t start = n;
    for (size_t i = 1; i < n; ++i) {
        const RToken& label = node.items[i];
        if (label.kind == kNodeDefault) {
            start = i;
            break;
        }
        if (label.kind != kNodeCase) continue;
        RValue c;
        if (Run(label.items[0], s, c) != kStatusNormal) return kStatusError;
        // Equal kinds and equal contents: a string never matches a real label.
        if (v.SameAs(c)) {
            start = i;
            break;
        }
    }
    for (size_t i = start + 1; i < n; ++i) {
        const RToken& statement = node.items[i];
        if (statement.kind == kNodeCase || statement.kind == kNodeDefault) continue;
        const int32_t status = Run(statement, s, target);
        if (status == kStatusBreak) return kStatusNormal;
        if (status != kStatusNormal) return status;
    }
    return kStatusNormal;
}

int32_t RunCaseOutside(const RToken& node, RunState& s, RValue&) {
    return Fail(s, node.position, CodeMessage::CaseOutsideSwitch);
}
int32_t RunDefaultOutside(const RToken& node, RunState& s, RValue&) {
    return Fail(s, node.position, CodeMessage::DefaultOutsideSwitch);
}

int32_t RunGlobalvar(const RToken& node, RunState&, RValue&) {
    for (const RToken& name : node.items) MarkGlobal(name.ind);
    return kStatusNormal;
}

// ---- Linking: the run routine of every node ----

class Linker {
public:
    explicit Linker(CCode& code) : code_(code), reference_(g_reference) {}

    void Statement(RToken& n) {
        n.slot = -1;
        switch (n.kind) {
        case kNodeBlock:
            n.run = RunBlock;
            for (RToken& c : n.items) Statement(c);
            return;
        case kNodeCall:
            Expression(n);
            return;
        case kNodeAssign:
            Assignment(n);
            return;
        case kNodeIf:
            n.run = RunIf;
            Expression(n.items[0]);
            for (size_t i = 1; i < n.items.size(); ++i) Statement(n.items[i]);
            return;
        case kNodeWhile:
        case kNodeWith:
        case kNodeRepeat:
            n.run = n.kind == kNodeWhile ? RunWhile : n.kind == kNodeWith ? RunWith : RunRepeat;
            Expression(n.items[0]);
            Statement(n.items[1]);
            return;
        case kNodeDo:
            n.run = RunDo;
            Statement(n.items[0]);
            Expression(n.items[1]);
            return;
        case kNodeFor:
            n.run = RunFor;
            Statement(n.items[0]);
            Expression(n.items[1]);
            Statement(n.items[2]);
            Statement(n.items[3]);
            return;
        case kNodeExit:
            n.run = RunExit;
            return;
        case kNodeBreak:
            n.run = RunBreak;
            return;
        case kNodeContinue:
            n.run = RunContinue;
            return;
        case kNodeReturn:
            n.run = RunReturn;
            Expression(n.items[0]);
            return;
        case kNodeSwitch:
            n.run = RunSwitch;
            Expression(n.items[0]);
            for (size_t i = 1; i < n.items.size(); ++i) Statement(n.items[i]);
            return;
        case kNodeCase:
            n.run = RunCaseOutside;
            Expression(n.items[0]);
            return;
        case kNodeDefault:
            n.run = RunDefaultOutside;
            return;
        case kNodeVar:
            n.run = RunNothing;
            return;
        case kNodeGlobalvar:
            n.run = RunGlobalvar;
            return;
        default:
            n.run = RunNotStatement;
            return;
        }
    }

    void Expression(RToken& n) {
        n.slot = -1;
        n.fixedSelector = false;
        switch (n.kind) {
        case kNodeConstant:
            n.run = RunConstant;
            return;
        case kNodeCall:
            n.run = CallableKindOf(n.ind) == CallableKind::Builtin  ? RunBuiltinCall
                    : CallableKindOf(n.ind) == CallableKind::Script ? RunScriptCall
                                                                    : RunExtensionCall;
            for (RToken& c : n.items) Expression(c);
            return;
        case kNodeFixedVariable:
        case kNodeVariable:
            Variable(n);
            return;
        case kNodeUnary:
            n.run = reference_ ? RunUnaryGeneric : RunUnary;
            Expression(n.items[0]);
            return;
        case kNodeBinary:
            Binary(n);
            return;
        default:
            n.run = RunNotExpression;
            return;
        }
    }

private:
    int32_t LocalSlot(int32_t var_ind) {
        auto& locals = code_.i_locals;
        const auto it = std::find(locals.begin(), locals.end(), var_ind);
        if (it != locals.end()) return static_cast<int32_t>(it - locals.begin());
        locals.push_back(var_ind);
        return static_cast<int32_t>(locals.size() - 1);
    }

    static bool IsArgument(int32_t var_ind, int32_t& n) {
        n = var_ind - ArgumentVariableIndex(0);
        return n >= 0 && n < kMaxArguments;
    }

    void Variable(RToken& n) {
        for (RToken& c : n.items) Expression(c);
        if (reference_) {
            n.run = RunReadGeneric;
            return;
        }
        if (n.kind == kNodeVariable) {
            // A constant instance that phase 4 could not fix (indices follow) is fixed here;
            // one that cannot be rounded stays computed at run time, where it faults.
            RToken& instance = n.items[0];
            if (instance.kind == kNodeConstant && instance.value.IsReal()) {
                const double v = instance.value.val();
                if (v > kInt64Low && v < kInt64High) {
                    n.ind2 = RoundToInt32(v);
                    n.fixedSelector = true;
                    if (n.ind2 == kLocalSelector) n.slot = LocalSlot(n.ind);
                }
            }
            n.run = RunReadVariable;
            return;
        }
        int32_t argument;
        if (n.ind2 == kLocalSelector) {
            n.slot = LocalSlot(n.ind);
            n.run = RunReadLocal;
        } else if (n.ind2 == kUnqualifiedSelector && n.ind >= kFirstUserVariable) {
            n.run = RunReadUnqualified;
        } else if (IsArgument(n.ind, argument) &&
                   (n.ind2 == kUnqualifiedSelector || n.ind2 == kSelfSelector || n.ind2 == kOtherSelector)) {
            // Argument slots belong to the call, whatever instance is named.
            n.slot = argument;
            n.run = RunReadArgument;
        } else {
            n.run = RunReadFixed;
        }
    }

    void Binary(RToken& n) {
        Expression(n.items[0]);
        Expression(n.items[1]);
        if (reference_) {
            n.run = RunBinary;
            return;
        }
        switch (n.ind) {
#define KESTRIN_FAST(op)                                                                                     \
    case op:                                                                                                 \
        n.run = RunBinaryFast<op>;                                                                           \
        return;
            KESTRIN_FAST(kOpPlus)
            KESTRIN_FAST(kOpMinus)
            KESTRIN_FAST(kOpMultiply)
            KESTRIN_FAST(kOpDivide)
            KESTRIN_FAST(kOpAnd)
            KESTRIN_FAST(kOpOr)
            KESTRIN_FAST(kOpXor)
            KESTRIN_FAST(kOpLess)
            KESTRIN_FAST(kOpLessEqual)
            KESTRIN_FAST(kOpEqual)
            KESTRIN_FAST(kOpAssignEqual)
            KESTRIN_FAST(kOpNotEqual)
            KESTRIN_FAST(kOpGreaterEqual)
            KESTRIN_FAST(kOpGreater)
#undef KESTRIN_FAST
        default:
            n.run = RunBinary;
            return;
        }
    }

    void Assignment(RToken& n) {
        RToken& variable = n.items[0];
        Expression(variable);
        Expression(n.items[1]);
        const bool plain = n.ind == kSymAssign;
        if (!plain) n.ind2 = BinaryOperatorOf(n.ind);
        if (reference_) {
            n.run = RunAssignGeneric;
            return;
        }
        if (!plain) {
            n.run = variable.run == RunReadLocal ? RunCompoundLocal : RunCompound;
            return;
        }
        if (variable.run == RunReadLocal)
            n.run = RunAssignLocal;
        else if (variable.run == RunReadArgument)
            n.run = RunAssignArgument;
        else if (variable.kind == kNodeFixedVariable)
            n.run = RunAssignFixed;
        else
            n.run = RunAssignVariable;
    }

    CCode& code_;
    const bool reference_;
};

// ---- Runs ----

// Locals of the runs in progress, one set per nesting level, reused from run to run.
struct RunStack {
    std::vector<std::unique_ptr<CLocals>> locals;
    size_t depth = 0;
    const char* base = nullptr;
    size_t budget = 0;
};

RunStack g_runs;

RunStack& Runs() {
    return g_runs;
}

size_t DefaultStackBudget() {
    rlimit limit{};
    size_t bytes = size_t{8} << 20;
    if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        bytes = static_cast<size_t>(limit.rlim_cur);
    // Half of the stack for nested runs; the rest stays for the deepest run's own tree walk,
    // for built-ins and for the host.
    return std::min(bytes, size_t{256} << 20) / 2;
}

class RunLevel {
public:
    RunLevel(RunStack& stack, const CCode& code) : stack_(stack) {
        if (stack_.depth == stack_.locals.size()) [[unlikely]]
            stack_.locals.push_back(std::make_unique<CLocals>());
        locals_ = stack_.locals[stack_.depth++].get();
        if (!code.i_locals.empty()) locals_->Reset(code.i_locals);
    }
    ~RunLevel() {
        // Locals end with their run (a run may also have added some at run time).
        if (locals_->SlotCount() != 0) locals_->Reset();
        --stack_.depth;
    }
    CLocals* locals() { return locals_; }

private:
    RunStack& stack_;
    CLocals* locals_;
};

} // namespace

void LinkCode(CCode& code) {
    code.i_locals.clear();
    Linker linker(code);
    if (code.i_kind == kCodeProgram) {
        RToken& root = code.i_token;
        if (root.kind == kNodeBlock) linker.Statement(root);
    } else {
        linker.Expression(code.i_token);
    }
}

void SetReferenceInterpreter(bool on) {
    g_reference = on;
}
bool ReferenceInterpreter() {
    return g_reference;
}

void SetRunStackBudget(size_t bytes) {
    Runs().budget = bytes;
}

bool RunCode(CScriptInstance* self, CScriptInstance* other, const CCode& code, RValue& result) {
    ClearCodeError();
    if (!code.i_compiled) {
        ReportCodeError(code, 0, CodeText(CodeMessage::NotCompiled));
        return false;
    }
    if (code.i_kind == kCodeConstant) {
        result = code.i_value;
        return true;
    }
    if (!self || !other) {
        ReportCodeError(code, 0, CodeText(CodeMessage::NilInstance));
        return false;
    }
    RunStack& stack = Runs();
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    if (stack.depth == 0) {
        stack.base = here;
        if (stack.budget == 0) stack.budget = DefaultStackBudget();
    } else if (stack.base > here && static_cast<size_t>(stack.base - here) > stack.budget) {
        ReportCodeError(code, 0, CodeText(CodeMessage::RecursionTooDeep));
        return false;
    }
    RunLevel level(stack, code);
    RunState state{{self, other, level.locals()}, &code};
    const RToken& root = code.i_token;
    if (code.i_kind == kCodeExpression) return Run(root, state, result) == kStatusNormal;
    if (root.kind == kNodeEmptyProgram) return true;
    if (root.kind != kNodeBlock) {
        ReportCodeError(code, root.position, CodeText(CodeMessage::NotAProgram));
        return false;
    }
    return RunBlock(root, state, result) != kStatusError;
}

bool RunCodeReported(CScriptInstance* self, CScriptInstance* other, const CCode& code, RValue& result) {
    if (RunCode(self, other, code, result)) return true;
    ReportRunError(LastCodeError(), false);
    ClearCodeError();
    return false;
}

bool RunCodeValue(CScriptInstance* self, CScriptInstance* other, const CCode& code, RValue& result) {
    if (RunCode(self, other, code, result)) return true;
    result.SetString("ERROR");
    return false;
}

} // namespace kestrin
