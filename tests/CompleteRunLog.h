// The lines a complete conversion run writes once it knows its server, on a server without
// Varnik_tqsys and an installation folder without an old backup; the native and the Windows
// end-to-end tests both expect exactly these.
#pragma once

#include <string>
#include <vector>

inline const std::vector<std::string> kCompleteRunFromLine9{
    "009 Databasen Varnik_tqsys finns inte redan och kommer att skapas",
    "010 Skapar databasen Varnik_tqsys",
    "011 Databasen, Varnik_tqsys skapad",
    "012 Uppdaterar Varnik_tqsys. Om företag redan finns i listan så skrivs ett felmeddelande för dessa",
    "013 Uppdaterar parametertabellen i Varnik_tqsys",
    "014 Parametrarna uppdaterade",
    "015 Uppdateringen av Varniks systemdatabas slutförd",
    "016 Byter namn på tqsys.dsn om den finns",
    "017 Info: Fanns ingen backuppfil för tqsys.dsn. Helt OK",
    "018 Info: Byter namn på tqsys.dsn till tqsys.bak",
    "019 Skapar ny tqsys.dsn",
    "020 DSN skapad för systemdatabas",
    "021 Konverteringen av systemdatabasen klar",
    "022 Kopierar över alla tqxxxx.dsn filer",
    "023 Klart! Klicka Avsluta",
};

// The first lines followed by the rest of a complete run.
inline std::vector<std::string> CompleteRun(std::vector<std::string> firstLines) {
    firstLines.insert(firstLines.end(), kCompleteRunFromLine9.begin(), kCompleteRunFromLine9.end());
    return firstLines;
}
