// Placeholder until the command line lands.
#include <cstdio>
int main() {
  std::puts("quillmark-cli " QUILLMARK_VERSION);
  return 0;
}
