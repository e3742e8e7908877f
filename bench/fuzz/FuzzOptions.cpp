// The sanitizer settings of every fuzz target, unless ASAN_OPTIONS says otherwise. The runs make many small
// allocations: a short allocation stack and a smaller quarantine keep the sanitizer's share of each run small.
// A finding is replayed with full stacks by ASAN_OPTIONS=malloc_context_size=30 <target> <file>.
extern "C" const char *__asan_default_options()
{
    return "malloc_context_size=4:quarantine_size_mb=32";
}
