// The program reads no argument: the COM port is chosen on the main panel.
#include "app/shell.h"

int main() {
    return evok::WinMain();
}
