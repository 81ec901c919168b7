// Daltrix.log beside the program: every line of the dialog's log, kept after the dialog has
// closed, with the parts of earlier starts before it.
#pragma once

#include "platform/CString.h"
#include "platform/System.h"

#include <optional>

class CLogFile {
public:
    // Opens the file and begins this start's part of it with its header line.
    void Open();
    // Adds one line. The first time the file cannot take a line, or could not be opened, the
    // system's reason comes back; from then on the file is left alone and nothing comes back.
    std::optional<CString> Append(const CString& line);
    const CString& Path() const { return m_path; }

private:
    void Write(const CString& text, bool withByteOrderMark);

    sys::AppendFile m_file;
    CString m_path;
    bool m_usable = false;
    std::optional<CString> m_unreported;
};

// A log line as one line of text: a line break inside a driver's message becomes a blank, so
// that the file and the clipboard hold one line per line of the log.
CString SingleLine(CString line);
