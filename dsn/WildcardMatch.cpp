#include "WildcardMatch.h"

namespace {

bool Match(const std::u16string& p, size_t pi, const std::u16string& n, size_t ni) {
    while (pi < p.size()) {
        const char16_t pc = p[pi];
        if (pc == u'*') {
            for (size_t k = ni; k <= n.size(); ++k)
                if (Match(p, pi + 1, n, k))
                    return true;
            return false;
        }
        if (pc == u'?') {
            // At a dot or the end the question mark matches nothing and the pattern moves on.
            if (ni < n.size() && n[ni] != u'.')
                ++ni;
            ++pi;
            continue;
        }
        if (ni >= n.size() || AsciiUpper(pc) != AsciiUpper(n[ni]))
            return false;
        ++pi;
        ++ni;
    }
    return ni == n.size();
}

}  // namespace

bool MatchesWildcard(const CString& pattern, const CString& name) {
    return Match(pattern.Str(), 0, name.Str(), 0);
}
