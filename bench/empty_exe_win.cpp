// bench-empty.exe: a program that does nothing, built as the helper is
// built (the same compiler, flags and static runtime), for the start-up
// benchmark to compare the helper's do-nothing request with.

int main() { return 0; }
