// Counts the allocations (operator new) of each thread of the test program, so that a test can
// show that a piece of code allocates nothing.
#pragma once

#include <cstddef>

namespace userdb::crash::test {

size_t AllocationsOfThread();

}  // namespace userdb::crash::test
