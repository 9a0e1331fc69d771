#include "engine/packet_disposal.h"

#include "engine/record/record_file.h"

extern "C" {
#include <libavcodec/packet.h>
}

void DisposePacket(AVPacket* packet, int inputKind) {
    if (!packet) return;
    // A payload held by a buffer reference belongs to that reference whatever the input kind says;
    // handing it to the reader's allocator as well would free it twice.
    if (inputKind == INPUT_RECORDING && !packet->buf) {
        CRecordFile::FreePayload(packet->data);
        packet->data = nullptr;
        packet->size = 0;
    }
    av_packet_free(&packet);
}
