// The method report file "EDK.TXT": one line per method name that whitespace
// or a comment ended, appended in the process's current directory.
#pragma once

namespace pofreader {

// Appends " methode = '<name>'" and a line break to "EDK.TXT". When the file
// cannot be opened nothing is written; the caller reads on either way.
void reportMethodName(const char* name);  // never null

}  // namespace pofreader
