"""Grows the laid-out demo installation to a large old system: COUNT companies numbered 1 to
COUNT in the old system database, and a DSN file for each beside the tool, like the demo's own.
    grow_demo.py OLD_SYSTEM.db TOOL_DIR COUNT
"""
import shutil
import sqlite3
import sys
from pathlib import Path


def main(database, tool_dir, count):
    tool = Path(tool_dir)
    names = ["tq%04d.dsn" % number for number in range(1, count + 1)]
    con = sqlite3.connect(database)
    con.execute("DELETE FROM TQ_FORETAG")
    con.executemany("INSERT INTO TQ_FORETAG VALUES(?, ?, ?)",
                    ((number, "Företag %d Lön & Ekonomi AB" % number, name)
                     for number, name in enumerate(names, start=1)))
    con.commit()
    con.close()
    # Every company DSN of the demo names the same server and login.
    model = tool / "tq0001.dsn"
    for name in names:
        if not (tool / name).exists():
            shutil.copyfile(model, tool / name)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
