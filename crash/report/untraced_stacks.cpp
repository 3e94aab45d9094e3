#include "crash/report/code_location.h"
#include "crash/report/stack_tracer.h"

namespace userdb::crash {

TracedStack UntracedStacks::TraceStack(const ThreadStackEntry& thread) {
  TracedStack stack;
  stack.traced = false;
  StackItem current = DescribeCodeAddress(symbols_, thread.address);
  current.always_printed = true;
  stack.items.push_back(std::move(current));
  if (thread.creator_address != 0) {
    StackItem creation = DescribeCodeAddress(symbols_, thread.creator_address);
    creation.always_printed = true;
    stack.items.push_back(std::move(creation));
  }
  return stack;
}

}  // namespace userdb::crash
