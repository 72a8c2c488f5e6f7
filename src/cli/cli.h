#pragma once

#include <iosfwd>

// The 3ds2vnp command line: converts .3ds models to .vnp project files in a
// batch. Returns the process exit status: 0 when every model was converted,
// 1 when any failed, 2 for a usage error.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
