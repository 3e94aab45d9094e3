// Functions with known names, units and lines for the symbol look-up tests, which load this
// library with dlopen in several variants. Built without optimisation, so that every function
// keeps its own code and its lines.
#include <cstring>

namespace symtest {

class Gadget {
 public:
  int Turn(int value);
};

int Gadget::Turn(int value) {
  return value * 7 + 1;
}

}  // namespace symtest

namespace {

int HiddenStep(int value) {
  return value ^ 0x5a;
}

}  // namespace

extern "C" {

__attribute__((noinline)) void* symtest_return_address() {
  return __builtin_return_address(0);
}

int symtest_first(int value) {  // first line of symtest_first
  return value + 1;
}

int symtest_second(int value) {
  symtest::Gadget gadget;
  return gadget.Turn(value) + HiddenStep(value);
}

void* symtest_call_site() {
  return symtest_return_address();  // the call
}

void* symtest_hidden_step() {
  return reinterpret_cast<void*>(&HiddenStep);
}

// A non-virtual member function pointer holds the function's address in its first word.
void* symtest_gadget_turn() {
  const auto member = &symtest::Gadget::Turn;
  void* address = nullptr;
  std::memcpy(&address, &member, sizeof address);
  return address;
}

}  // extern "C"
