// Leak reports from the toolkit's own start-up allocations (font and
// platform caches that live until exit) would drown the ones from our code,
// so those libraries are suppressed; leaks in the workbench are still found.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n"
           "leak:libQt6Core\n"
           "leak:libQt6Gui\n"
           "leak:libQt6Widgets\n"
           "leak:libQt6PrintSupport\n"
           "leak:libglib\n"
           "leak:libgobject\n";
}
