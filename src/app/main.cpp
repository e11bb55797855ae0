#include "app/program.h"
#include "base/configfile.h"
#include "views/devicescale.h"

int main(int argc, char** argv)
{
    // before the application object, which reads the display's scale once
    quorvel::overlay::pinDeviceScale();
    return quorvel::app::runProgram(argc, argv, quorvel::readConfigFile());
}
