// The main window arrives with the order events; until then the program only says so.
#include <iostream>

int main() {
    std::cerr << "quillet: the main window is not built yet; only the mailing core and its "
                 "tests exist so far.\n";
    return 1;
}
