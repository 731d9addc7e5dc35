#pragma once
// Every message of the compiler, the interpreter, scripts and the error path that a player
// can see, in one table, so that tests compare the exact text. Operator and variable
// messages live in messages.h beside the routines that raise them.

#include <cstdint>
#include <string_view>

namespace kestrin {

// ORDER CodeMessage: keep in step with the text table in code_messages.cpp.
enum class CodeMessage : uint8_t {
    // Compiler.
    UnknownFunction, // followed by the name
    OpenParenExpected,
    CommaOrCloseParenExpected,
    CloseParenExpected,
    WrongArgumentCount,
    VariableNameExpected,
    CommaOrCloseBracketExpected,
    CloseBracketExpected,
    OnlyTwoDimensions,
    UnexpectedSymbolInExpression,
    AssignmentOperatorExpected,
    CannotRedeclareBuiltin,
    ColonExpected,
    OpenBraceExpected,
    CloseBraceExpected,
    UntilExpected,
    UnexpectedEnd,
    ProgramEndsEarly,
    LeftHandSideReal,
    Recompiling,
    NestedTooDeeply,
    CodeTooLong,
    // Interpreter.
    NotCompiled,
    NilInstance,
    NotAProgram,
    ExpressionExpectedSub,
    StatementExpected,
    ExpressionExpected,
    BooleanExpressionExpected,
    RepeatCountNumber,
    ObjectIdExpected,
    LocalInWith,
    GlobalInWith,
    CaseOutsideSwitch,
    DefaultOutsideSwitch,
    // Scripts and executing code.
    ScriptCompilationError, // followed by the script's name
    InScript,               // followed by the script's name and ":"
    IllegalArgumentCount,   // followed by the script's name
    ScriptRequiresAtLeast,
    ScriptRequires,
    ArgumentsSupplied,
    StringCompilationError,
    FileCompilationError,
    NonExistingFile,
    NonExistingScript,
    IllegalArrayIndex,
    ArrayIndexAccess,
    ArgumentsHaveBeenSupplied,
    RecursionTooDeep,
    // Constants.
    ConstantName,
    ConstantValue,
    NotValid,
    // Error headings.
    ErrorIn,
    ActionNumber,
    AtTimeStep,
    OfTimeLine,
    Of,
    ForObject,
    Fatal,
    UnhandledException,
    StackTrace,
    Count
};

std::string_view CodeText(CodeMessage message);

} // namespace kestrin
