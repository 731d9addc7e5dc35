#pragma once
// The interpreter: runs a compiled CCode on behalf of an instance (self) and a second
// instance (other). Script errors travel as status values and end the run; the first one
// is kept by the error recorder (code.h). Floating-point and other runner faults are not
// caught here.

#include "script/code.h"
#include "script/variables.h"

namespace kestrin {

// Runs the code into `result`; false after an error, whose text LastCodeError() holds.
[[nodiscard]] bool RunCode(CScriptInstance* self, CScriptInstance* other, const CCode& code, RValue& result);
// RunCode; a failure is reported as a run-time error of the current action.
bool RunCodeReported(CScriptInstance* self, CScriptInstance* other, const CCode& code, RValue& result);
// RunCode; on failure the result is the string ERROR and the caller reports.
[[nodiscard]] bool RunCodeValue(CScriptInstance* self, CScriptInstance* other, const CCode& code,
                                RValue& result);

// The reference path: code compiled while it is on runs through one plain routine per node
// kind, with no position hints, no operands read in place and no specialised forms of
// variable access, assignment or operators. Tests run programs both ways and compare.
void SetReferenceInterpreter(bool on);
bool ReferenceInterpreter();

// How deeply runs of code may nest (scripts calling scripts, code run by built-ins), as a
// share of the stack; deeper calls fail with an error instead of overflowing it.
void SetRunStackBudget(size_t bytes);

} // namespace kestrin
