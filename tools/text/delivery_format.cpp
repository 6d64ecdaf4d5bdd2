#include "text/delivery_format.h"

#include <algorithm>
#include <cstdio>

#include "text/output_text.h"

namespace pofhost {

RecordShape shapeOf(const CycleContext& cycle) {
    const bool current = cycle.versionMajor * 100 + cycle.versionMinor >= 950;
    return RecordShape{current, current};
}

std::string versionText(const CycleContext& cycle) {
    char text[64];
    std::snprintf(text, sizeof text, "%u.%02u-%02u.%02u.%u", unsigned{cycle.versionMajor},
                  unsigned{cycle.versionMinor}, unsigned{cycle.versionDay},
                  unsigned{cycle.versionMonth}, unsigned{cycle.versionYear});
    return text;
}

BodyForm bodyFormOf(int code) {
    if (isMoveCode(code))
        return code == PFR_CODE_ARC || code == PFR_CODE_ARC_NORMAL ? BodyForm::Arc : BodyForm::Move;
    switch (code) {
    case PFR_CODE_FRAME_VALUE:
    case PFR_CODE_ERROR:
    case PFR_CODE_BREAK:
    case PFR_CODE_CYCLE:
    case PFR_CODE_CYCLE_END:
    case PFR_CODE_MSG_FILE:
    case PFR_CODE_CFG_SOURCE:
    case PFR_CODE_REPORT_CALL:
    case PFR_CODE_REPORT_DEF:
    case PFR_CODE_REPORT_CFG:
    case PFR_CODE_NAMED_VALUE:
        return BodyForm::NameValue;
    case PFR_CODE_TEXT:
        return BodyForm::Text;
    default:
        return BodyForm::Unknown;
    }
}

namespace {

// Collects "name value" pairs and writes them either as `name=value` words
// or as the members of one JSON object.
class LineWriter {
public:
    explicit LineWriter(OutputFormat format) : format_(format) {}

    // A word of the text line that JSON leaves out (it says the same in a field).
    void word(const std::string& text) {
        if (format_ == OutputFormat::Text) separate() += text;
    }
    void text(const char* name, const std::string& value) {
        if (format_ == OutputFormat::Text)
            separate() += std::string(name) + "=" + quoteText(value);
        else
            member(name) += jsonString(value);
    }
    void integer(const char* name, long value) {
        if (format_ == OutputFormat::Text)
            separate() += std::string(name) + "=" + std::to_string(value);
        else
            member(name) += std::to_string(value);
    }
    void number(const char* name, double value) {
        if (format_ == OutputFormat::Text)
            separate() += std::string(name) + "=" + formatNumber(value);
        else
            member(name) += jsonNumber(value);
    }
    // A group of numbers: "(a, b, c)" in text, an object with the given names
    // in JSON.
    void numbers(const char* name, const char* const* names, const double* values, int count) {
        if (format_ == OutputFormat::Text) {
            std::string& out = separate() += std::string(name) + "=(";
            for (int i = 0; i < count; ++i) out += (i ? ", " : "") + formatNumber(values[i]);
            out += ")";
        } else {
            std::string& out = member(name) += "{";
            for (int i = 0; i < count; ++i)
                out += (i ? ",\"" : "\"") + std::string(names[i]) + "\":" + jsonNumber(values[i]);
            out += "}";
        }
    }
    // Raw JSON for a member (text output has its own rendering).
    void json(const char* name, const std::string& value) {
        if (format_ == OutputFormat::Json) member(name) += value;
    }

    std::string finish() const {
        return format_ == OutputFormat::Text ? line_ + "\n" : "{" + line_ + "}\n";
    }

private:
    std::string& separate() {
        if (!line_.empty()) line_ += ' ';
        return line_;
    }
    std::string& member(const char* name) {
        if (!line_.empty()) line_ += ',';
        line_ += jsonString(name) + ":";
        return line_;
    }

    OutputFormat format_;
    std::string line_;
};

const char* moveKind(int code) {
    return code == PFR_CODE_RAPID || code == PFR_CODE_RAPID_AXIS ? "rapid" : "feed";
}

void writeMove(LineWriter& line, const SignalMove& move, int code) {
    line.word(moveKind(code));
    line.json("kind", jsonString(moveKind(code)));
    // Only what the record gives: a coordinate whose flag is 0 carries no meaning.
    if (move.xGiven) line.number("x", move.targetX);
    if (move.yGiven) line.number("y", move.targetY);
    if (move.zGiven) line.number("z", move.targetZ);
    if (move.uGiven) line.number("u", move.u);
    if (move.vGiven) line.number("v", move.v);
    if (move.wGiven) line.number("w", move.w);
}

void writeArc(LineWriter& line, const SignalArc& arc, const RecordShape& shape) {
    static const char* const kAxes[] = {"x", "y", "z"};
    line.word("arc");
    line.json("kind", "\"arc\"");
    const char* sense = arc.direction == 1 ? "-" : arc.direction == 0 ? "+" : nullptr;
    line.word(sense != nullptr ? std::string("dir=") + sense
                               : "dir=?" + std::to_string(arc.direction));
    line.json("direction", std::to_string(arc.direction));
    const double target[] = {arc.targetX, arc.targetY, arc.targetZ};
    const double third[] = {arc.thirdX, arc.thirdY, arc.thirdZ};
    line.numbers("target", kAxes, target, 3);
    line.numbers("third", kAxes, third, shape.arcHasThirdZ ? 3 : 2);
}

}  // namespace

std::string formatCycle(OutputFormat format, const CycleContext& cycle) {
    LineWriter line(format);
    const std::string title = cycle.title != nullptr ? fieldText(cycle.title, 256) : "";
    line.word("cycle");
    line.text(format == OutputFormat::Text ? "title" : "cycle", title);
    line.text("version", versionText(cycle));
    return line.finish();
}

std::string formatDelivery(OutputFormat format, char function, int key,
                           const SignalRecord& record, const RecordShape& shape) {
    LineWriter line(format);
    line.word(std::string("fn") + function);
    line.json("fn", jsonString(std::string(1, function)));
    line.integer("key", key);
    line.integer("code", record.code);
    switch (bodyFormOf(record.code)) {
    case BodyForm::NameValue:
        line.text("name", fieldText(record.body.nameValue.name, PFR_SIGNAL_NAME_SIZE));
        line.text("value", fieldText(record.body.nameValue.value, PFR_SIGNAL_VALUE_SIZE));
        break;
    case BodyForm::Text:
        line.text("text", fieldText(record.body.text, PFR_SIGNAL_TEXT_SIZE));
        break;
    case BodyForm::Move:
        writeMove(line, record.body.move, record.code);
        break;
    case BodyForm::Arc:
        writeArc(line, record.body.arc, shape);
        break;
    case BodyForm::Unknown:
        line.word("(body not decoded)");
        line.json("kind", "\"unknown\"");
        break;
    }
    return line.finish();
}

std::string formatEvent(OutputFormat format, int event) {
    LineWriter line(format);
    line.word("event " + std::to_string(event));
    line.json("event", std::to_string(event));
    return line.finish();
}

std::string formatResult(OutputFormat format, int result) {
    LineWriter line(format);
    line.word("result " + std::to_string(result));
    line.json("result", std::to_string(result));
    return line.finish();
}

std::string formatMatrix(OutputFormat format, const char* name, const FrameMatrix& matrix) {
    std::string cells[16];
    std::size_t width = 0;
    for (int i = 0; i < 16; ++i) {
        cells[i] = format == OutputFormat::Text ? formatNumber(matrix.m[i]) : jsonNumber(matrix.m[i]);
        width = std::max(width, cells[i].size());
    }
    if (format == OutputFormat::Json) {
        std::string out = "{\"matrix\":" + jsonString(name) + ",\"rows\":[";
        for (int row = 0; row < 4; ++row) {
            out += row ? ",[" : "[";
            for (int column = 0; column < 4; ++column)
                out += (column ? "," : "") + cells[4 * row + column];
            out += "]";
        }
        return out + "]}\n";
    }
    // Rows under the name, numbers right-aligned so the columns line up.
    std::string out = std::string(name) + "\n";
    for (int row = 0; row < 4; ++row) {
        out += " ";
        for (int column = 0; column < 4; ++column) {
            const std::string& cell = cells[4 * row + column];
            out += std::string(width + 1 - cell.size(), ' ') + cell;
        }
        out += "\n";
    }
    return out;
}

}  // namespace pofhost
