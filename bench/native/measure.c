/* Runs a command and writes its CPU time (user + sys, seconds) and peak
   memory (max RSS, KiB) to a file: "measure OUT cmd [args...]".
   A small launcher, because a child's max RSS starts from the RSS of the
   process it was forked from, and a Python parent would dominate it. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
  if (argc < 3) {
    fprintf(stderr, "usage: measure OUT command [arguments]\n");
    return 2;
  }
  pid_t pid = fork();
  if (pid < 0) {
    perror("fork");
    return 2;
  }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    perror("execvp");
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) {
    perror("wait4");
    return 2;
  }
  FILE* out = fopen(argv[1], "w");
  if (out == NULL) {
    perror("fopen");
    return 2;
  }
  double cpu = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6 +
               (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
  fprintf(out, "%.6f %ld %d\n", cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128);
  fclose(out);
  return 0;
}
