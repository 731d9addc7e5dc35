#pragma once
// The compiler phases after the lexer: names and literals classified (phase 2), the tree
// built by recursive descent (phase 3), locals, fixed selectors and constant folding
// (phase 4), and the run routines chosen for every node (LinkCode, in the interpreter).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/code.h"

namespace kestrin {

// How deeply constructs may nest (parentheses, blocks, operands): the parser, the tree walks
// and the interpreter recurse along the nesting, so it is bounded to keep them off the end of
// the stack.
inline constexpr int32_t kMaxNesting = 256;
// How tall the tree may grow (long operator chains such as a + b + c ... add one level per
// operand without nesting in the text).
inline constexpr int32_t kMaxTreeHeight = 1024;

// The longest text the compiler takes: every later phase needs several times the text's size,
// so longer code (a huge execute_string) is a compile error instead of running out of memory.
inline constexpr size_t kMaxCodeBytes = size_t(64) << 20;

// Records the compile error of a text longer than kMaxCodeBytes.
void ReportCodeTooLong(std::string_view text, bool isexp);

// Runs phases 1 to 4 and links the tree; false after reporting the first error.
[[nodiscard]] bool CompilePhases(CCode& code);

// Chooses the run routine of every node and numbers the locals (interpreter.cpp).
void LinkCode(CCode& code);

} // namespace kestrin
