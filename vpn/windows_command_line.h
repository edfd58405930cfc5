#ifndef QUORVANTA_VPN_WINDOWS_COMMAND_LINE_H_
#define QUORVANTA_VPN_WINDOWS_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

namespace vpn {

// Windows hands a child one command line; the child's C runtime splits it into arguments. These
// two functions follow the runtime's rules, on UTF-8 text (all special characters are ASCII).

// `argument` as it must appear on a command line to reach the child as exactly one argument.
// Text without white space or quotes is returned unchanged; anything else, and the empty text, is
// quoted, with backslashes doubled where they precede a quote.
std::string QuoteWindowsArgument(std::string_view argument);

// The arguments a child's runtime makes of `command_line`. The first one is read as a program
// name: quotes group and are dropped, backslashes are plain characters. The others follow the
// argument rules: 2n backslashes before a quote give n and the quote groups, 2n+1 give n and a
// literal quote, "" inside a quoted part gives a literal quote, other backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(std::string_view command_line);

}  // namespace vpn

#endif  // QUORVANTA_VPN_WINDOWS_COMMAND_LINE_H_
