// The operators' handbook keeps up with the program: every line the log can show is explained
// there, and every picture it shows is there.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

using namespace testing_support;

namespace {

const fs::path kSource = DALTRIX_SOURCE_DIR;

// Each log format of the catalogue, and each part of a line kept there (the check's findings, the
// reasons a value is refused), as its name and its text, the literal pieces joined.
std::vector<std::pair<std::string, std::string>> LogFormats() {
    const std::string header = ReadFile(kSource / "app" / "LogFormats.h");
    const std::regex constant(R"re((k\w+)\s*=\s*((?:u"(?:[^"\\]|\\.)*"\s*)+);)re");
    const std::regex piece(R"re(u"((?:[^"\\]|\\.)*)")re");
    std::vector<std::pair<std::string, std::string>> formats;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), constant); it != std::sregex_iterator(); ++it) {
        const std::string literals = (*it)[2];
        std::string text;
        for (auto p = std::sregex_iterator(literals.begin(), literals.end(), piece); p != std::sregex_iterator(); ++p)
            text += (*p)[1];
        formats.emplace_back((*it)[1], text);
    }
    return formats;
}

// The fixed words of a format: the text between its placeholders, without the line number.
std::vector<std::string> FixedParts(std::string format) {
    if (format.rfind("%03d ", 0) == 0)
        format.erase(0, 5);
    std::vector<std::string> parts;
    const std::regex placeholder("%[sd]");
    for (auto it = std::sregex_token_iterator(format.begin(), format.end(), placeholder, -1);
         it != std::sregex_token_iterator(); ++it) {
        std::string part = *it;
        const size_t first = part.find_first_not_of(" .:,!");
        const size_t last = part.find_last_not_of(" .:,!");
        if (first != std::string::npos && last - first >= 2)
            parts.push_back(part.substr(first, last - first + 1));
    }
    return parts;
}

TEST(Handbook, ExplainsEveryLineTheLogCanShow) {
    const std::string handbook = ReadFile(kSource / "docs" / "handbok.md");
    ASSERT_FALSE(handbook.empty());
    const auto formats = LogFormats();
    ASSERT_GT(formats.size(), 40u) << "the catalogue was not read";
    for (const auto& [name, format] : formats)
        for (const std::string& part : FixedParts(format))
            EXPECT_NE(handbook.find(part), std::string::npos) << name << ": \"" << part << "\" is not in the handbook";
}

TEST(Handbook, EveryPictureItShowsIsThere) {
    const std::string handbook = ReadFile(kSource / "docs" / "handbok.md");
    const std::regex picture(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(handbook.begin(), handbook.end(), picture); it != std::sregex_iterator();
         ++it, ++pictures)
        EXPECT_TRUE(fs::is_regular_file(kSource / "docs" / (*it)[1].str())) << (*it)[1];
    EXPECT_GE(pictures, 5);
}

}  // namespace
