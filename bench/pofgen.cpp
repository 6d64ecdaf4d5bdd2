// pofgen: writes a benchmark job, <dir>/<name>.pof and the parameter file
// <dir>/<name>.pcf naming it.
//
//   pofgen [--seed S] [--mix standard|multiaxis|tools|realistic] (--moves N | --bytes B) [--dir D] [--name job]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "job_generator.h"

int main(int argc, char** argv) {
    pofbench::JobSize size;
    std::string dir = ".", name = "job";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seed") size.seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (arg == "--moves") size.moves = std::atol(argv[i + 1]);
        else if (arg == "--bytes") size.bytes = std::atoll(argv[i + 1]);
        else if (arg == "--dir") dir = argv[i + 1];
        else if (arg == "--mix") {
            if (!pofbench::parseJobMix(argv[i + 1], size.mix)) {
                std::fprintf(stderr, "pofgen: unknown mix %s\n", argv[i + 1]);
                return 2;
            }
        }
        else if (arg == "--name") name = argv[i + 1];
        else {
            std::fprintf(stderr, "pofgen: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (size.moves <= 0 && size.bytes <= 0) {
        std::fprintf(stderr,
                     "usage: pofgen [--seed S] [--mix standard|multiaxis|tools|realistic] (--moves N | --bytes B) "
                     "[--dir D] [--name job]\n");
        return 2;
    }
    pofbench::JobStats stats;
    if (!pofbench::writeJob(dir, name, size, &stats)) {
        std::fprintf(stderr, "pofgen: cannot write %s/%s.pof\n", dir.c_str(), name.c_str());
        return 1;
    }
    std::printf("%s/%s.pof: %ld records, %ld moves, %lld bytes\n", dir.c_str(), name.c_str(),
                stats.records, stats.moves(), stats.bytes);
    return 0;
}
