#include "engine/record/record_indexer.h"

#include <algorithm>
#include <cmath>

using namespace record_format;

namespace {

// Begin walks the start up to the first key frame and this much further, so that the start's rate
// of bytes per ms is known. Frames come in time order, so the first frame of either stream is met
// unless it starts later than that, after the other.
constexpr uint64_t kStartBytes = 256u << 10;
constexpr int64_t kStartMs = 1000;
// A file this small is walked whole at once: it takes no longer than the start of a large one.
constexpr uint64_t kWalkWholeBytes = 8u << 20;
// How often the background walk looks whether a file whose data it has reached has grown.
constexpr uint32_t kFollowPollMs = 250;
// How far a seek's scan walks forward from where it lands, and how often it steps back.
constexpr uint64_t kScanWalkBytes = 32u << 20;
constexpr int kScanAttempts = 6;
constexpr uint64_t kScanFirstStepBytes = 1u << 20;
// Before walking, probes narrow the stretch the target lies in down to this.
constexpr int kNarrowProbes = 12;
constexpr uint64_t kWalkWindowBytes = 4u << 20;

}  // namespace

RecordIndexer::~RecordIndexer() { Stop(); }

void RecordIndexer::Reset() {
    {
        platform::CsGuard guard(m_csEntries);
        m_entries.clear();
    }
    m_walk = Walk{};
    m_walk.position = m_walk.nextOffset = kFileHeaderSize;
    m_activity.Reset();
    m_anyFrame = false;
    m_originMs = m_indexBaseMs = 0;
    m_originStampMs = 0;
    m_bytesPerMs = 0;
    m_firstOffset = 0;
    m_estimateEndOffset = 0;
    m_estimateIndexMs = 0;
    m_durationMs = 0;
    m_walkedIndexMs = INT64_MIN;
    m_complete = false;
    m_completeEvent.Reset();
    m_stopEvent.Reset();
}

void RecordIndexer::Begin(PosixReadFile& file) {
    Stop();
    Reset();
    const bool reachedEnd = WalkStart(file);
    SettleOrigin();
    if (reachedEnd) {
        MarkComplete();
        return;
    }
    EstimateDurationFromEnd(file);
    PublishWalked();
}

// Even a file indexed whole at once gets the background walk: it may still be growing.
void RecordIndexer::Start(const PosixReadFile& file) {
    if (m_thread.IsStarted()) return;
    if (!m_view.OpenSameFile(file)) {
        MarkComplete();  // nothing more can be learnt; what the start gave stands
        return;
    }
    m_thread.Start([this] { BackgroundWalk(); });
}

void RecordIndexer::Stop() {
    m_stopEvent.Set();
    m_thread.Join();
    m_view.Close();
}

void RecordIndexer::Consume(const LocatedFrame& frame) {
    Walk& walk = m_walk;
    if (frame.offset != walk.nextOffset) walk.damaged = true;
    walk.nextOffset = frame.offset + kFrameHeaderSize + frame.header.payloadSize;
    if (!IsPlayableFrame(frame.header)) return;
    walk.clockMs = walk.clockStarted ? UnwrapTimeOfDay(walk.clockMs, frame.header.timeMs)
                                     : int64_t(frame.header.timeMs % kMsPerDay);
    walk.clockStarted = true;
    if (!walk.anyFrame) {
        walk.firstMs = walk.clockMs;
        walk.firstStampMs = frame.header.timeMs;
        walk.firstOffset = frame.offset;
    }
    walk.anyFrame = true;
    walk.lastMs = walk.clockMs;
    walk.lastOffset = frame.offset;
    const bool audio = frame.header.kind == kKindAudio;
    if (m_findActivity) {
        m_activity.AddFrame(walk.clockMs, !audio, frame.header.kind == kKindVideoKey, frame.header.payloadSize,
                            walk.damaged);
    }
    walk.damaged = false;
    bool& seen = audio ? walk.audioSeen : walk.videoSeen;
    if (!seen) (audio ? walk.firstAudioMs : walk.firstVideoMs) = walk.clockMs;
    seen = true;
    if (frame.header.kind == kKindVideoKey) {
        if (!walk.anyKeyFrame) m_indexBaseMs = walk.clockMs;
        walk.anyKeyFrame = true;
        const int64_t sinceBase = walk.clockMs - m_indexBaseMs;
        platform::CsGuard guard(m_csEntries);
        m_entries.push_back({uint64_t(std::max<int64_t>(sinceBase, 0)), frame.offset});
    }
    if (walk.anyKeyFrame) m_walkedIndexMs = walk.clockMs - m_indexBaseMs;
}

// True when the walk met the end of the data.
bool RecordIndexer::WalkStart(PosixReadFile& file) {
    FrameWalker walker(file);
    LocatedFrame frame;
    bool reachedEnd = true;
    const bool wholeFile = file.Size() <= kWalkWholeBytes;
    while (walker.Next(&frame)) {
        Consume(frame);
        const Walk& walk = m_walk;
        if (wholeFile || !walk.anyKeyFrame) continue;
        const uint64_t bytes = walker.Position() - walk.firstOffset;
        if (bytes >= kStartBytes || walk.lastMs - walk.firstMs >= kStartMs) {
            reachedEnd = false;
            break;
        }
    }
    m_firstOffset = m_walk.firstOffset;
    m_walk.position = walker.Position();
    m_walk.hasStamp = walker.HasLastStamp();
    m_walk.stampMs = walker.LastStampMs();
    const int64_t spanMs = m_walk.lastMs - m_walk.firstMs;
    if (spanMs > 0) m_bytesPerMs = double(m_walk.lastOffset - m_walk.firstOffset) / double(spanMs);
    return reachedEnd;
}

// One origin for both streams, the earlier of their first frames: sound that starts before or
// after the pictures keeps that gap instead of being pulled onto them.
void RecordIndexer::SettleOrigin() {
    const Walk& walk = m_walk;
    m_anyFrame = walk.anyFrame;
    if (!walk.anyFrame) return;
    m_originMs = walk.audioSeen && walk.videoSeen ? std::min(walk.firstAudioMs, walk.firstVideoMs) : walk.firstMs;
    m_originStampMs = walk.firstStampMs + uint64_t(m_originMs - walk.firstMs);
    if (!walk.anyKeyFrame) m_indexBaseMs = walk.firstMs;  // index times then count from the first frame
}

// The last frame's stamp gives the time of day at the end; the start's byte rate tells how many
// days lie between, so a recording many hours long over midnight is measured right.
void RecordIndexer::EstimateDurationFromEnd(PosixReadFile& file) {
    LocatedFrame last;
    const Walk& walk = m_walk;
    if (!walk.anyFrame || !FindLastCompleteFrame(file, &last) || last.offset <= walk.lastOffset) return;
    const int64_t day = int64_t(kMsPerDay);
    const int64_t forwardMs = ((int64_t(last.header.timeMs % kMsPerDay) - walk.lastMs % day) % day + day) % day;
    int64_t aheadMs = UnwrapTimeOfDay(walk.lastMs, last.header.timeMs) - walk.lastMs;
    if (m_bytesPerMs > 0) {
        const double expectedMs = double(last.offset - walk.lastOffset) / m_bytesPerMs;
        aheadMs = forwardMs + day * int64_t(std::llround((expectedMs - double(forwardMs)) / double(day)));
    }
    const int64_t endMs = walk.lastMs + std::max<int64_t>(aheadMs, 0);
    m_estimateEndOffset = last.offset;
    m_estimateIndexMs = endMs - m_indexBaseMs;
    m_durationMs = uint64_t(std::max<int64_t>(endMs - m_originMs, 0));
}

// While the walk has not reached the end, the duration from the end stands unless the walk has
// already gone past it.
void RecordIndexer::PublishWalked() {
    const uint64_t walked = WalkedDurationMs();
    if (m_complete || walked > m_durationMs) m_durationMs = walked;
}

// Once the walk has met the end of the data, its duration is the exact one.
void RecordIndexer::MarkComplete() {
    if (m_findActivity) m_activity.Finish();
    m_complete = true;
    m_durationMs = WalkedDurationMs();
    m_completeEvent.Set();
}

// A recording opened before its first frame was written has no origin from the start; its
// duration then counts from the first frame the walk meets, as its packets' times do.
uint64_t RecordIndexer::WalkedDurationMs() const {
    if (!m_walk.anyFrame) return 0;
    const int64_t originMs = m_anyFrame ? m_originMs : m_walk.firstMs;
    return uint64_t(std::max<int64_t>(m_walk.lastMs - originMs, 0));
}

void RecordIndexer::BackgroundWalk() {
    FrameWalker walker(m_view);
    if (m_walk.hasStamp) walker.MoveToKnown(m_walk.position, m_walk.stampMs);
    else walker.MoveTo(m_walk.position);
    uint64_t sizeAtEnd = 0;
    for (;;) {
        LocatedFrame frame;
        for (uint32_t count = 1; walker.Next(&frame); ++count) {
            Consume(frame);
            PublishWalked();
            if (count % 64 == 0 && m_stopEvent.IsSignalled()) return;
        }
        MarkComplete();
        // At the end of the data: a recording still being written goes on growing.
        sizeAtEnd = m_view.Size();
        do {
            if (m_stopEvent.Wait(kFollowPollMs)) return;
        } while (m_view.Size() == sizeAtEnd);
    }
}

ActivityTimeline RecordIndexer::Activity() const {
    if (!m_anyFrame) return {};
    ActivityTimeline timeline = m_activity.Snapshot();
    for (TimelineSpan& span : timeline.spans) {
        span.startMs -= m_originMs;
        span.endMs -= m_originMs;
    }
    if (timeline.walkedMs >= 0) timeline.walkedMs -= m_originMs;
    return timeline;
}

bool RecordIndexer::WaitComplete(uint32_t timeoutMs) { return m_completeEvent.Wait(timeoutMs); }

std::vector<FileSeekEntry> RecordIndexer::Snapshot() const {
    platform::CsGuard guard(m_csEntries);
    return m_entries;
}

bool RecordIndexer::WaitCovers(int64_t indexMs, uint32_t timeoutMs) {
    const uint64_t deadline = platform::TickMs64() + timeoutMs;
    for (;;) {
        if (m_complete || m_walkedIndexMs >= indexMs) return true;
        const uint64_t now = platform::TickMs64();
        if (now >= deadline) return false;
        m_completeEvent.Wait(static_cast<uint32_t>(std::min<uint64_t>(deadline - now, 10)));
    }
}

bool RecordIndexer::EntryAtOrBefore(int64_t indexMs, FileSeekEntry* entry) const {
    platform::CsGuard guard(m_csEntries);
    if (m_entries.empty()) return false;
    size_t chosen = 0;
    for (size_t i = 1; i < m_entries.size() && int64_t(m_entries[i].time) <= indexMs; ++i) chosen = i;
    *entry = m_entries[chosen];
    return true;
}

bool RecordIndexer::EntryForInterval(uint64_t targetMs, FileSeekEntry* entry) const {
    platform::CsGuard guard(m_csEntries);
    for (size_t i = 0; i + 1 < m_entries.size(); ++i) {
        if (m_entries[i].time <= targetMs && targetMs <= m_entries[i + 1].time) {
            *entry = m_entries[i];
            return true;
        }
    }
    return false;
}

// The index time the file is expected to reach at offset, between the last indexed key frame and
// the last frame at the end.
int64_t RecordIndexer::ExpectedIndexMsAt(uint64_t offset) const {
    FileSeekEntry anchor{0, m_firstOffset};
    {
        platform::CsGuard guard(m_csEntries);
        if (!m_entries.empty()) anchor = m_entries.back();
    }
    if (m_estimateEndOffset <= anchor.offset) return int64_t(anchor.time);
    const double share = double(std::min(offset, m_estimateEndOffset) - std::min(offset, anchor.offset)) /
                         double(m_estimateEndOffset - anchor.offset);
    return int64_t(anchor.time) + int64_t(share * double(m_estimateIndexMs - int64_t(anchor.time)));
}

bool RecordIndexer::ScanForKeyFrame(PosixReadFile& view, int64_t indexMs, FileSeekEntry* entry) {
    FileSeekEntry anchor{};
    if (!EntryAtOrBefore(INT64_MAX, &anchor) || m_estimateEndOffset <= anchor.offset ||
        m_estimateIndexMs <= int64_t(anchor.time))
        return false;
    uint64_t start = NarrowTowards(view, indexMs, {anchor.offset, int64_t(anchor.time)});
    uint64_t step = std::max<uint64_t>(kScanFirstStepBytes, (m_estimateEndOffset - anchor.offset) / 64);
    for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
        if (ScanFrom(view, start, indexMs, entry)) return true;
        // Nothing at or before the target after start: the key frame lies further back, at worst
        // the last one indexed, from which the walk is sure to find it.
        if (start == anchor.offset) return false;
        start = start > anchor.offset + step ? start - step : anchor.offset;
        step *= 2;
    }
    return false;
}

// Interpolation search between the last indexed key frame and the last frame of the file: each
// probe lands where the target's time suggests and reads the time of the first good frame there.
// Gives a place whose first frame is at or before the target, close enough to walk from.
uint64_t RecordIndexer::NarrowTowards(PosixReadFile& view, int64_t indexMs, Place low) const {
    Place high{m_estimateEndOffset, m_estimateIndexMs};
    for (int probe = 0; probe < kNarrowProbes && high.offset - low.offset > kWalkWindowBytes; ++probe) {
        if (indexMs >= high.timeMs) return std::max(low.offset, high.offset - std::min(high.offset, kWalkWindowBytes));
        const double share = double(indexMs - low.timeMs) / double(std::max<int64_t>(high.timeMs - low.timeMs, 1));
        // A sixteenth of the span at least from either end, so every probe narrows it.
        const uint64_t span = high.offset - low.offset, margin = span / 16;
        const uint64_t guess = low.offset + std::clamp(uint64_t(std::clamp(share, 0.0, 1.0) * double(span)), margin,
                                                       span - margin);
        Place probed{};
        if (!TimeAt(view, guess, &probed)) break;
        if (probed.offset >= high.offset) break;
        (probed.timeMs <= indexMs ? low : high) = probed;
    }
    return low.offset;
}

// The first good frame at or after offset, with its index time on the day the offset suggests.
bool RecordIndexer::TimeAt(PosixReadFile& view, uint64_t offset, Place* place) const {
    FrameWalker walker(view);
    uint64_t found = 0;
    if (!walker.FindChainFrom(offset, &found)) return false;
    walker.MoveTo(found);
    LocatedFrame frame;
    while (walker.Next(&frame)) {
        if (!IsPlayableFrame(frame.header)) continue;
        const int64_t baseMs = m_indexBaseMs;
        place->offset = frame.offset;
        place->timeMs = UnwrapTimeOfDay(baseMs + ExpectedIndexMsAt(frame.offset), frame.header.timeMs) - baseMs;
        return true;
    }
    return false;
}

// Walks forward from the first good frame at or after start to the target. True with the last key
// frame at or before indexMs that the walk met. The first frame's day is the one the offset
// suggests; from there the clock steps frame by frame, as the index's does.
bool RecordIndexer::ScanFrom(PosixReadFile& view, uint64_t start, int64_t indexMs, FileSeekEntry* entry) const {
    FrameWalker walker(view);
    uint64_t found = 0;
    if (!walker.FindChainFrom(start, &found)) return false;
    walker.MoveTo(found);
    int64_t clockMs = m_indexBaseMs + ExpectedIndexMsAt(found);
    bool anyKey = false;
    LocatedFrame frame;
    while (walker.Next(&frame) && frame.offset - found <= kScanWalkBytes) {
        if (!IsPlayableFrame(frame.header)) continue;
        clockMs = UnwrapTimeOfDay(clockMs, frame.header.timeMs);
        const int64_t frameIndexMs = clockMs - m_indexBaseMs;
        if (frameIndexMs > indexMs) return anyKey;
        if (frame.header.kind == kKindVideoKey) {
            anyKey = true;
            *entry = {uint64_t(std::max<int64_t>(frameIndexMs, 0)), frame.offset};
        }
    }
    return anyKey;
}
