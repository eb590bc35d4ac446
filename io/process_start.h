// What every program of the tool does first, before it opens or writes any file.
#ifndef LANZHOU_IO_PROCESS_START_H_
#define LANZHOU_IO_PROCESS_START_H_

namespace lanzhou {

// Makes the process safe to open and write files in; call it first thing in main, before any
// thread starts:
//   - descriptors 0, 1 and 2 that are closed get /dev/null, so that no file the program
//     opens later becomes standard input, output or error by accident (a temporary copy of
//     standard input read as the input, a result written where messages go). A closed
//     standard input is remembered: reading it fails (`StandardInputClosed`);
//   - SIGXFSZ is ignored (`IgnoreFileSizeSignal`).
// Calling it again changes nothing.
//   int main(int argc, char** argv) { lanzhou::StartProcess(); ... }
void StartProcess();

// True when descriptor 0 was closed when `StartProcess` ran: standard input has nothing to
// read, and reading it is an error rather than an empty input.
bool StandardInputClosed();

// A write beyond the file size limit (ulimit -f) would end the program by SIGXFSZ, with no
// chance to take an output or a temporary file back; ignored, the write fails with EFBIG like
// any other failed write. Idempotent and thread-safe.
void IgnoreFileSizeSignal();

}  // namespace lanzhou

#endif  // LANZHOU_IO_PROCESS_START_H_
