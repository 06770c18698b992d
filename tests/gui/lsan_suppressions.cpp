// Qt loads system libraries that keep allocations alive until exit; LeakSanitizer would
// report them however ctest is started, so the suppressions travel with the test binary.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n"
         "leak:libglib-2.0\n"
         "leak:libgobject-2.0\n"
         "leak:libdbus-1\n";
}
