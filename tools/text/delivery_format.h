// One line of output per thing the host sees: a delivery to one of its three
// functions, an event, the cycle's identity, the run's result and the record's
// matrices. Each comes as a text line or as one JSON object (JSON Lines).
#pragma once

#include <string>

#include "pofreader/pofreader.h"

namespace pofhost {

enum class OutputFormat { Text, Json };

// What a record of the loaded revision holds. The earlier revision (7.00) has
// no reference matrix behind `signalOut`, and its arcs leave the third value z
// unwritten, so the host must read neither.
struct RecordShape {
    bool hasReferenceMatrix = false;
    bool arcHasThirdZ = false;
};

// Decided from the record's version: 9.50 and later are laid out as the
// current header says; anything older is read only as far as the shared part.
RecordShape shapeOf(const CycleContext& cycle);

// The version in the record's text form, e.g. "9.50-02.12.2008".
std::string versionText(const CycleContext& cycle);

// The form of a signal record's body, chosen by its code.
enum class BodyForm { NameValue, Text, Move, Arc, Unknown };
BodyForm bodyFormOf(int code);

std::string formatCycle(OutputFormat format, const CycleContext& cycle);
// `function` is 'A', 'B' or 'C'; `key` is the code the host function was
// called with (the signal key).
std::string formatDelivery(OutputFormat format, char function, int key,
                           const SignalRecord& record, const RecordShape& shape);
std::string formatEvent(OutputFormat format, int event);
std::string formatResult(OutputFormat format, int result);
std::string formatMatrix(OutputFormat format, const char* name, const FrameMatrix& matrix);

}  // namespace pofhost
