#include <cstdio>

int main() {
  std::puts("lanzhou: the main window is not built yet.");
  return 0;
}
