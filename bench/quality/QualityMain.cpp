#include "bench/quality/QualityTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    return quality::RunQualityTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
