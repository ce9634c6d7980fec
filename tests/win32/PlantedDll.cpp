// A DLL that does nothing: the tests place it beside a program and try to load it by its bare name.
int LwPlanted() {
    return 1;
}
