#include "app/dusk_main.h"

int main(int argc, char** argv) { return dusk::DuskMain(argc, argv); }
