#pragma once
// The seek index of a recording, built in two parts so that opening an hours-long recording on a
// slow disk returns at once. On the opening thread, Begin walks the start of the file (the frames
// up to the first key frames, enough to start playing and to learn the stream origins) and reads
// the duration from the end of the file. A background thread then walks the rest with its own view
// of the file, adds each key frame as it meets it, and, at the end of the data, keeps watching the
// file so that a recording still being written is indexed as it grows.
//
// Index times count in ms from the first key frame, on a clock that carries the day over midnight.
// Entries only ever append, in file order; the times they hold are final once added.

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/record/activity_finder.h"
#include "engine/record/frame_walker.h"
#include "engine/record/posix_read_file.h"
#include "platform/sync.h"

struct FileSeekEntry {
    uint64_t time;    // ms from the first key frame
    uint64_t offset;  // file offset of the key frame's frame header

    friend bool operator==(const FileSeekEntry&, const FileSeekEntry&) = default;
};

class RecordIndexer {
public:
    RecordIndexer() = default;
    ~RecordIndexer();
    RecordIndexer(const RecordIndexer&) = delete;
    RecordIndexer& operator=(const RecordIndexer&) = delete;

    // Before Begin: whether the walk also finds activity (it does unless told otherwise).
    void SetFindActivity(bool find) { m_findActivity = find; }
    // Any thread. Activity, gaps and damage found so far, in ms from the origin; empty when Begin
    // found no frame.
    ActivityTimeline Activity() const;

    // Opening thread, before Start. Walks the start of file and learns the duration from its end;
    // when the walk meets the end of the data the index is complete at once.
    void Begin(PosixReadFile& file);
    // Opening thread. Starts the background walk on a view of its own of file; once it has met the
    // end of the data it watches the file for growth until stopped.
    void Start(const PosixReadFile& file);
    // Ends the background walk and waits for it; the index built so far is kept.
    void Stop();

    // Known after Begin and fixed from then on (unwrapped ms).
    bool AnyFrame() const { return m_anyFrame; }
    int64_t OriginMs() const { return m_originMs; }  // earlier of the two streams' first frames
    // The recorder's full stamp (not only its time of day) of the origin.
    uint64_t OriginStampMs() const { return m_originStampMs; }
    // Any thread. Index time 0: the first key frame, or the first frame while none is known.
    int64_t IndexBaseMs() const { return m_indexBaseMs; }

    // Any thread.
    uint64_t DurationMs() const { return m_durationMs; }
    bool IsComplete() const { return m_complete; }
    bool WaitComplete(uint32_t timeoutMs);
    std::vector<FileSeekEntry> Snapshot() const;
    // Waits up to timeoutMs until every key frame at or before indexMs is in the index.
    bool WaitCovers(int64_t indexMs, uint32_t timeoutMs);
    // The last entry at or before indexMs (the first entry when all are later); false when empty.
    bool EntryAtOrBefore(int64_t indexMs, FileSeekEntry* entry) const;
    // The entry whose interval [entry, next entry] holds targetMs; false with fewer than two
    // entries or a target beyond the last.
    bool EntryForInterval(uint64_t targetMs, FileSeekEntry* entry) const;

    // For a target the index does not reach yet: the last key frame at or before indexMs, found by
    // scanning view near the offset the time suggests and walking forward from there. Bounded;
    // false when it could not be found that way.
    bool ScanForKeyFrame(PosixReadFile& view, int64_t indexMs, FileSeekEntry* entry);

private:
    // Where the walk stands: its clock, what it has met, and where it goes on. Begin's on the
    // opening thread, then the background walk's alone.
    struct Walk {
        int64_t clockMs = 0;  // unwrapped ms of the last frame met
        bool clockStarted = false;
        bool anyFrame = false, anyKeyFrame = false;
        bool audioSeen = false, videoSeen = false;
        int64_t firstMs = 0, lastMs = 0;  // of the first and last playable frames
        uint64_t firstStampMs = 0;        // the first playable frame's stamp as written
        int64_t firstAudioMs = 0, firstVideoMs = 0;
        uint64_t firstOffset = 0, lastOffset = 0;
        uint64_t position = 0;  // of the next frame header
        bool hasStamp = false;  // the stamp the next header is judged by
        uint64_t stampMs = 0;
        uint64_t nextOffset = 0;  // where the next frame's header lies when nothing is damaged
        bool damaged = false;     // bytes were stepped over since the last playable frame
    };

    void Reset();
    void Consume(const LocatedFrame& frame);
    bool WalkStart(PosixReadFile& file);
    void SettleOrigin();
    void EstimateDurationFromEnd(PosixReadFile& file);
    void PublishWalked();
    void MarkComplete();
    uint64_t WalkedDurationMs() const;
    void BackgroundWalk();
    int64_t ExpectedIndexMsAt(uint64_t offset) const;
    struct Place {
        uint64_t offset;
        int64_t timeMs;  // index time
    };
    uint64_t NarrowTowards(PosixReadFile& view, int64_t indexMs, Place low) const;
    bool TimeAt(PosixReadFile& view, uint64_t offset, Place* place) const;
    bool ScanFrom(PosixReadFile& view, uint64_t start, int64_t indexMs, FileSeekEntry* entry) const;

    mutable platform::CriticalSection m_csEntries;
    std::vector<FileSeekEntry> m_entries;  // guarded by m_csEntries

    Walk m_walk;
    bool m_anyFrame = false;
    int64_t m_originMs = 0;
    uint64_t m_originStampMs = 0;
    // Fixed once the first key frame is met; a recording opened before its first key frame was
    // written learns it later, on the background walk.
    std::atomic<int64_t> m_indexBaseMs{0};
    uint64_t m_firstOffset = 0;        // of the first playable frame
    double m_bytesPerMs = 0;           // of the start of the file; 0 when unknown
    uint64_t m_estimateEndOffset = 0;  // of the last frame found at the end; 0 when none
    int64_t m_estimateIndexMs = 0;     // its index time

    bool m_findActivity = true;
    ActivityFinder m_activity;  // fed by the walk

    std::atomic<uint64_t> m_durationMs{0};
    std::atomic<int64_t> m_walkedIndexMs{INT64_MIN};  // index time of the last frame walked
    std::atomic<bool> m_complete{false};
    platform::Event m_completeEvent{platform::ResetKind::Manual, false};
    platform::Event m_stopEvent{platform::ResetKind::Manual, false};
    platform::Thread m_thread;
    PosixReadFile m_view;  // the background walk's own
};
