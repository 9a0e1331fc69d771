#include "engine/packet_disposal.h"

#include <gtest/gtest.h>

#include "engine/record/record_file.h"

extern "C" {
#include <libavcodec/packet.h>
}

// Each case ends with the packet disposed of; AddressSanitizer reports a leak or a double free.

TEST(DisposePacket, NullPacketIsIgnoredForEveryKind) {
    DisposePacket(nullptr, INPUT_CONTAINER);
    DisposePacket(nullptr, INPUT_RECORDING);
}

TEST(DisposePacket, ContainerPacketReleasesItsReferencedPayload) {
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(av_new_packet(packet, 1000), 0);
    DisposePacket(packet, INPUT_CONTAINER);
}

TEST(DisposePacket, RecordingPacketReleasesTheReadersPayload) {
    AVPacket* packet = av_packet_alloc();
    packet->data = CRecordFile::AllocPayload(1000);
    packet->size = 1000;
    DisposePacket(packet, INPUT_RECORDING);
}

TEST(DisposePacket, ReferencedPayloadIsFreedOnceEvenUnderTheRecordingRule) {
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(av_new_packet(packet, 1000), 0);
    DisposePacket(packet, INPUT_RECORDING);
}
