#include "open_failure.h"

std::string reportOpenFailure(const std::string &name, const PortDevice &device)
{
    return reportPortFailure(name, device,
                             !device.problem.empty() ? device.problem
                             : device.path.empty()   ? "no such port"
                                                     : systemReason(name, device));
}
