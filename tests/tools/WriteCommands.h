#pragma once

#include <string>
#include <vector>

// The driver's commands that write a library, copy it, recover it or assess a folder. Each prints one JSON
// object and returns the exit status; a malformed command line throws std::invalid_argument, and a failed
// library operation throws its own error (the driver prints it and exits with status 2).
//
//   write DIR [--pause-ms N] < ops.json   a full load and the operations on standard input, then (after the
//                                         pause) one save built from them as the store builds it:
//                                         {"setText": {"<page id>": "text"}, "newPages": ["text"],
//                                          "delete": ["<page id>"], "archive": ["<page id>"],
//                                          "restore": ["<page id>"], "current": "<page id>",
//                                          "insertLines": {"<page id>": [{"after": "line", "line": "new"}]}}
//                                         "insertLines" edits the text as this load found it: each new line goes
//                                         after the first line equal to "after" (at the end when none is), so
//                                         that concurrent writers can make edits that only add lines.
//                                         The save writes every page it can: a page it could not write is named
//                                         in "pagesNotSaved" ({"pageID", "relativeFilePath", "kind": "tooLarge" |
//                                         "fileRefuses" | "folderRefuses" | "fileUnreadable", "description"}), and
//                                         the exit status is then 1, as merge's is for a result with a conflict.
//                                         A save stopped by another program's change to a page file prints
//                                         {"keptConflicts": [...]}, the conflict pages it leaves, before it fails.
//   write DIR … --kill-before-exchange    killed just before the save puts its first page file in place
//   write DIR … --kill-after-exchange     killed as soon as that exchange took the page's file out
//   write DIR … --append-before-exchange TEXT
//                                         TEXT appended to that page file just before its exchange, as by
//                                         another program (--kill-after-taking-aside: killed once a removal took
//                                         a file aside)
//   copy SRC DST                          copies the library of SRC into DST
//   recover DIR [--fail-at-step N]       rewrites the library of DIR from the pages it loads, or from its
//                                         Markdown files when it does not load; with --fail-at-step, the N-th
//                                         step of the recovery that changes the folder (a write, sync, rename,
//                                         removal or new folder) fails with an I/O error
//   assess DIR                            what connecting DIR as the Pages folder would mean

int runWrite(const std::vector<std::string> &arguments);
int runCopy(const std::vector<std::string> &arguments);
int runRecover(const std::vector<std::string> &arguments);
int runAssess(const std::vector<std::string> &arguments);
