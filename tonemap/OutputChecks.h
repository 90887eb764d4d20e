// Before anything is written: which file each image goes to, and whether any
// output would replace an input, another output, or a file that is not a
// regular file. A run whose names clash does nothing at all.
#pragma once

#include <string>
#include <vector>

#include "ExitCodes.h"
#include "Options.h"

struct Job {
    std::string input;
    std::string output;
};

// One job per input: INPUT OUTPUT, or each input into --output-dir under its
// own name (the folder is created).
bool MakeJobs(const ToolOptions& options, std::vector<Job>* jobs, ToolError* error);

// Every clash among the jobs' names: an output that is an input (its own or
// another's), or two outputs that are one file. Files are compared as the
// system sees them (links and other spellings of one file are one file).
std::vector<ToolError> NameClashes(const std::vector<Job>& jobs);

// Checks the target of a file written beside the results (--save-settings,
// --histogram) against the inputs and the file system: an input, or a file
// that is not a regular file, is never replaced; "-" is standard output.
// `what` names it in messages ("the settings file"); problems of the file
// system end with `code`.
bool CheckSideFileTarget(const std::string& path, const std::string& option, const std::string& what, ExitCode code,
                         const std::vector<std::string>& inputs, ToolError* error);

// Whether two names are one file: the same file when it exists, else the same
// path once links and "." and ".." are resolved.
bool SameFile(const std::string& a, const std::string& b);
