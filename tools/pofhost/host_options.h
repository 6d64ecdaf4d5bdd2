// The command line of pofhost: host options first or anywhere, each starting
// with "--"; every other argument, and everything after "--", goes to the
// cycle unchanged.
#pragma once

#include <string>
#include <vector>

#include "text/delivery_format.h"
#include "toolpath/toolpath_svg.h"

namespace pofhost {

struct HostOptions {
    std::string library;  // empty: the current revision, looked for where it is installed or built
    OutputFormat format = OutputFormat::Text;
    bool events = false;
    std::string svgFile;  // empty: no picture
    View view = View::XY;
    std::string htmlFile;  // empty: no 3D page
    std::string checkFile;  // pofcheck's JSON of the same run, for the page's lines and findings
    bool summary = false;  // the summary instead of the per-delivery lines
    bool lines = false;    // with the summary: the lines too
    bool help = false;
    bool version = false;
    std::vector<std::string> cycleArguments;
};

// Fills `options`; on a usage error returns false with a one-line `error`.
bool parseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The text of --help; `defaultLibrary` lists where the library is looked for,
// one indented line each.
std::string helpText(const std::string& defaultLibrary);

}  // namespace pofhost
