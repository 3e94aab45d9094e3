// What a terminal makes of the bytes written to it.
#pragma once

namespace userdb::platform {

// Whether `fd` is a terminal that writes each line feed as a carriage return and a line feed
// (output processing with ONLCR, as terminals have by default), so that text meant to show
// CR LF is to be written there with LF alone.
bool TerminalAddsCarriageReturns(int fd);

}  // namespace userdb::platform
