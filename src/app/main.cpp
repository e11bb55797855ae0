#include "app/program.h"
#include "base/configfile.h"

int main(int argc, char** argv)
{
    return quorvel::app::runProgram(argc, argv, quorvel::readConfigFile());
}
