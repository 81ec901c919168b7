#include "LogFile.h"

#include "LogFormats.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr unsigned char kUtf8ByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// Beside the program, where the operator put it and where support will ask for it.
CString LogFilePath() {
    const CString program = sys::ModuleFileName();
    return program.Left(program.ReverseFind(u'\\') + 1) + u"Daltrix.log";
}

CString StartLine() {
    const sys::LocalTime t = sys::Now();
    const CString when =
        CString::Format(u"%04d-%02d-%02d %02d:%02d:%02d", {t.year, t.month, t.day, t.hour, t.minute, t.second});
    return CString::Format(logfmt::kLogFileStart,
                           {sys::ProgramVersion(), sys::ProgramArchitecture(), when, sys::ComputerName()});
}

}  // namespace

CString SingleLine(CString line) {
    line.Replace(u"\r\n", u" ");
    line.Replace(u"\r", u" ");
    line.Replace(u"\n", u" ");
    return line;
}

void CLogFile::Open() {
    m_path = LogFilePath();
    CString error;
    if (!m_file.Open(m_path, error)) {
        m_unreported = error;
        return;
    }
    m_usable = true;
    Write(StartLine(), m_file.IsEmpty());
}

std::optional<CString> CLogFile::Append(const CString& line) {
    if (m_usable)
        Write(line, false);
    return std::exchange(m_unreported, std::nullopt);
}

void CLogFile::Write(const CString& text, bool withByteOrderMark) {
    std::vector<unsigned char> bytes;
    if (withByteOrderMark)
        bytes.assign(std::begin(kUtf8ByteOrderMark), std::end(kUtf8ByteOrderMark));
    const std::string utf8 = SingleLine(text).ToUtf8() + "\r\n";
    bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    CString error;
    if (!m_file.Append(bytes, error)) {
        m_usable = false;
        m_unreported = error;
    }
}
