// Baseline for the figures script: a Linux program that does nothing but load the shared C++
// runtime, as every program of the suite does; beside the empty C program it shows what the
// runtime costs a start.
int main() {
  return 0;
}
