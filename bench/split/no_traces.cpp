// For the CPU split only, never in the program: linked into a build of the launcher, this takes the place of
// OutputDebugStringA (both the function and its import's pointer, so that the system's import is never
// linked), so the trace lines are built as usual and then written nowhere.
extern "C" {

void OutputDebugStringA(const char*) {}

void (*__imp_OutputDebugStringA)(const char*) = OutputDebugStringA;
}
