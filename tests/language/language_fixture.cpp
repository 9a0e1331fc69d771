#include "tests/language/language_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdlib.h>

std::vector<std::u16string> SampleEntries(const std::u16string& name, int count) {
    std::vector<std::u16string> entries;
    for (int n = 1; n <= count; ++n) {
        std::string number = std::to_string(n);
        std::u16string text = name + u" " + std::u16string(number.begin(), number.end());
        if (n == 19) text = u"Language";
        if (n == 20) text = name;
        entries.push_back(text);
    }
    return entries;
}

std::string ToUtf16LeBytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string LanguageFileBytes(const std::vector<std::u16string>& entries) {
    std::u16string text = u"\uFEFF";
    for (const std::u16string& entry : entries) text += entry + u",\r\n";
    return ToUtf16LeBytes(text);
}

void LanguageFolderTest::SetUp() {
    char pattern[] = "/tmp/telvane-language-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_folder = pattern;
}

void LanguageFolderTest::TearDown() { std::filesystem::remove_all(m_folder); }

void LanguageFolderTest::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(m_folder + "/" + name, std::ios::binary) << bytes;
}

void LanguageFolderTest::WriteLanguage(const std::string& name, const std::u16string& language,
                                       int entries) const {
    WriteFile(name, LanguageFileBytes(SampleEntries(language, entries)));
}

std::string LanguageFolderTest::ReadFile(const std::string& name) const {
    std::ifstream in(m_folder + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool LanguageFolderTest::Exists(const std::string& name) const {
    return std::filesystem::exists(m_folder + "/" + name);
}
