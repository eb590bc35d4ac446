#include "json/json_module.h"

namespace lanzhou {

void JsonModuleConstruct() {}
void JsonModuleStartup() {}
void JsonModuleCleanup() {}

}  // namespace lanzhou
