// For the CPU split only, never in the program: linked into a build of the launcher, this takes the place of
// InvalidateRect (both the function and its import's pointer, so that the system's import is never linked),
// so nothing is repainted after the window has been shown and painted once.
extern "C" {

int InvalidateRect(void*, const void*, int) {
    return 1;
}

int (*__imp_InvalidateRect)(void*, const void*, int) = InvalidateRect;
}
