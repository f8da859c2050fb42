#include "Support/PrivateNetwork.h"

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TalmexTest {

bool EnterPrivateNetwork()
{
    if (unshare(CLONE_NEWNET) != 0) {
        return false;
    }
    // A new namespace starts with its loopback interface down.
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control == -1) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool isUp = ioctl(control, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    isUp = isUp && ioctl(control, SIOCSIFFLAGS, &request) == 0;
    close(control);
    return isUp;
}

} // namespace TalmexTest
