// The JSON document module's start-up routine and exit clean-up.
#ifndef LANZHOU_JSON_JSON_MODULE_H_
#define LANZHOU_JSON_JSON_MODULE_H_

namespace lanzhou {

// Constructs the module's program-wide objects (its ErrorLog).
void JsonModuleConstruct();
// Builds the module-information document.
void JsonModuleStartup();
// Releases everything the module holds.
void JsonModuleCleanup();

}  // namespace lanzhou

#endif  // LANZHOU_JSON_JSON_MODULE_H_
