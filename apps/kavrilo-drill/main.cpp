// kavrilo-drill: runs practice commands from standard input and prints what the windows would show.
#include <iostream>

#include "drill.h"

int main() {
    std::ios::sync_with_stdio(false);
    drill::Drill drill(std::cout);
    drill.run(std::cin);
    return 0;
}
