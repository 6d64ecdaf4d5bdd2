// The generator's mixes: the realistic one as pofhost reads it through the
// cycle (every arc a circle, in XY and in ZX), the others byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>

#include "job_generator.h"
#include "support/temp_dir.h"
#include "tools/support/host_process.h"

namespace {

using testing_support::TempDir;

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
}

// pofbench's published figures were measured on these bytes: a change to
// the random stream or a record's format would make them incomparable.
struct MixBytes {
    pofbench::JobMix mix;
    std::size_t bytes;
    uint64_t hash;
};

class KeptMix : public ::testing::TestWithParam<MixBytes> {};

TEST_P(KeptMix, WritesTheSameBytes) {
    TempDir dir(false);
    pofbench::JobSize size;
    size.seed = 12;
    size.mix = GetParam().mix;
    size.moves = 5000;
    ASSERT_TRUE(pofbench::writeJob(dir.path(), "job", size, nullptr));
    const std::string pof = dir.read("job.pof");
    EXPECT_EQ(pof.size(), GetParam().bytes);
    EXPECT_EQ(fnv1a(pof), GetParam().hash);
}

INSTANTIATE_TEST_SUITE_P(Mixes, KeptMix,
                         ::testing::Values(
                             MixBytes{pofbench::JobMix::standard, 250356, 0xfbf16b1c726a40d9ULL},
                             MixBytes{pofbench::JobMix::multiAxis, 439430, 0x198c707e149ab666ULL},
                             MixBytes{pofbench::JobMix::tools, 528371, 0x753c2256d2779e49ULL}));

// Past the first part (pocket, surface, ZX edge) into the second, so that
// the edge's ZX arcs and the return to XY after its cycle end are read.
TEST(RealisticMix, EveryArcIsACircleInItsWorkplane) {
    TempDir dir(false);
    std::filesystem::copy_file(std::string(POFREADER_SOURCE_DIR) + "/examples/pofreader.def",
                               dir.file("pofreader.def"));
    pofbench::JobSize size;
    ASSERT_TRUE(pofbench::parseJobMix("realistic", size.mix));
    size.moves = 40000;
    pofbench::JobStats stats;
    ASSERT_TRUE(pofbench::writeJob(dir.path(), "job", size, &stats));
    EXPECT_EQ(stats.moves(), 40000);

    const host_tests::HostRun run = host_tests::runProgram(
        POFHOST_PATH, {"--library", POFREADER_LIBRARY_PATH, "--summary", "--", "-Sjob"}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::smatch moves;
    ASSERT_TRUE(std::regex_search(
        run.out, moves,
        std::regex(R"(moves 40000: rapid (\d+), feed \d+, arc (\d+) \(circular (\d+), as chords 0\))")))
        << run.out;
    EXPECT_GT(std::stol(moves[1]), 40);  // a rapid at least between every two layers
    EXPECT_EQ(moves[2], moves[3]);
    EXPECT_EQ(std::stol(moves[2]), stats.arcs);
    // No arc gives the coordinate normal to its plane: none is a helix.
    EXPECT_EQ(run.out.find("code=3122"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"(workplanes 3: "XY", "ZX", "XY")"), std::string::npos)
        << run.out;
    std::smatch axes;
    ASSERT_TRUE(std::regex_search(run.out, axes, std::regex(R"(moves with tool axis (\d+))")));
    EXPECT_GT(std::stol(axes[1]), 20000);  // the surface pass of the first part
}

}  // namespace
