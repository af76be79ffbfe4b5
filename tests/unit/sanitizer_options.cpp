// AddressSanitizer's settings for the unit tests, built into the test program
// so that it behaves alike however it is started: by ctest, by hand or from a
// debugger. An allocation that cannot be met returns null, as the C runtime's
// does, so that the tests reach fontctl's own out-of-memory path instead of
// the sanitizer's report. ASAN_OPTIONS still overrides these.
extern "C" char const* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
