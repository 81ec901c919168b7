#include "KeptFiles.h"

#include "WholeFiles.h"

#include "platform/System.h"

#include <algorithm>
#include <cerrno>
#include <set>

namespace {

// More kept copies of one file than a site makes in its life.
constexpr int kMostKept = 999;

constexpr const char16_t* kRecordHeading =
    u"Daltrix: filer som sparades undan innan de ersattes, äldst först (namn > sparad som). "
    u"Återställ i Daltrix lägger tillbaka dem. Ändra inte i filen.";
constexpr const char16_t* kSeparator = u" > ";

// A name within the folder, nothing that reaches out of it.
bool IsPlainName(const CString& name) {
    return !name.IsEmpty() && name.Find(u'\\') < 0 && name.Find(u'/') < 0 && name.Find(u':') < 0 &&
           name != CString(u".") && name != CString(u"..");
}

int WriteRecord(const CString& folder, const std::vector<KeptEntry>& entries) {
    const CString path = InFolder(folder, kKeptRecordName);
    if (entries.empty()) {
        const int error = RemoveFile(path);
        return error == ENOENT ? 0 : error;
    }
    CString text = kRecordHeading;
    text += u"\r\n";
    for (const KeptEntry& entry : entries)
        text += entry.original + kSeparator + entry.kept + u"\r\n";
    // With a byte-order mark, so Notepad shows the heading's letters as they are.
    const std::string utf8 = "\xEF\xBB\xBF" + text.ToUtf8();
    return PutInPlace(path, std::vector<unsigned char>(utf8.begin(), utf8.end()));
}

}  // namespace

CString KeptName(const CString& name, int number) {
    return CString::Format(u"%s.%d", {name, number});
}

std::optional<int> KeptNumber(const CString& name, const CString& candidate) {
    const int length = name.GetLength();
    const CString digits = candidate.Mid(std::min(length + 1, candidate.GetLength()));
    if (candidate.GetLength() <= length + 1 || candidate.Left(length).CompareNoCase(name) != 0 ||
        candidate[length] != u'.' || digits.GetLength() > 3 || digits[0] == u'0')
        return std::nullopt;
    int number = 0;
    for (char16_t ch : digits.Str()) {
        if (ch < u'0' || ch > u'9')
            return std::nullopt;
        number = number * 10 + (ch - u'0');
    }
    return number;
}

std::optional<std::vector<KeptEntry>> ReadKeptRecord(const CString& folder) {
    std::vector<KeptEntry> entries;
    const CString path = InFolder(folder, kKeptRecordName);
    const auto bytes = sys::ReadWholeFile(path);
    if (!bytes)
        return sys::PathIsMissing(path) ? std::optional(entries) : std::nullopt;
    const CString text =
        CString::FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    for (int pos = 0; pos < text.GetLength();) {
        int end = text.Find(u'\n', pos);
        if (end < 0)
            end = text.GetLength();
        CString line = text.Mid(pos, end - pos).TrimRight();
        pos = end + 1;
        const int separator = line.Find(kSeparator);
        if (separator < 0)
            continue;
        KeptEntry entry{line.Left(separator), line.Mid(separator + 3)};
        if (IsPlainName(entry.original) && IsPlainName(entry.kept))
            entries.push_back(std::move(entry));
    }
    return entries;
}

int RecordKept(const CString& folder, const KeptEntry& entry, bool copyThere, bool& added) {
    added = false;
    auto record = ReadKeptRecord(folder);
    // A record that cannot be read is never written over: what it holds would be lost.
    if (!record)
        return EACCES;
    std::vector<KeptEntry>& entries = *record;
    // A run stopped after noting a keep has noted it last; one stopped after the copy has noted it
    // somewhere, and runs on from there.
    if (copyThere)
        added = std::find(entries.begin(), entries.end(), entry) == entries.end();
    else
        added = entries.empty() || !(entries.back() == entry);
    if (!added)
        return 0;
    entries.push_back(entry);
    return WriteRecord(folder, entries);
}

int ForgetKept(const CString& folder, const KeptEntry& entry) {
    auto record = ReadKeptRecord(folder);
    if (!record)
        return EACCES;
    std::vector<KeptEntry>& entries = *record;
    const auto last = std::find(entries.rbegin(), entries.rend(), entry);
    if (last == entries.rend())
        return 0;
    entries.erase(std::next(last).base());
    return WriteRecord(folder, entries);
}

namespace {

// KeepAs with the original's bytes read once, or nothing when they could not be.
Kept KeepBytes(const CString& folder, const KeptEntry& entry, const std::optional<std::vector<unsigned char>>& bytes,
               bool record, bool replace) {
    Kept result{entry};
    if (!bytes) {
        result.error = WhyUnreadable(InFolder(folder, entry.original));
        return result;
    }
    const CString kept = InFolder(folder, entry.kept);
    const bool copyThere = sys::ReadWholeFile(kept) == bytes;
    if (record) {
        result.error = RecordKept(folder, entry, copyThere, result.recorded);
        result.recordFailed = result.error != 0;
        if (result.error)
            return result;
    }
    if (copyThere)
        return result;
    result.error = replace ? PutInPlace(kept, *bytes) : PutNew(kept, *bytes);
    result.copied = result.error == 0;
    return result;
}

}  // namespace

Kept KeepAs(const CString& folder, const KeptEntry& entry, bool record, bool replace) {
    return KeepBytes(folder, entry, sys::ReadWholeFile(InFolder(folder, entry.original)), record, replace);
}

Kept KeepCopy(const CString& folder, const CString& name, bool record) {
    const auto bytes = sys::ReadWholeFile(InFolder(folder, name));
    std::set<int> taken;
    for (const sys::DirectoryEntry& file : sys::ListDirectory(folder)) {
        const auto number = KeptNumber(name, file.name);
        if (!number)
            continue;
        // A run stopped after keeping the file finds its copy and keeps it once.
        if (bytes && sys::ReadWholeFile(file.fullPath) == bytes)
            return KeepBytes(folder, {name, file.name}, bytes, record, false);
        taken.insert(*number);
    }
    int number = 1;
    while (taken.contains(number))
        ++number;
    if (number > kMostKept)
        return Kept{{name, CString()}, false, false, EEXIST};
    return KeepBytes(folder, {name, KeptName(name, number)}, bytes, record, false);
}

bool SameFileContent(const CString& a, const CString& b) {
    const auto first = sys::ReadWholeFile(a);
    return first && first == sys::ReadWholeFile(b);
}
