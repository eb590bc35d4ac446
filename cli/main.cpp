#include <cstdio>

int main() {
  std::fputs("lanzhou-cli: not built yet\n", stderr);
  return 1;
}
