// Information phases -P, -A and -Y: each checks that the section file named by
// its configuration value has entries for the system's language.
#include "common/common.h"
#include "config/config.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// The language asked for when the configuration names none.
constexpr char kUnknownLanguage[] = "???";

}  // namespace

// The result of sectionFileCheck on the file that the value of `name` names,
// for the language of "SystemLanguage"; 0 when `name` has no entry.
int showLanguageSection(CycleContext* ctx, const char* name) {
    char* language = configGet(ctx->config, "SystemLanguage", nullptr);
    char* path = configGet(ctx->config, name, nullptr);
    int result = 0;
    if (path != nullptr)
        result = sectionFileCheck(path, language != nullptr ? language : kUnknownLanguage);
    memRelease(language);
    memRelease(path);
    return result;
}

int showParameters(CycleContext* ctx) { return showLanguageSection(ctx, "parameters"); }
int showAlgorithm(CycleContext* ctx) { return showLanguageSection(ctx, "algorithm"); }
int showLayers(CycleContext* ctx) { return showLanguageSection(ctx, "layers"); }

}  // namespace pofreader
