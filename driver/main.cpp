/* Entry of vqprereqhandler.exe: one deployment run, whose result is the
 * process exit code. */
#include "driver/deployment.h"

int main(int argc, char **argv)
{
    return (int)RunDeployment(argc, argv);
}
