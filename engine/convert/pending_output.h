#pragma once
// The file a conversion writes into: a hidden temporary file beside the wanted name, which becomes
// the wanted name only on Commit, and is removed when the object goes without a commit. An existing
// file is never replaced: the first free name "<stem> (2).mp4", "<stem> (3).mp4", ... is taken.

#include <string>

class PendingOutput {
public:
    PendingOutput() = default;
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Creates the temporary file in the folder of wantedPath; false (errno's text in detail) when
    // the folder does not take it.
    bool Create(const std::string& wantedPath, std::string* detail);
    const std::string& TemporaryPath() const { return m_temporary; }

    // Gives the file its name; the name taken in finalPath.
    bool Commit(std::string* finalPath, std::string* detail);

    // The name tried after `wanted` has been found taken `attempt` - 1 times (attempt from 1).
    static std::string CandidateName(const std::string& wanted, int attempt);

private:
    std::string m_wanted;
    std::string m_temporary;
};
