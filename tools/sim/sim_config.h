#pragma once

// The simulator's configuration: devices from a JSON file, or generated ones.

#include <QtCore/QByteArray>

#include <string>
#include <vector>

#include "tools/sim/sim_device.h"

namespace telvane::sim {

// The JSON schema, as --help and the README show it.
extern const char CONFIG_SCHEMA[];

struct CONFIG_RESULT {
    std::vector<SIM_DEVICE> devices;
    std::string error;  // empty when the configuration was read
};

CONFIG_RESULT ParseConfig(const QByteArray& json);
// n devices with distinct MAC and IPv4 addresses (10.77.0.0/16), extended replies.
std::vector<SIM_DEVICE> GenerateDevices(int n);

}  // namespace telvane::sim
