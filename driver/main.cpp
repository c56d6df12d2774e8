/* Entry of vqprereqhandler.exe: one deployment run, whose result is the
 * process exit code. The program puts its libraries together here: the
 * agent runtime asks the management server for a missing resource
 * identifier through the network client and the record framework. */
#include "agent/resourceid.h"
#include "driver/resourceid_server.h"
#include "driver/deployment.h"

int main(int argc, char **argv)
{
    SetResourceIDServerFetch(GetResourceIDFromServer);
    return (int)RunDeployment(argc, argv);
}
