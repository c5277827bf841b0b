#pragma once

#include <string>
#include <vector>

// The driver's load commands. Each prints one JSON object describing the load's result and returns the
// exit status; a malformed command line throws std::invalid_argument.
//
//   load DIR [--now ISO-8601]                      the full load of DIR
//   load-changes DIR PATH… [--now ISO-8601]        a full load, then the incremental load of the paths

int runLoad(const std::vector<std::string> &arguments);
int runLoadChanges(const std::vector<std::string> &arguments);
