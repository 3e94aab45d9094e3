// The disassembler behind the report's "disassembling" section: the listing of the function
// that holds the exception's address (function_listing.h).
//
// Not for a signal handler.
#pragma once

#include "crash/report/stack_tracer.h"
#include "crash/stack/trace_context.h"

namespace userdb::crash {

class FunctionDisassembler final : public Disassembler {
 public:
  explicit FunctionDisassembler(TraceServices services) : services_(services) {}

  std::string Disassemble(uintptr_t address, const ListingOptions& options) override {
    return ListFunction(address, services_, options);
  }

 private:
  TraceServices services_;
};

}  // namespace userdb::crash
