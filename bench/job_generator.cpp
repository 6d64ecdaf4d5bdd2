// The job generator: a split-mix random stream drives a small model of a
// machining job (position, tool axis, workplane), so that moves continue from
// where the last one ended and numbers look like real coordinates.
#include "job_generator.h"

#include <cmath>
#include <cstdarg>
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


// The realistic mix. Coordinates are written with three decimals, and every
// arc's start, end and centre lie on that grid with the ends along the axes
// through the centre, so the written centre is exactly as far from both ends
// and a reader takes each arc as a circle, never as a chord.
class Plate {
public:
    Plate(Job& job, const JobSize& size) : job_(job), size_(size) {}

    void write() {
        for (long part = 0; !full(); ++part) {
            ox_ = kPitchX * static_cast<double>(part % kColumns);
            oy_ = kPitchY * static_cast<double>(part / kColumns);
            pocket(part);
            surface(part);
            edge(part);
        }
        if (job_.inCycle) closeCycle();
    }

private:
    static constexpr int kColumns = 6;
    static constexpr double kPitchX = 260, kPitchY = 200;
    static constexpr double kSafe = 5, kClear = 50;

    Job& job_;
    const JobSize& size_;
    double ox_ = 0, oy_ = 0;
    const char* title_ = "";

    bool full() const { return job_.done(size_); }

    // One line of the job into `text`; a line longer than the buffer is cut
    // there, never read past it.
    static int formatLine(char (&text)[320], const char* format, va_list args) {
        const int n = std::vsnprintf(text, sizeof text, format, args);
        return n < 0 ? 0 : n >= static_cast<int>(sizeof text) ? static_cast<int>(sizeof text) - 1 : n;
    }

    [[gnu::format(printf, 2, 3)]] void record(const char* format, ...) {
        char text[320];
        va_list args;
        va_start(args, format);
        const int n = formatLine(text, format, args);
        va_end(args);
        job_.line(text, n);
    }

    void openCycle(const char* title, long part, const char* tool, unsigned d) {
        job_.cycle = part + 1;
        job_.inCycle = true;
        title_ = title;
        record("0:cycle(%s %ld)\n", title, part + 1);
        ++job_.stats.events;
        record("0:frameCs_o(%.3f %.3f 0.000)\n", ox_, oy_);
        ++job_.stats.events;
        record("2:%s, part %ld, %s D%u\n", title, part + 1, tool, d);
        ++job_.stats.texts;
        record("11:o Tool [ %s ] ( d[%u] r[%u] l[60] t[ HSS ] ) { v spindle(12000) v feed(800) } "
               "m plunge(G1 F200)\n", tool, d, d / 2);
        ++job_.stats.tools;
    }

    void closeCycle() {
        record("0:cycleEnd(%s %ld)\n", title_, job_.cycle);
        ++job_.stats.events;
        job_.inCycle = false;
    }

    void transform(const char* text) {
        record("10:%s\n", text);
        ++job_.stats.transforms;
    }

    // Every move goes through here, so that the job stops at its bound.
    [[gnu::format(printf, 2, 3)]] void move(const char* format, ...) {
        if (full()) return;
        char text[320];
        va_list args;
        va_start(args, format);
        const int n = formatLine(text, format, args);
        va_end(args);
        job_.line(text, n);
        ++(text[4] == 'A' ? job_.stats.arcs : job_.stats.straight);
    }
    void rapid(double x, double y, double z) { move("31:oM ( x[/%.3f] y[/%.3f] z[/%.3f] )\n", x, y, z); }
    void rapidZ(double z) { move("31:oM ( z[/%.3f] )\n", z); }
    void feedXY(double x, double y) { move("31:oL ( x[/%.3f] y[/%.3f] )\n", x, y); }
    void feedZ(double z) { move("31:oL ( z[/%.3f] )\n", z); }
    // A quarter turn in XY, "+" counter-clockwise seen from above.
    void arcXY(char turn, double x, double y, double cx, double cy) {
        move("31:oA ( o[%c] x[/%.3f/%.3f] y[/%.3f/%.3f] )\n", turn, x, cx, y, cy);
    }

    // Cleared from the middle outwards in each layer: a zig-zag along x over
    // the inner rectangle, then rings offset by the stepover whose corner
    // radius grows by it, the last one on the pocket's wall.
    void pocket(long part) {
        openCycle("Pocket", part, "flat end mill", 10);
        transform("workplane(XY)");
        transform("tr(workplane)");
        transform("feed(800)");
        const double px = ox_ + 60, py = oy_ + 90;
        const double halfX = 50, halfY = 35 + 5 * static_cast<double>(job_.random.below(3));
        const double step = 1.25, wall = 10;
        const int rings = 7;                      // corner radius from 1.25 to 10
        const double innerX = halfX - rings * step, innerY = halfY - rings * step;
        const int layers = 40;
        for (int layer = 1; layer <= layers && !full(); ++layer) {
            const double z = -0.5 * layer;
            rapidZ(kSafe);
            rapid(px - innerX, py - innerY, kSafe);
            feedZ(z);
            const int rows = static_cast<int>(std::lround(2 * innerY / step));
            for (int row = 0; row <= rows && !full(); ++row) {
                const double y = py - innerY + step * row;
                if (row > 0) feedXY(row % 2 == 1 ? px + innerX : px - innerX, y);
                feedXY(row % 2 == 0 ? px + innerX : px - innerX, y);
            }
            for (int ring = 0; ring <= rings && !full(); ++ring) {
                const double a = innerX + step * ring, b = innerY + step * ring;
                const double r = wall - step * (rings - ring);
                feedXY(px + a, py - b + r);
                feedXY(px + a, py + b - r);
                arcXY('+', px + a - r, py + b, px + a - r, py + b - r);
                feedXY(px - a + r, py + b);
                arcXY('+', px - a, py + b - r, px - a + r, py + b - r);
                feedXY(px - a, py - b + r);
                arcXY('+', px - a + r, py - b, px - a + r, py - b + r);
                feedXY(px + a - r, py - b);
                arcXY('+', px + a, py - b + r, px + a - r, py - b + r);
            }
        }
        rapidZ(kClear);
        closeCycle();
    }

    // A ridge along y whose height swells and dips: z and its normal at
    // (sx, sy) of the surface's own 100 x 160 mm.
    struct SurfacePoint {
        double z, u, v, w;
    };
    static SurfacePoint ridge(double sx, double sy, double height) {
        constexpr double kPi = 3.14159265358979323846;
        const double along = std::sin(kPi * sx / 100), swell = 1 - 0.3 * std::cos(2 * kPi * sy / 160);
        const double dzdx = height * kPi / 100 * std::cos(kPi * sx / 100) * swell;
        const double dzdy = height * along * 0.3 * 2 * kPi / 160 * std::sin(2 * kPi * sy / 160);
        const double length = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1);
        return {-35 + height * along * swell, -dzdx / length, -dzdy / length, 1 / length};
    }

    // Five-axis finishing in a zig-zag along x with the tool tip on the
    // surface and the tool axis along its normal.
    void surface(long part) {
        if (full()) return;
        openCycle("Finishing", part, "ball mill", 6);
        transform("feed(1500)");
        const double sx0 = ox_ + 130, sy0 = oy_ + 10;
        const double height = 15 + static_cast<double>(job_.random.below(11));
        const int columns = 125, lines = 161;       // 0.8 mm along x, 1 mm across
        for (int line = 0; line < lines && !full(); ++line) {
            const double sy = line;
            for (int column = 0; column <= columns && !full(); ++column) {
                const int c = line % 2 == 0 ? column : columns - column;
                const double sx = 0.8 * c;
                const SurfacePoint p = ridge(sx, sy, height);
                if (line == 0 && column == 0) {
                    rapid(sx0 + sx, sy0 + sy, p.z + kSafe);
                }
                move("31:oL ( x[/%.3f] y[/%.3f] z[/%.3f] u[/%.7f] v[/%.7f] w[/%.7f] )\n",
                     sx0 + sx, sy0 + sy, p.z, p.u, p.v, p.w);
            }
        }
        move("31:oM ( z[/%.3f] u[/0] v[/0] w[/1] )\n", kClear);
        closeCycle();
    }

    // The block's left edge rounded in quarter circles in ZX, stepping along
    // y between them: "+" turns from +z towards +x.
    void edge(long part) {
        if (full()) return;
        openCycle("Contour", part, "ball mill", 6);
        transform("workplane(ZX)");
        transform("tr(workplane)");
        const double radius = 6, cx = ox_ + radius, cz = -radius;
        rapid(cx, oy_, kSafe);
        feedZ(0);
        bool onTop = true;
        for (int step = 0; step <= 360 && !full(); ++step) {
            if (step > 0) {
                feedXY(onTop ? cx : ox_, oy_ + 0.5 * step);
            }
            if (onTop) move("31:oA ( o[-] x[/%.3f/%.3f] z[/%.3f/%.3f] )\n", ox_, cx, cz, cz);
            else move("31:oA ( o[+] x[/%.3f/%.3f] z[/%.3f/%.3f] )\n", cx, cx, 0.0, cz);
            onTop = !onTop;
        }
        rapidZ(kClear);
        closeCycle();
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
    if (size.mix == JobMix::realistic) {
        Plate plate(job, size);
        plate.write();
    }
    while (size.mix != JobMix::realistic && !job.done(size)) {
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
    else if (name == "realistic") mix = JobMix::realistic;
    else return false;
    return true;
}

const char* jobMixName(JobMix mix) {
    switch (mix) {
        case JobMix::multiAxis: return "multiaxis";
        case JobMix::tools: return "tools";
        case JobMix::realistic: return "realistic";
        default: return "standard";
    }
}

}  // namespace pofbench
