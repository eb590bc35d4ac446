// What every fuzz target shares: a property check that stops the run with a readable report,
// and small helpers over byte strings.
#ifndef LANZHOU_FUZZ_FUZZ_CHECK_H_
#define LANZHOU_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lanzhou::fuzz {

// Bytes as C-escaped text, so a report shows exactly what went in and came out.
inline std::string Escaped(std::string_view bytes, std::size_t limit = 400) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  if (bytes.size() > limit) out += "...";
  return out;
}

[[noreturn]] inline void Fail(const char* file, int line, const char* what,
                              const std::string& detail) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n%s\n", file, line, what, detail.c_str());
  std::abort();
}

// The bytes of `s` with every `find` met scanning left to right removed (plain byte search).
inline std::string RemoveEvery(std::string_view s, std::string_view find) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = s.find(find, from)) != std::string_view::npos;) {
    out.append(s, from, at - from);
    from = at + find.size();
  }
  out.append(s, from);
  return out;
}

}  // namespace lanzhou::fuzz

// Checks a property; on failure prints `detail` (a std::string expression) and aborts, which
// libFuzzer reports as a crash with the input saved.
#define FUZZ_CHECK(condition, detail)                                                  \
  do {                                                                                 \
    if (!(condition)) ::lanzhou::fuzz::Fail(__FILE__, __LINE__, #condition, (detail)); \
  } while (0)

#endif  // LANZHOU_FUZZ_FUZZ_CHECK_H_
