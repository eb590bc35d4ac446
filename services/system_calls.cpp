#include "services/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

namespace lanzhou {
namespace {

int OpenCall(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

const SystemCalls kReal = {
    OpenCall, ::read, ::write, ::fsync, ::rename, ::linkat, ::ftruncate, ::flock, ::mmap,
};

const SystemCalls* current = &kReal;

}  // namespace

const SystemCalls& Sys() { return *current; }

const SystemCalls& RealSystemCalls() { return kReal; }

ScopedSystemCalls::ScopedSystemCalls(const SystemCalls& calls) : saved_(current) {
  current = &calls;
}

ScopedSystemCalls::~ScopedSystemCalls() { current = saved_; }

}  // namespace lanzhou
