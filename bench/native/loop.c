/* The tight loop in C: the floor for the interpreters. The empty asm keeps
   the compiler from replacing the inner loop by its closed form. */
#include <stdio.h>

int main(void) {
  int s = 0;
  for (int i = 1; i <= 300000; i++) {
    for (int j = 1; j <= 100; j++) {
      s += j;
      __asm__ volatile("" : "+r"(s));
    }
  }
  printf("X%d\n", s);
  return 0;
}
