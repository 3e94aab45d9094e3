// Functions of the shapes that the function analysis must follow, built as a release is (-O2):
// a switch through a jump table, a catch clause reached only through the exception table, a
// call that never returns, a tail call.
#pragma once

namespace analysed {

int Dispatch(int selector);   // a switch over eight cases, each calling CaseCall(n)
int CatchFailure(int value);  // MayThrow in a try block; the catch clause calls Handled
int CatchAny(int value);      // MayThrow in a try block with a logic_error and a "..." clause
void StopHere(int value);     // abort() for a negative value
int Forward(int value);       // a tail call of Target
int Target(int value);
int CaseCall(int number);
int Handled(int value);

// The distinct functions that Dispatch's cases call.
using CaseFunction = int (*)(int);
extern const CaseFunction kCaseFunctions[8];

}  // namespace analysed
