// Leak checking for this test program. Fontconfig keeps allocations for the
// life of the process that the leak checker cannot see being freed; nothing of
// the panel's own is suppressed. Weak, so a shared definition elsewhere wins.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}
