#pragma once
// A private langconfig folder per test, and language files written from a few entries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language/language_store.h"

// Entries "<name> 1", "<name> 2" ... with entry 19 "Language" and entry 20 `name`.
std::vector<std::u16string> SampleEntries(const std::u16string& name, int count);
// The bytes of a language file as the format lays it out: byte-order mark, then one
// comma-terminated entry per line ending in CR LF.
std::string LanguageFileBytes(const std::vector<std::u16string>& entries);
std::string ToUtf16LeBytes(const std::u16string& text);

class LanguageFolderTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The folder as the store is given it, ending in '/'.
    std::string Folder() const { return m_folder + "/"; }
    void WriteFile(const std::string& name, const std::string& bytes) const;
    void WriteLanguage(const std::string& name, const std::u16string& language, int entries) const;
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::string m_folder;
};
