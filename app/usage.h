#pragma once
// The program's own texts for command-line mistakes: which command a command
// line is for, unknown commands, and the parser's errors said in the
// program's words ("--size takes one value, given 2 times") instead of the
// parser library's.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tessary::app {

// The program's commands, for messages: "render, eval, ... and layers"
// (`last` joins the final two: "and" or "or").
std::string CommandList(const char* last);

// The command a command line names: its first argument that is not an
// option ("" when there is none). `tessary -q render ...` is not a thing the
// program accepts, so only the first argument counts.
std::string CommandWord(const std::vector<std::string>& args);

// One line for a parse error of the command `command` ("" for the program
// itself), without the "tessary: error: " prefix.
std::string DescribeParseError(const CLI::ParseError& e);

// The line that tells where the usage is: "Run 'tessary render --help' for
// usage." for a command, "Run 'tessary --help' for usage." otherwise.
std::string UsageHint(const std::string& command);

// Validators whose failure texts are the program's own.
// A whole number from lo to hi.
CLI::Validator WholeNumberIn(int lo, int hi);
// One of the given words or numbers, compared as text.
CLI::Validator OneOf(const std::vector<std::string>& values);

}  // namespace tessary::app
