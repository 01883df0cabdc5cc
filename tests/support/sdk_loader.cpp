// Filled in with the dlopen loader.
