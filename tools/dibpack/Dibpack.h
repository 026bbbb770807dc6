#pragma once
// The dibpack commands, callable from tests: each returns the process exit status and writes
// its messages to the given streams.

#include <iosfwd>
#include <string>
#include <vector>

namespace dibpack {

/// args excludes the program name. 0 success, 1 failure of the operation, 2 usage error.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace dibpack
