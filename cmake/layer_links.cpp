// The program each layer's link check builds (cmake/layers.cmake): it calls
// nothing, so every object of the layer is linked for its own sake and
// each of its calls must be found in the layers below.
int main() { return 0; }
