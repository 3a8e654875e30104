/* Baseline for the figures script: a Linux program that does nothing at all. */
int main(void) {
  return 0;
}
