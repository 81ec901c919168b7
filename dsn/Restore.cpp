// Puts the product back on its old system database: its own tqsys.dsn from tqsys.bak, and the
// company DSN files a run replaced and kept. Varnik_tqsys stays on the server.
#include "Restore.h"

#include "CompanyDsnCopy.h"
#include "WholeFiles.h"
#include "SystemDsnFiles.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

#include <map>
#include <set>

namespace {

constexpr const char16_t* kRestoreQuestion =
    u"Vill du lägga tillbaka Varnik Löns egen tqsys.dsn från tqsys.bak?\n\nVarnik Lön använder då den gamla "
    u"systemdatabasen igen. Företagens DSN-filer som Daltrix sparade undan läggs också tillbaka. Databasen "
    u"Varnik_tqsys finns kvar på servern.";

bool SameName(const CString& a, const CString& b) {
    return a.CompareNoCase(b) == 0;
}

bool IsSystemDsnFile(const CString& name) {
    return SameName(name, kSystemDsnName) || SameName(name, kSystemDsnBackupName);
}

// The name a kept name is the copy of: what stands before its last dot, when that is a file runs
// keep; empty otherwise.
CString KeptFrom(const CString& name) {
    const int dot = name.ReverseFind(u'.');
    const CString base = dot > 0 ? name.Left(dot) : CString();
    return IsSystemDsnFile(base) || IsCompanyDsn(base) ? base : CString();
}

CString Upper(CString name) {
    return name.MakeUpper();
}

// A file with the same bytes, or one this tool wrote, may go without a copy.
bool IsToolsOwn(const CString& path, const CString& name, const CString& toolDir) {
    return SameName(name, kSystemDsnName) ? WrittenByThisTool(path) : SameFileContent(path, toolDir + name);
}

}  // namespace

RestorePlan PlanRestore(const CString& installDir) {
    RestorePlan plan;
    const auto kept = ReadKeptRecord(installDir);
    if (!kept) {
        plan.refusal = RestorePlan::Refusal::RecordUnreadable;
        return plan;
    }
    const std::vector<KeptEntry>& record = *kept;
    std::set<std::u16string> named;
    std::vector<KeptEntry> systemSteps;
    for (auto entry = record.rbegin(); entry != record.rend(); ++entry) {
        named.insert(Upper(entry->original).Str());
        (IsSystemDsnFile(entry->original) ? systemSteps : plan.steps).push_back(*entry);
    }

    // Copies an earlier version kept, without a record: each file's first one is what it had.
    std::map<std::u16string, std::pair<int, KeptEntry>> firstKept;
    for (const sys::DirectoryEntry& file : sys::ListDirectory(installDir)) {
        const CString base = KeptFrom(file.name);
        if (base.IsEmpty())
            continue;
        const auto number = KeptNumber(base, file.name);
        if (!number) {
            plan.notUnderstood.push_back(file.name);
            continue;
        }
        const auto first = firstKept.find(Upper(base).Str());
        if (IsCompanyDsn(base) && !named.contains(Upper(base).Str()) &&
            (first == firstKept.end() || *number < first->second.first))
            firstKept[Upper(base).Str()] = {*number, KeptEntry{base, file.name}};
    }
    for (const auto& [name, first] : firstKept)
        plan.steps.push_back(first.second);

    // Once the record names the system DSN's files it alone says what is left of them to put back.
    if (systemSteps.empty()) {
        const CString systemDsn = InFolder(installDir, kSystemDsnName);
        if (!sys::PathExists(SystemDsnBackupPath(installDir)))
            plan.refusal = RestorePlan::Refusal::NoBackup;
        // Only a file this tool wrote may go without a copy; the product's own never does.
        else if (!sys::PathIsMissing(systemDsn) && !WrittenByThisTool(systemDsn))
            plan.refusal = RestorePlan::Refusal::NotOwn;
        else
            systemSteps.push_back({kSystemDsnName, kSystemDsnBackupName});
    }
    plan.steps.insert(plan.steps.end(), systemSteps.begin(), systemSteps.end());
    return plan;
}

PutBackResult PutBack(const CString& folder, const KeptEntry& entry, const CString& toolDir) {
    PutBackResult result;
    const CString kept = InFolder(folder, entry.kept);
    const CString original = InFolder(folder, entry.original);
    if (sys::PathIsMissing(kept)) {
        result.alreadyBack = true;
    } else if (SameFileContent(original, kept)) {
        // The file never changed: the kept copy is only a second one of it.
        result.alreadyBack = true;
        if ((result.error = RemoveFile(kept)) != 0)
            return result;
    } else {
        if (!sys::PathIsMissing(original) && !IsToolsOwn(original, entry.original, toolDir)) {
            const Kept inTheWay = KeepCopy(folder, entry.original, false);
            if ((result.error = inTheWay.error) != 0)
                return result;
            result.keptInTheWay = inTheWay.entry.kept;
        }
        if ((result.error = sys::ReplaceFile(kept, original)) != 0)
            return result;
    }
    result.error = ForgetKept(folder, entry);
    return result;
}

RestoreOutcome CDaltrixDlg::RestoreSystemDsn() {
    const RestorePlan plan = PlanRestore(m_installDir);
    switch (plan.refusal) {
        case RestorePlan::Refusal::None:
            break;
        case RestorePlan::Refusal::NoBackup:
            AddLog(logfmt::kRestoreNoBackup, {m_installDir});
            return RestoreOutcome::Refused;
        case RestorePlan::Refusal::NotOwn:
            AddLog(logfmt::kRestoreNotOwn, {m_installDir});
            return RestoreOutcome::Refused;
        case RestorePlan::Refusal::RecordUnreadable:
            AddLog(logfmt::kRestoreRecordUnreadable, {InFolder(m_installDir, kKeptRecordName)});
            return RestoreOutcome::Refused;
    }
    if (!Ask(kRestoreQuestion)) {
        AddLog(logfmt::kRestoreDeclined);
        return RestoreOutcome::Refused;
    }
    AddLog(logfmt::kRestoringSystemDsn);
    for (const CString& name : plan.notUnderstood)
        AddLog(logfmt::kKeptNameNotUnderstood, {InFolder(m_installDir, name)});
    for (const KeptEntry& step : plan.steps) {
        if (!PutBackAndLog(step)) {
            AddLog(logfmt::kRestoreIncomplete, {m_installDir});
            return RestoreOutcome::Incomplete;
        }
    }
    AddLog(logfmt::kRestored);
    return RestoreOutcome::Restored;
}

bool CDaltrixDlg::PutBackAndLog(const KeptEntry& entry) {
    const PutBackResult result = PutBack(m_installDir, entry, ToolFolder());
    const CString kept = InFolder(m_installDir, entry.kept);
    if (!result.keptInTheWay.IsEmpty())
        AddLog(logfmt::kKeptInTheWay, {entry.original, InFolder(m_installDir, result.keptInTheWay)});
    if (result.error) {
        AddLog(logfmt::kCannotPutBack, {kept, entry.original, sys::ErrorNumberText(result.error)});
        return false;
    }
    if (!result.alreadyBack)
        AddLog(logfmt::kNamedBack, {kept, entry.original});
    return true;
}
