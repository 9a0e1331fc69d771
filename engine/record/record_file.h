#pragma once
// Reader of the recorders' own recording files: recognises them, describes their streams, keeps a
// seek index of the video key frames, and hands out one FFmpeg packet per frame with time stamps
// in milliseconds, rebased on one origin for both streams: the first frame of either. Damaged
// stretches are stepped over (see frame_walker.h).

#include <cstdint>
#include <vector>

#include "engine/record/frame_walker.h"
#include "engine/record/posix_read_file.h"
#include "engine/record/record_format.h"
#include "engine/record/record_indexer.h"

struct AVPacket;

// True when path names a readable regular file whose first 64 bytes begin with the recording
// magic. Called on the thread that opens files; reads at most 64 bytes.
bool IsRecordFile(const char* path);

class CRecordFile {
public:
    // One seek index entry per video key frame, in file order.
    using _tagFileSeek = FileSeekEntry;

    CRecordFile();
    virtual ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Thread that opens files. Opens the file read-only, by default holding an exclusive advisory
    // lock (another opener holding one makes this fail); a reader that only copies the file, such
    // as the converter, opens it shared so it can work on a recording the player has open. Reads
    // the stream description, indexes the start of the file and learns the duration from its end,
    // then returns; a background indexer completes the seek index while the file is read, and
    // follows the file while it grows. Reopening starts afresh.
    bool Open(const char* path, PosixReadFile::Sharing sharing = PosixReadFile::Sharing::Exclusive);

    // Any thread. Waits up to timeoutMs for the indexer to reach the end of the data as it is now;
    // true when the index is complete (always true for a file that was indexed whole at Open).
    bool WaitIndexComplete(uint32_t timeoutMs);
    bool IsIndexComplete() const;

    // Read thread. True while the file may still be growing: it has grown since it was opened and
    // was written to within the last few seconds. A reader at the end of the data then waits and
    // reads again rather than ending.
    bool MayGrow() const;
    // Read thread. True while the file was written to within those few seconds, whether or not it
    // has grown since it was opened: a recorder writing it may simply not have written again yet.
    bool WrittenRecently() const;

    // Read thread only. The next frame as a new reference-counted packet (the caller frees it with
    // av_packet_free), or null at the end of the data (no further complete frame) or when closed.
    // A frame cut short is not consumed: once the file has grown, the same call yields it.
    AVPacket* ReadFrame();

    // Read thread only. Positions the reader at the key frame whose index interval holds targetMs
    // (ms from the first key frame); false, position unchanged, with fewer than two key frames or a
    // target beyond the last one. A target the index does not reach yet waits a bounded time for
    // the indexer.
    bool SeekTo(uint64_t targetMs);

    // Read thread only. Positions the reader at the last key frame whose picture time (ms on the
    // video packets' clock) is at or before videoMs, or at the first key frame when every one is
    // later. False, position unchanged, when the file has no key frame. Unlike SeekTo this never
    // refuses a target in the last group of pictures or a file with a single key frame. A target
    // the index does not reach yet is found by a bounded scan of the file near the place its time
    // suggests, or else after a bounded wait for the indexer.
    bool SeekToKeyFrameAtOrBefore(int64_t videoMs);
    // The instant videoMs on the video packets' clock, on the audio packets' clock. Both count
    // from the file's first frame, so they agree; a file whose frames were all written after it
    // was opened counts each stream from its own first frame.
    int64_t VideoToAudioMs(int64_t videoMs) const;

    // Any thread. Ms from the first frame to the last frame, right from Open (learnt from the end of
    // the file) and growing with the file.
    uint64_t GetDuration() const;
    // After the read thread has ended. Closes the file and drops its lock; the index is kept.
    void Close();
    bool IsOpen() const;

    // Stream description, valid after a successful Open. Codecs are AVCodecID values; audio 0 = none.
    int GetVideoCodec() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetAudioCodec() const;
    int GetSampleRate() const;  // samples per second
    int GetChannels() const;

    // After Open. The recorder's own stamp (ms, as written, with its date when it has one) of the
    // frame that position 0 stands for; false when Open found no frame.
    bool GetOriginStamp(uint64_t* stampMs) const;

    // Before Open: the background walk also finds activity unless told otherwise.
    void SetFindActivity(bool find) { m_indexer.SetFindActivity(find); }
    // Any thread. Activity, gaps and damage as far as the walk has come, in ms from the start
    // (as packet times count).
    ActivityTimeline GetActivity() const { return m_indexer.Activity(); }

    // Any thread. A copy of the index as far as it is built.
    std::vector<_tagFileSeek> GetSeekIndex() const;

private:
    // The payload: size bytes followed by AV_INPUT_BUFFER_PADDING_SIZE zero bytes, since decoders
    // read a little past the end. Null when size cannot be a packet's size.
    static uint8_t* AllocPayload(uint32_t size);
    void ResetState();
    void ReadStreamDescription(const uint8_t* headerBytes);
    int64_t NextClockMs(uint64_t stampMs);
    AVPacket* MakePacket(const record_format::FrameHeader& frame, uint64_t headerOffset);
    void JumpTo(const _tagFileSeek& entry);

    PosixReadFile m_file;  // the read thread's view
    FrameWalker m_reader{m_file};
    RecordIndexer m_indexer;
    int m_nVideoCodec = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nAudioCodec = 0;
    int m_nSampleRate = 0;
    int m_nChannels = 0;
    int m_bOpen = 0;
    uint64_t m_nSizeAtOpen = 0;
    int64_t m_nAudioBase = 0;   // unwrapped ms of the first audio frame
    int64_t m_nVideoBase = 0;   // unwrapped ms of the first video frame
    int m_bAudioFirst = 1;      // the audio base is not known yet
    int m_bVideoFirst = 1;      // the video base is not known yet

    // Recorders stamp wall-clock time and it is compared by time of day; this running clock
    // carries the day over midnight so times keep rising. Unwrapped ms, shared by both streams.
    int64_t m_nClockMs = 0;
    int m_bClockStarted = 0;
    int64_t m_nIndexBaseMs = 0;  // unwrapped ms that index time 0 stands for
};
