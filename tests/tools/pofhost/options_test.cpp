// pofhost's command line: host options anywhere, the rest to the cycle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pofhost/host_options.h"

namespace {

using namespace pofhost;

struct OptionsCase {
    std::vector<const char*> argv;
    bool ok;
    std::string error;  // a part of the message
};

TEST(HostOptions, CommandLinesParseOrFailWithAMessage) {
    const OptionsCase cases[] = {
        {{"--format", "json", "-Sjob"}, true, ""},
        {{"--format=json", "--svg=a.svg", "--view", "zx", "-Sjob", "--events"}, true, ""},
        {{"--format", "xml"}, false, "unknown format 'xml'"},
        {{"--view", "xz"}, false, "unknown view 'xz'"},
        {{"--library"}, false, "--library needs a value"},
        {{"--svg="}, false, "--svg needs a value"},
        {{"--colour"}, false, "unknown option --colour"},
        {{"--events=1"}, false, "--events takes no value"},
    };
    for (const OptionsCase& c : cases) {
        std::vector<const char*> argv = {"pofhost"};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        HostOptions options;
        std::string error;
        SCOPED_TRACE(c.error);
        EXPECT_EQ(c.ok, parseOptions(static_cast<int>(argv.size()), argv.data(), options, error));
        EXPECT_NE(std::string::npos, error.find(c.error)) << error;
    }
}

TEST(HostOptions, CycleArgumentsKeepTheirOrderAndPassAfterTheSeparator) {
    const char* argv[] = {"pofhost", "-Sjob", "--events", "-V", "--", "--svg", "x", "-P"};
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parseOptions(8, argv, options, error));
    EXPECT_TRUE(options.events);
    EXPECT_TRUE(options.svgFile.empty());
    EXPECT_EQ((std::vector<std::string>{"-Sjob", "-V", "--svg", "x", "-P"}), options.cycleArguments);
}

TEST(HostOptions, HelpNamesEveryOption) {
    const std::string help = helpText("/lib/libpofreader.so");
    for (const char* option : {"--library", "--format", "--events", "--svg", "--view", "--version",
                               "--help", "/lib/libpofreader.so", "Exit status"})
        EXPECT_NE(std::string::npos, help.find(option)) << option;
}

}  // namespace
