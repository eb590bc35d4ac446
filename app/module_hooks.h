// The modules' program-wide objects, start-up routines and exit clean-ups, run by main()
// in this order:
//   ConstructModules()  the shell's objects first (the ControlAnchor instance, the empty
//                       import delimiter), then the JSON module's (its ErrorLog);
//   (the exit clean-up is registered)
//   StartModules()      the modules' start-up routines (the JSON module's document);
//   ... the window and the message loop ...
//   CleanUpModules()    the shell's first (the import delimiter, the ControlAnchor
//                       instance), then the JSON module's. Runs once, however often called.
#ifndef LANZHOU_APP_MODULE_HOOKS_H_
#define LANZHOU_APP_MODULE_HOOKS_H_

#include "app/control_anchor.h"

namespace lanzhou {

void ConstructModules();
void StartModules();
void CleanUpModules();

// The program's one ControlAnchor between ConstructModules and CleanUpModules, else null
// (windows made without the start-up sequence, as in tests, use their own).
ControlAnchor* ProgramControlAnchor();

}  // namespace lanzhou

#endif  // LANZHOU_APP_MODULE_HOOKS_H_
