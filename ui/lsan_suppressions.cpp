// Linked only into sanitizer builds: allocations that system libraries under Qt keep for the
// life of the process (font configuration, the desktop bus) are not leaks of ours.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}
