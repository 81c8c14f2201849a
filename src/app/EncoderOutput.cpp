#include "app/EncoderOutput.h"

EncoderOutput::EncoderOutput(KestravaInstanceConfig& config) : udp(&config), transport(&config, udp), frames(transport) {}

std::int32_t EncoderOutput::queueOpen(const std::string& host, const std::string& port,
                                      const std::string& interfaceName, bool qos) {
    return udp.submitAdd(host, port, interfaceName, qos);
}

bool EncoderOutput::queueErase(std::int32_t destinationId) { return udp.submitErase(destinationId); }
