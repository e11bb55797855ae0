#include "app/program.h"

int main(int argc, char** argv)
{
    return quorvel::app::runProgram(argc, argv, quorvel::Config{});
}
