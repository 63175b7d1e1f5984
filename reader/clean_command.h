// telinv-read clean: the command line of the cleaned copies (report_clean.h does the
// cleaning): where each copy goes, the map file, the counts on standard error.
#pragma once

#include <string>
#include <vector>

namespace telinv_read {

// The arguments after "clean"; the code page given before it. The exit code.
int run_clean(const std::vector<std::string> &args, int page);

} // namespace telinv_read
