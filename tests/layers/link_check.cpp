// Linked with one layer's whole library and the layers below it only: the
// build fails when that layer uses anything of a layer above it.
int main() { return 0; }
