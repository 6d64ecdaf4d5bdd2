#include "pofhost/host_options.h"

namespace pofhost {

namespace {

// The option's switch, or null when `name` takes a value or is unknown.
bool* flagOf(HostOptions& options, const std::string& name) {
    return name == "--help"      ? &options.help
           : name == "--version" ? &options.version
           : name == "--events"  ? &options.events
           : name == "--summary" ? &options.summary
           : name == "--lines"   ? &options.lines
                                 : nullptr;
}

bool takesValue(const std::string& name) {
    return name == "--library" || name == "--format" || name == "--svg" || name == "--view" ||
           name == "--html" || name == "--check";
}

bool setValue(HostOptions& options, const std::string& name, const std::string& value, std::string& error) {
    if (name == "--library") {
        options.library = value;
    } else if (name == "--svg") {
        options.svgFile = value;
    } else if (name == "--html") {
        options.htmlFile = value;
    } else if (name == "--check") {
        options.checkFile = value;
    } else if (name == "--format") {
        if (value == "text") options.format = OutputFormat::Text;
        else if (value == "json") options.format = OutputFormat::Json;
        else error = "unknown format '" + value + "' (text or json)";
    } else if (!parseView(value, options.view)) {
        error = "unknown view '" + value + "' (xy, zx or yz)";
    }
    return error.empty();
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error) {
    bool cycleOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i] != nullptr ? argv[i] : "";
        if (cycleOnly || argument.compare(0, 2, "--") != 0) {
            options.cycleArguments.push_back(argument);
            continue;
        }
        if (argument == "--") {
            cycleOnly = true;
            continue;
        }
        // "--name=value" or "--name value".
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool inlineValue = equals != std::string::npos;
        std::string value = inlineValue ? argument.substr(equals + 1) : "";
        if (bool* flag = flagOf(options, name)) {
            if (inlineValue) error = "option " + name + " takes no value";
            *flag = true;
        } else if (!takesValue(name)) {
            error = "unknown option " + argument + " (see --help)";
        } else {
            if (!inlineValue && i + 1 < argc && argv[i + 1] != nullptr) value = argv[++i];
            if (value.empty()) error = "option " + name + " needs a value";
            else setValue(options, name, value, error);
        }
        if (!error.empty()) return false;
    }
    return true;
}

std::string helpText(const std::string& defaultLibrary) {
    return "Usage: pofhost [OPTION]... [--] [CYCLE-ARGUMENT]...\n"
           "Loads the POF reading cycle, runs it once with the cycle arguments\n"
           "(for example -Sjob: the parameter file job.pcf in the current directory)\n"
           "and prints every signal the host receives, one line per delivery.\n"
           "\n"
           "Options (anywhere before \"--\"; every other argument goes to the cycle):\n"
           "  --library PATH     load the cycle library at PATH, either revision;\n"
           "                     without it, the first found of\n" + defaultLibrary +
           "  --format text|json one text line per delivery (default), or JSON Lines:\n"
           "                     one object per line, numbers that read back to the\n"
           "                     same double, bytes outside ASCII as \\u00XX\n"
           "  --events           also print the events the host sees (the preparation's;\n"
           "                     the library takes the callback over for the phases)\n"
           "  --svg FILE         write a picture of the toolpath to FILE: rapid moves\n"
           "                     dashed, feed moves solid, arcs in the active workplane\n"
           "                     (helices where the normal coordinate changes) when\n"
           "                     their third values are equally far from start and end\n"
           "                     in that plane, else as a chord marked with a circle\n"
           "  --view xy|zx|yz    the plane of the picture (default xy)\n"
            "  --html FILE        write a 3D view of the toolpath to FILE: one HTML file\n"
            "                     that opens offline in a browser with WebGL; orbit, step\n"
            "                     through the moves, click a move for its values\n"
            "  --check FILE       with --html: pofcheck's JSON of the same run\n"
            "                     (pofcheck --format json --lines -S...), for each\n"
            "                     move's file line and the findings on the page\n"
            "  --summary          print a summary of the run instead of the lines: the\n"
            "                     deliveries by key and code, moves by kind, extent,\n"
            "                     path lengths, methods, texts, events, workplanes,\n"
            "                     cycles and the result (one JSON object with --format json)\n"
            "  --lines            with --summary: print the lines as well\n"
            "  --version          print pofhost's version, the loaded cycle's and its path\n"
           "  --help             print this text\n"
           "\n"
           "After the run pofhost prints the result and the record's frame, tool and\n"
           "reference matrices (the earlier revision 7.00 has no reference matrix).\n"
           "\n"
           "Exit status: 0 when the cycle ran (qvCSexecCycle returned 1), 1 when it\n"
           "did not (it returned 0), 2 for a usage error or a library or export that\n"
           "cannot be loaded, or a picture or page file that cannot be written.\n";
}

}  // namespace pofhost
