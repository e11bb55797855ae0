#include "loopbackform.h"

#include "freeport.h"

namespace quorvel::test {

Config loopbackFormConfig(const QString& photoFolder)
{
    Config config;
    config.tcpHost = "127.0.0.1";
    config.tcpPort = freeTcpPort();
    config.broadcastAddress = "127.0.0.1";
    config.discoveryPort = freeUdpPort();
    config.discoveryWaitMs = 50;
    config.retryIntervalMs = 300;
    config.photoFolder = photoFolder.toUtf8();
    return config;
}

} // namespace quorvel::test
