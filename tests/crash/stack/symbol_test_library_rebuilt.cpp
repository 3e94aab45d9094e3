// The symbol test library once more, changed: its rebuilt file replaces the first one in the
// test of a module file that changes while the program runs.
extern "C" {

int symtest_padding(int value) {
  return value * 3;
}

int symtest_first(int value) {  // first line of the rebuilt symtest_first
  return value + 2;
}

}  // extern "C"
