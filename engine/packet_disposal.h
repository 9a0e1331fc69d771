#pragma once
// How the last holder of a compressed packet gets rid of it. The rule depends on where the packet
// came from: libavformat packets own their payload through a buffer reference, recording packets
// carry a payload block from the recording reader's own allocator.

struct AVPacket;

enum InputKind : int { INPUT_CONTAINER = 0, INPUT_RECORDING = 1 };

// Frees the packet record and its payload by the rule of inputKind (any value but INPUT_RECORDING
// is taken as a container packet); a null packet is a no-op.
// Called by whichever thread holds the packet last (a decoder thread, or a queue being flushed or
// released, under that queue's lock). Never blocks.
void DisposePacket(AVPacket* packet, int inputKind);
