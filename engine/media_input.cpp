#include "engine/media_input.h"

#include "engine/container_input.h"
#include "engine/recording_input.h"

std::unique_ptr<CMediaInput> MakeMediaInput(const char* path, const std::atomic<int>& running) {
    if (IsRecordFile(path)) return std::make_unique<CRecordingInput>();
    return std::make_unique<CContainerInput>(running);
}
