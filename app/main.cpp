// Entry point of the program.
#include "app/startup.h"

int main(int argc, char** argv) { return TarvoMain(argc, argv); }
