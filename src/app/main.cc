#include "app/dusk_main.h"
#include "util/layout.h"

int main(int argc, char** argv) { return dusk::DuskMain(argc, argv, dusk::DeviceLayout()); }
