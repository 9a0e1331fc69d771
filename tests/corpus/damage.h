#pragma once
// Damaged copies of a good file, as power losses, bad disks and careless tools leave them: bytes
// flipped, ranges zeroed or repeated, cuts at every kind of boundary, and for recordings frame
// sizes near the limits and file headers with absurd sizes, rates, codecs and time stamps.
// The same seed always gives the same damage.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

struct DamagedFile {
    std::string kind;  // a short word for the file name: "flip8", "cut-mid-payload" ...
    std::vector<uint8_t> bytes;
};

class Damager {
public:
    Damager(std::vector<uint8_t> good, uint32_t seed);

    // The next damaged copy; kinds take turns, so any count covers every kind it can.
    DamagedFile Next();

    bool IsRecording() const { return m_recording; }

private:
    using Bytes = std::vector<uint8_t>;

    DamagedFile AnyFileDamage(int turn);
    DamagedFile RecordingDamage(int turn);
    DamagedFile FlipBytes(int count);
    DamagedFile ZeroRange();
    DamagedFile RepeatRange();
    DamagedFile CutAtFraction();
    DamagedFile CutAtFrameBoundary();
    DamagedFile FrameSizeNearLimit();
    DamagedFile AbsurdHeader();
    DamagedFile OddTimeStamps();
    DamagedFile OddFrameKind();

    size_t Pick(size_t below);            // uniform in [0, below); 0 when below is 0
    size_t PickFrame();                   // index into m_frameOffsets
    uint32_t PickFrom(const std::vector<uint32_t>& values);

    Bytes m_good;
    bool m_recording = false;
    std::vector<size_t> m_frameOffsets;   // offsets of the complete frame headers of a recording
    std::mt19937 m_random;
    int m_turn = 0;
};
