#include "bench/quality/QualitySet.h"

#include <iostream>

int main(int argc, char** argv)
{
    return quality::RunQualitySet(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
