// Built with -O2, once with and once without frame pointers: the code whose stacks the demo
// and the accuracy benchmark trace. Functions that must stay separate frames are noinline.
#include "crash/stack/tools/demo_scenarios.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace userdb::crash::demo {
namespace {

volatile int sink = 0;
int* volatile nowhere = nullptr;

__attribute__((noinline)) void WriteThroughNull() {
  *nowhere = 1;
  sink = 2;
}

__attribute__((noinline)) int Recurse(int depth) {
  if (depth == 0) {
    WriteThroughNull();
    return sink;
  }
  return Recurse(depth - 1) + sink + 1;
}

__attribute__((noinline)) int CompareValues(const void* a, const void* b) {
  const int left = *static_cast<const int*>(a), right = *static_cast<const int*>(b);
  if (left == 7 || right == 7) WriteThroughNull();
  return (left > right) - (left < right);
}

__attribute__((noinline)) void SortValues() {
  int values[] = {9, 3, 7, 1, 5, 8, 2};
  qsort(values, sizeof values / sizeof values[0], sizeof values[0], CompareValues);
  sink = values[0];
}

__attribute__((noinline)) int SortDeeper(int depth) {
  if (depth == 0) {
    SortValues();
    return sink;
  }
  return SortDeeper(depth - 1) + sink + 1;
}

// Its handler sorts, some frames deep, with a comparison that crashes: a chain through Qt's
// event dispatch and the C library.
class CrashingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) {
      sink = SortDeeper(10);
      return true;
    }
    return QObject::event(event);
  }
};

__attribute__((noinline)) void DispatchQtEvent(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  CrashingObject object;
  QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
  QTimer::singleShot(2000, &application, &QCoreApplication::quit);
  QCoreApplication::exec();
}

[[noreturn]] __attribute__((noinline)) void RaiseConversionError(const std::string& what) {
  throw std::runtime_error("conversion failed: " + what);
}

__attribute__((noinline)) void ComposeLine(int field) {
  if (field > 2) RaiseConversionError("field " + std::to_string(field));
  sink = field;
}

__attribute__((noinline)) void ComposeAll(int count) {
  for (int field = 0; field < count; ++field) ComposeLine(field);
  sink = count;
}

__attribute__((noinline)) void ThrowThroughFrames() {
  try {
    ComposeAll(5);
  } catch (const std::exception&) {
    sink = 3;
  }
}

__attribute__((noinline)) int DivideInLeaf(int divisor) {
  return 1000 / divisor;  // a leaf: no frame of its own
}

__attribute__((noinline)) void MiddleOfLeaf(int divisor) {
  sink = DivideInLeaf(divisor) + 1;
}

__attribute__((noinline)) void OuterOfLeaf() {
  MiddleOfLeaf(sink - sink);
  sink = 4;
}

__attribute__((noinline)) void TailCallee(int value) {
  if (value > 0) WriteThroughNull();
  sink = value;
}

__attribute__((noinline)) void TailCaller(int value) {
  sink = value;
  TailCallee(value + 1);  // a tail call: this frame is gone when the callee crashes
}

__attribute__((noinline)) void CallTailCaller() {
  TailCaller(sink + 1);
  sink = 5;
}

using Callback = void (*)();

__attribute__((noinline)) void CallThroughBadPointer() {
  Callback callback = reinterpret_cast<Callback>(static_cast<uintptr_t>(0x10 + sink));
  callback();
  sink = 6;
}

__attribute__((noinline)) void LeaveReturnAddresses(int depth) {
  if (depth > 0) LeaveReturnAddresses(depth - 1);
  sink = depth;
}

__attribute__((noinline)) void CrashAmongStaleValues() {
  // The calls before leave their return addresses below the stack pointer; this frame's
  // uninitialised room then holds them when the crash comes.
  volatile char room[512];
  room[0] = 1;
  WriteThroughNull();
  sink = room[0];
}

__attribute__((noinline)) void RunWithStaleValues() {
  LeaveReturnAddresses(12);
  CrashAmongStaleValues();
  sink = 7;
}

}  // namespace

bool RunScenario(std::string_view name, int argc, char** argv) {
  if (name == "recursion") return Recurse(40), true;
  if (name == "qsort") return SortValues(), true;
  if (name == "qt-event") return DispatchQtEvent(argc, argv), true;
  if (name == "throw") return ThrowThroughFrames(), true;
  if (name == "leaf-signal") return OuterOfLeaf(), true;
  if (name == "tail-call") return CallTailCaller(), true;
  if (name == "bad-pointer") return CallThroughBadPointer(), true;
  if (name == "stale") return RunWithStaleValues(), true;
  return false;
}

}  // namespace userdb::crash::demo
