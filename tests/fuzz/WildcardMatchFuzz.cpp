// libFuzzer target: the file-name matcher on an arbitrary pattern and name, split at the first
// line feed, one character per byte. It compares the matcher with a table over every pair of
// positions, the plainest reading of the rules, and checks rules that hold whatever the table
// says: "*" takes every name, a pattern without wildcards takes exactly the equal names
// case-blind, a trailing or leading "*" keeps a match, and letter case never counts.
#include "dsn/WildcardMatch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The matcher backtracks over each "*", so its time grows with the power of their number;
// the product's patterns hold at most one, and two here still leave room for one more each
// side in the checks below.
constexpr size_t kMostStars = 2;

void Check(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "WildcardMatchFuzz: %s\n", what);
    std::abort();
}

char16_t Upper(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - 32) : ch;
}

char16_t Lower(char16_t ch) {
    return (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch + 32) : ch;
}

// matches[p][n]: the pattern from p on takes the name from n on. "?" takes one character that
// is not a dot, and takes none only before a dot or at the end of the name.
bool Reference(const std::u16string& pattern, const std::u16string& name) {
    const size_t pn = pattern.size(), nn = name.size();
    std::vector<std::vector<char>> matches(pn + 1, std::vector<char>(nn + 1, 0));
    matches[pn][nn] = 1;
    for (size_t p = pn; p-- > 0;) {
        for (size_t n = nn + 1; n-- > 0;) {
            const char16_t pc = pattern[p];
            const bool more = n < nn;
            if (pc == u'*')
                matches[p][n] = matches[p + 1][n] || (more && matches[p][n + 1]);
            else if (pc == u'?')
                matches[p][n] = (more && name[n] != u'.') ? matches[p + 1][n + 1] : matches[p + 1][n];
            else
                matches[p][n] = more && Upper(pc) == Upper(name[n]) && matches[p + 1][n + 1];
        }
    }
    return matches[0][0];
}

bool Matches(const std::u16string& pattern, const std::u16string& name) {
    return MatchesWildcard(CString(pattern), CString(name));
}

bool SameCaseBlind(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

std::u16string Mapped(std::u16string text, char16_t (*map)(char16_t)) {
    for (char16_t& ch : text)
        ch = map(ch);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string input(data, data + size);
    const size_t split = input.find(u'\n');
    const std::u16string pattern = input.substr(0, split);
    const std::u16string name = split == std::u16string::npos ? std::u16string() : input.substr(split + 1);
    size_t stars = 0;
    for (const char16_t ch : pattern)
        stars += ch == u'*';
    if (stars > kMostStars)
        return 0;

    const bool matched = Matches(pattern, name);
    Check(matched == Reference(pattern, name), "the matcher and the table disagree");
    Check(Matches(u"*", name), "\"*\" refused a name");
    if (pattern.find_first_of(u"*?") == std::u16string::npos)
        Check(matched == SameCaseBlind(pattern, name), "a pattern without wildcards is not a case-blind equality");
    if (matched) {
        Check(Matches(pattern + u"*", name), "a trailing \"*\" lost a match");
        Check(Matches(u"*" + pattern, name), "a leading \"*\" lost a match");
    }
    Check(Matches(Mapped(pattern, Upper), Mapped(name, Lower)) == matched, "letter case changed the answer");
    return 0;
}
