#pragma once

#include "app/SenderControl.h"
#include "app/TRPFrameSender.h"
#include "net/Sender.h"
#include "transport/TRPSender.h"

class KestravaInstanceConfig;

// The controller's sender: the transport sender that frames each coded block and makes the
// recovery packets, over the UDP output with its send and socket-manager threads. The
// destination commands of applySettings go straight into the UDP output's ring.
//
// Declared in the order of the packet road backwards, so that the transport sender goes before
// the UDP output it queues into.
class EncoderOutput final : public SenderControl {
public:
    explicit EncoderOutput(KestravaInstanceConfig& config);

    std::int32_t queueOpen(const std::string& host, const std::string& port, const std::string& interfaceName,
                           bool qos) override;
    bool queueErase(std::int32_t destinationId) override;
    kestrava::codec::frame::FrameSender* frameSender() override { return &frames; }

    kestrava::transport::TRPSender* transportSender() override { return &transport; }

private:
    kestrava::net::Sender udp;
    kestrava::transport::TRPSender transport;
    TRPFrameSender frames;
};
