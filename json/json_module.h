// The JSON document module's start-up routine and exit clean-up.
#ifndef LANZHOU_JSON_JSON_MODULE_H_
#define LANZHOU_JSON_JSON_MODULE_H_

#include <functional>

namespace lanzhou {

class ErrorLog;
class JsonHandle;

// Constructs the module's program-wide objects (its ErrorLog).
void JsonModuleConstruct();
// Builds the module-information document.
void JsonModuleStartup();
// Releases everything the module holds.
void JsonModuleCleanup();

// Builds the module-information document step by step through JsonHandle, calling
// `after_step` (when given) with the step number 1..8 and the document's root handle. The
// final document is ["dfg","444"]; the caller owns it.
JsonHandle BuildModuleInfoDocument(
    const std::function<void(int step, const JsonHandle& doc)>& after_step = nullptr);

// The module's error log, or null outside JsonModuleConstruct .. JsonModuleCleanup.
ErrorLog* JsonModuleErrorLog();

}  // namespace lanzhou

#endif  // LANZHOU_JSON_JSON_MODULE_H_
