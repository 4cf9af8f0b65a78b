#ifndef VTHUD_TOOLS_OPTIONS_H
#define VTHUD_TOOLS_OPTIONS_H
// The preview tool's command line, parsed with QCommandLineParser into plain
// values that are already checked: frames lie in the range FBTime can hold at
// the chosen rate, ranges are ordered, numbers parse whole.
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// Parses pArguments (pArguments[0] is the program name). False with a
// one-line message naming the option and what it expects.
bool ParseOptions(const std::vector<std::string>& pArguments, Options& pOptions, std::string& pError);

// Every option with its value and default, for --help.
std::string HelpText();

// Strict whole-number parse of pText for the option named pOption, within
// [pMin, pMax]; the message names the option, the expected type and the bounds.
bool ParseWhole(const std::string& pText, const std::string& pOption, long long pMin, long long pMax,
                long long& pValue, std::string& pError);

// "A:B" with A <= B (pAllowEqual) or A < B, both within +-pLimit.
bool ParseRange(const std::string& pText, const std::string& pOption, long long pLimit, bool pAllowEqual,
                FrameRange& pRange, std::string& pError);

}  // namespace vthud_tool

#endif
