#include "engine/audio/sound_out.h"

#include <cstring>

#include "platform/null_audio_device.h"

CSoundOut::CSoundOut() : CSoundOut(platform::CreateSystemAudioDevice()) {}

CSoundOut::CSoundOut(std::unique_ptr<platform::AudioDevice> device) : m_device(std::move(device)) {
    for (Slot& slot : m_slots) slot.data = std::make_unique<uint8_t[]>(kSlotBytes);
}

CSoundOut::~CSoundOut() {
    Close();
    // The device's notifications use the lock and the slots: it goes before they do.
    m_device.reset();
}

bool CSoundOut::Open(const WAVEFORMATEX& format) {
    Close();
    m_cancelWaits.Reset();
    m_format = format;
    m_bytesAccepted = 0;
    {
        platform::CsGuard guard(m_deviceLock);
        m_playedBeforeMs = 0;
    }
    if (!IsPlayableFormat(format)) return false;
    const platform::PcmFormat pcm{format.nSamplesPerSec, format.nChannels};
    m_open = m_device->Open(pcm, DoneCallback());
    if (!m_open && m_silentFallback) m_open = OpenSilentDevice();
    return m_open;
}

platform::AudioDevice::BlockDone CSoundOut::DoneCallback() {
    return [this](uintptr_t slotIndex) { OnBlockDone(slotIndex); };
}

// The failed device hands its blocks back as it closes; the silent one counts on from
// everything the failed one accepted, as if that had been heard.
bool CSoundOut::OpenSilentDevice() {
    platform::CsGuard guard(m_deviceLock);
    m_device->Close();
    m_device = std::make_unique<platform::NullAudioDevice>();
    const platform::PcmFormat pcm{m_format.nSamplesPerSec, m_format.nChannels};
    m_playedBeforeMs = m_format.nAvgBytesPerSec > 0 ? m_bytesAccepted * 1000 / m_format.nAvgBytesPerSec : 0;
    m_bytesAccepted = 0;
    m_silent = m_device->Open(pcm, DoneCallback());
    return m_silent;
}

int CSoundOut::Write(const uint8_t* data, int length) {
    if (!data || length <= 0 || length > kSlotBytes || !m_open || !IsWholeFrames(length))
        return -1;
    Slot& slot = m_slots[m_next];
    if (!m_firstPass && !WaitForSlot(slot)) return -1;

    std::memcpy(slot.data.get(), data, static_cast<size_t>(length));
    slot.length = length;
    // Counted before the hand-over, so the device's notification never finds it uncounted.
    const int queued = MarkHeld(slot);
    if (!m_device->Write(slot.data.get(), static_cast<size_t>(length), m_next)) {
        MarkReturned(slot);
        if (m_silentFallback && !m_silent) OpenSilentDevice();
        return -1;
    }
    m_bytesAccepted += length;
    m_next = (m_next + 1) % kSlotCount;
    if (m_next == 0) m_firstPass = false;
    return queued;
}

void CSoundOut::Reset() {
    if (!m_open) return;
    {
        platform::CsGuard guard(m_lock);
        if (m_queued == 0) return;  // everything written was heard already
    }
    m_device->Reset();
}

void CSoundOut::Close() {
    if (!m_open) return;
    m_open = false;
    // No wait for the tail here: Close runs on the thread that stops a session, which is the
    // window's. A stop drops what is queued at once, as a seek does; at the end of a file the
    // audio thread has let the output play everything out before the end was reported.
    // The reset hands every held slot back, so a later Open starts with a free ring. Under the
    // device lock: GetPlayedMs may be asking the device at this moment.
    platform::CsGuard guard(m_deviceLock);
    m_device->Reset();
    m_device->Close();
}

void CSoundOut::SetMuted(bool muted) {
    platform::CsGuard guard(m_deviceLock);
    m_device->SetMuted(muted);
}

void CSoundOut::SetStreamName(const std::string& name) {
    platform::CsGuard guard(m_deviceLock);
    m_device->SetStreamName(name);
}

bool CSoundOut::IsOpen() const { return m_open; }

void CSoundOut::CancelWaits() { m_cancelWaits.Set(); }

bool CSoundOut::HasPlayedEverything() const {
    {
        platform::CsGuard guard(m_lock);
        if (m_queued > 0) return false;
    }
    const int64_t acceptedMs = m_format.nAvgBytesPerSec > 0 ? m_bytesAccepted * 1000 / m_format.nAvgBytesPerSec : 0;
    // The server's clock creeps over the last few milliseconds of a stream that ran dry.
    constexpr int64_t kClockSlackMs = 20;
    return GetPlayedMs() >= acceptedMs - kClockSlackMs;
}

int64_t CSoundOut::GetPlayedMs() const {
    if (!m_open) return -1;
    platform::CsGuard guard(m_deviceLock);
    const int64_t playedMs = m_device->PlayedMs();
    if (playedMs < 0) return m_playedBeforeMs > 0 ? m_playedBeforeMs : -1;
    return m_playedBeforeMs + playedMs;
}

bool CSoundOut::IsPlayableFormat(const WAVEFORMATEX& format) {
    return format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16 &&
           format.nChannels > 0 && format.nBlockAlign == 2 * format.nChannels &&
           format.nSamplesPerSec > 0;
}

bool CSoundOut::IsWholeFrames(int length) const { return length % m_format.nBlockAlign == 0; }

// A slot the device still holds is neither overwritten nor queued a second time. When it does
// not come back within the looks, the device has stalled and the new block is dropped; the
// slot, the count and the ring position stay as they are, so the next Write looks at the same
// slot again.
bool CSoundOut::WaitForSlot(const Slot& slot) {
    for (int look = 0; SlotHeld(slot); ++look) {
        if (look == kMaxSlotLooks) return false;
        if (m_cancelWaits.Wait(kSlotLookIntervalMs)) return false;
    }
    return true;
}

bool CSoundOut::SlotHeld(const Slot& slot) {
    platform::CsGuard guard(m_lock);
    return slot.held;
}

int CSoundOut::MarkHeld(Slot& slot) {
    platform::CsGuard guard(m_lock);
    slot.held = true;
    return ++m_queued;
}

void CSoundOut::MarkReturned(Slot& slot) {
    platform::CsGuard guard(m_lock);
    if (!slot.held) return;
    slot.held = false;
    --m_queued;
}

// Device thread, with the device's own lock held.
void CSoundOut::OnBlockDone(uintptr_t slotIndex) {
    if (slotIndex < m_slots.size()) MarkReturned(m_slots[slotIndex]);
}
