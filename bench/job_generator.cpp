// The job generator: a split-mix random stream drives a small model of a
// machining job (position, tool axis, workplane), so that moves continue from
// where the last one ended and numbers look like real coordinates.
#include "job_generator.h"

#include <cmath>
#include <cstdio>

namespace pofbench {

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < bound
    unsigned below(unsigned bound) { return static_cast<unsigned>(next() % bound); }
    // A coordinate step in [-range, range] with three decimals.
    double step(double range) {
        return std::round((static_cast<double>(below(2000001)) / 1000000.0 - 1.0) * range * 1000.0) /
               1000.0;
    }

private:
    uint64_t state_;
};

constexpr const char* kToolNames[] = {"flat end mill", "ball mill", "bull nose", "drill",
                                      "chamfer mill"};
constexpr const char* kCycleNames[] = {"Roughing", "Finishing", "Pocket", "Contour", "Drilling"};

struct Job {
    Random random;
    std::FILE* out;
    JobStats stats;
    double x = 0, y = 0, z = 50;
    long cycle = 0;
    bool inCycle = false;

    explicit Job(uint64_t seed, std::FILE* file) : random(seed), out(file) {}

    void line(const char* text, int length) {
        std::fwrite(text, 1, static_cast<std::size_t>(length), out);
        stats.bytes += length;
        ++stats.records;
    }

    void clamp() {
        if (x < -400) x = -400;
        if (x > 400) x = 400;
        if (y < -400) y = -400;
        if (y > 400) y = 400;
        if (z < -60) z = -60;
        if (z > 120) z = 120;
    }

    // oL mostly, oM for a fifth; one to three axes; a fifth give the tool axis.
    void straight() {
        char text[256];
        int n = std::snprintf(text, sizeof text, "31:%s (", random.below(5) == 0 ? "oM" : "oL");
        const unsigned axes = random.below(20);
        const bool giveX = axes < 17, giveY = axes < 14 || axes == 19, giveZ = axes >= 10;
        if (giveX) x += random.step(25);
        if (giveY) y += random.step(25);
        if (giveZ) z += random.step(5);
        clamp();
        if (giveX) n += std::snprintf(text + n, sizeof text - n, " x[/%.3f]", x);
        if (giveY) n += std::snprintf(text + n, sizeof text - n, " y[/%.3f]", y);
        if (giveZ) n += std::snprintf(text + n, sizeof text - n, " z[/%.3f]", z);
        if (random.below(5) == 0) {
            const double a = random.step(0.5), b = random.step(0.5);
            const double c = std::sqrt(1.0 - a * a - b * b);
            n += std::snprintf(text + n, sizeof text - n, " u[/%.6f] v[/%.6f] w[/%.6f]", a, b, c);
        }
        n += std::snprintf(text + n, sizeof text - n, " )\n");
        line(text, n);
        ++stats.straight;
    }

    // Every coordinate and the tool axis, with more digits, as a five-axis
    // finishing path writes them.
    void multiAxisStraight() {
        char text[320];
        x += random.step(2);
        y += random.step(2);
        z += random.step(1);
        clamp();
        const double a = random.step(0.6), b = random.step(0.6);
        const double c = std::sqrt(1.0 - a * a - b * b);
        const int n = std::snprintf(text, sizeof text,
                                    "31:%s ( x[/%.4f] y[/%.4f] z[/%.4f] u[/%.7f] v[/%.7f] w[/%.7f] )\n",
                                    random.below(50) == 0 ? "oM" : "oL", x, y, z, a, b, c);
        line(text, n);
        ++stats.straight;
    }

    // An arc around a centre near the position; a third of them ramp in z.
    void arc() {
        char text[256];
        const double cx = x + random.step(10), cy = y + random.step(10);
        x += random.step(20);
        y += random.step(20);
        clamp();
        int n = std::snprintf(text, sizeof text, "31:oA ( o[%c] x[/%.3f/%.3f] y[/%.3f/%.3f]",
                              random.below(2) == 0 ? '+' : '-', x, cx, y, cy);
        if (random.below(3) == 0) {
            z += random.step(2);
            clamp();
            n += std::snprintf(text + n, sizeof text - n, " z[/%.3f]", z);
        }
        n += std::snprintf(text + n, sizeof text - n, " )\n");
        line(text, n);
        ++stats.arcs;
    }

    void event() {
        char text[256];
        int n;
        const unsigned what = random.below(10);
        if (!inCycle || what == 0) {
            if (inCycle) {
                n = std::snprintf(text, sizeof text, "0:cycleEnd(%s %ld)\n",
                                  kCycleNames[cycle % 5], cycle);
                inCycle = false;
            } else {
                ++cycle;
                n = std::snprintf(text, sizeof text, "0:cycle(%s %ld)\n", kCycleNames[cycle % 5],
                                  cycle);
                inCycle = true;
            }
        } else if (what < 5) {
            n = std::snprintf(text, sizeof text, "0:frameCs_o(%.3f %.3f %.3f)\n",
                              random.step(200), random.step(200), random.step(50));
        } else if (what < 7) {
            n = std::snprintf(text, sizeof text, "0:msgFile(job%ld.msg)\n", cycle);
        } else if (what < 9) {
            n = std::snprintf(text, sizeof text, "0:trans_rot(0 0 %u)\n", random.below(360));
        } else {
            n = std::snprintf(text, sizeof text, "0:break(check pass %ld)\n", cycle);
        }
        line(text, n);
        ++stats.events;
    }

    void textRecord() {
        char text[256];
        const int n = std::snprintf(text, sizeof text,
                                    "2:%s pass %ld, %s D%u, feed %u mm/min\n",
                                    kCycleNames[cycle % 5], cycle, kToolNames[random.below(5)],
                                    2 + random.below(20), 200 + 50 * random.below(30));
        line(text, n);
        ++stats.texts;
    }

    void transform() {
        const unsigned what = random.below(4);
        char text[128];
        int n;
        if (what == 0) n = std::snprintf(text, sizeof text, "10:workplane(%s)\n",
                                         random.below(4) == 0 ? "ZX" : "XY");
        else if (what == 1) n = std::snprintf(text, sizeof text, "10:tr(workplane)\n");
        else n = std::snprintf(text, sizeof text, "10:feed(%u)\n", 200 + 50 * random.below(30));
        line(text, n);
        ++stats.transforms;
    }

    // An object with attributes, a block of values, and a method whose name
    // the bracket text follows directly (no method report line).
    void tool() {
        char text[512];
        const unsigned d = 2 + random.below(20);
        const int n = std::snprintf(
            text, sizeof text,
            "11:o Tool [ %s ] ( d[%u] r[%u] l[%u] t[ HSS ] ) { v spindle(%u) v feed(%u) } "
            "m plunge(G1 F%u)\n",
            kToolNames[random.below(5)], d, random.below(d / 2 + 1), 40 + random.below(80),
            6000 + 500 * random.below(30), 200 + 50 * random.below(30), 100 + 10 * random.below(20));
        line(text, n);
        ++stats.tools;
    }

    bool done(const JobSize& size) const {
        if (size.moves > 0 && stats.moves() >= size.moves) return true;
        if (size.bytes > 0 && stats.bytes >= size.bytes) return true;
        return size.moves <= 0 && size.bytes <= 0;
    }
};

}  // namespace

bool writeJob(const std::string& dir, const std::string& name, const JobSize& size,
              JobStats* stats) {
    const std::string pofPath = dir + "/" + name + ".pof";
    std::FILE* pof = std::fopen(pofPath.c_str(), "wb");
    if (pof == nullptr) return false;
    static char buffer[1 << 16];
    std::setvbuf(pof, buffer, _IOFBF, sizeof buffer);

    Job job(size.seed, pof);
    while (!job.done(size)) {
        const unsigned pick = job.random.below(1000);
        if (size.mix == JobMix::tools) {
            job.tool();
            if (job.stats.tools >= size.moves) break;
        } else if (size.mix == JobMix::multiAxis) {
            if (pick < 890) job.multiAxisStraight();
            else if (pick < 990) job.arc();
            else if (pick < 993) job.event();
            else if (pick < 996) job.textRecord();
            else if (pick < 998) job.transform();
            else job.tool();
        } else {
            if (pick < 850) job.straight();
            else if (pick < 920) job.arc();
            else if (pick < 940) job.event();
            else if (pick < 955) job.textRecord();
            else if (pick < 970) job.transform();
            else job.tool();
        }
    }
    const bool written = std::ferror(pof) == 0;
    if (std::fclose(pof) != 0 || !written) return false;

    const std::string pcfPath = dir + "/" + name + ".pcf";
    std::FILE* pcf = std::fopen(pcfPath.c_str(), "wb");
    if (pcf == nullptr) return false;
    std::fprintf(pcf, "; benchmark job, seed %llu\ntoolpath := \"%s.pof\"\n",
                 static_cast<unsigned long long>(size.seed), name.c_str());
    if (std::fclose(pcf) != 0) return false;
    if (stats != nullptr) *stats = job.stats;
    return true;
}

bool writeKeyFile(const std::string& path, long entries, uint64_t seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    Random random(seed);
    for (long i = 0; i < entries; ++i)
        std::fprintf(file, "entry_%ld := \"%.3f %.3f %.3f\" ; note %ld\n", i, random.step(500),
                     random.step(500), random.step(500), i);
    return std::fclose(file) == 0;
}

bool writeLineFile(const std::string& path, long lines, uint64_t seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    Random random(seed);
    for (long i = 0; i < lines; ++i)
        std::fprintf(file, "*NCKO_%ld   %.3f %.3f %.3f   # line %ld\r\n", i, random.step(500),
                     random.step(500), random.step(500), i);
    return std::fclose(file) == 0;
}

bool parseJobMix(const std::string& name, JobMix& mix) {
    if (name == "standard") mix = JobMix::standard;
    else if (name == "multiaxis") mix = JobMix::multiAxis;
    else if (name == "tools") mix = JobMix::tools;
    else return false;
    return true;
}

const char* jobMixName(JobMix mix) {
    switch (mix) {
        case JobMix::multiAxis: return "multiaxis";
        case JobMix::tools: return "tools";
        default: return "standard";
    }
}

}  // namespace pofbench
