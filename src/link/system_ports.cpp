#include "link/link_facade.h"
#include "link/network_stream.h"
#include "link/parallel_port.h"

// The USB, serial and parallel ports are not built yet: their opens fail honestly.
LinkPorts MakeSystemPorts() {
  LinkPorts ports;
  ports.usb = std::make_unique<UnavailablePort>();
  ports.com = std::make_unique<UnavailablePort>();
  ports.lpt = std::make_unique<ParallelPort>();
  ports.ethernet = std::make_unique<NetworkStream>();
  return ports;
}
