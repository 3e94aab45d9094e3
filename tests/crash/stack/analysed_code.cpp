#include "tests/crash/stack/analysed_code.h"

#include <cstdlib>
#include <stdexcept>

namespace analysed {
namespace {

volatile int sink = 0;

__attribute__((noinline)) int Case0(int v) {
  return sink + v;
}
__attribute__((noinline)) int Case1(int v) {
  return sink - v;
}
__attribute__((noinline)) int Case2(int v) {
  return sink * v;
}
__attribute__((noinline)) int Case3(int v) {
  return sink ^ v;
}
__attribute__((noinline)) int Case4(int v) {
  return sink | v;
}
__attribute__((noinline)) int Case5(int v) {
  return sink & v;
}
__attribute__((noinline)) int Case6(int v) {
  return sink + 2 * v;
}
__attribute__((noinline)) int Case7(int v) {
  return sink - 3 * v;
}

__attribute__((noinline)) void MayThrow(int value) {
  if (value > 100) throw std::runtime_error("too large");
  sink = value;
}

}  // namespace

const CaseFunction kCaseFunctions[8] = {Case0, Case1, Case2, Case3, Case4, Case5, Case6, Case7};

__attribute__((noinline)) int Dispatch(int selector) {
  switch (selector) {
    case 0:
      return Case0(selector) + 11;
    case 1:
      return Case1(selector) + 12;
    case 2:
      return Case2(selector) + 13;
    case 3:
      return Case3(selector) + 14;
    case 4:
      return Case4(selector) + 15;
    case 5:
      return Case5(selector) + 16;
    case 6:
      return Case6(selector) + 17;
    case 7:
      return Case7(selector) + 18;
    default:
      return -1;
  }
}

__attribute__((noinline)) int Handled(int value) {
  return sink + value + 1;
}

__attribute__((noinline)) int CatchFailure(int value) {
  try {
    MayThrow(value);
  } catch (const std::runtime_error&) {
    return Handled(value);
  }
  return 0;
}

__attribute__((noinline)) int CatchAny(int value) {
  try {
    MayThrow(value);
  } catch (const std::logic_error&) {
    return Handled(value);
  } catch (...) {
    return Handled(-value);
  }
  return 0;
}

__attribute__((noinline)) void StopHere(int value) {
  if (value < 0) std::abort();
  sink = value;
}

__attribute__((noinline)) int Target(int value) {
  return sink * value + 5;
}

__attribute__((noinline)) int Forward(int value) {
  sink = value;
  return Target(value + 1);
}

}  // namespace analysed
