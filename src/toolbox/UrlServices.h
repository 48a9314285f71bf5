#pragma once
// The URL and system services of the toolbox: percent escaping of a text into a URL, opening a URL with the
// desktop's default handler, and the word for the generation of the system.
//
// Escaping: every byte of the UTF-8 form of a character that may not stand in a URL (the space, control
// characters, characters outside ASCII, the double quote, "<", ">", "\", "^", "`", "{", "}" and "|") is
// written as "%" and two upper-case hexadecimal digits; every other character stays, the reserved ones
// (":", "/", "?", "#", "&", "=" ...) included. A "%" that already starts an escape ("%" and two
// hexadecimal digits) stays; any other "%" is written "%25", so that the result is always well formed.
//
// Validity: the escaped text is a URL when it is not empty and parses as a URI reference (absolute or
// relative) with a valid authority and port, at most one "#", and "[" or "]" only around an IPv6 host.

#include <optional>
#include <string>

namespace quodrix {

class Platform;

std::string percentEscapeForUrl(std::string const& text);
// The escaped text when it makes a URL, otherwise nullopt.
std::optional<std::string> urlFromText(std::string const& text);
// Opens the URL made from the text, when the text makes one with a scheme; reports nothing.
void showUrl(Platform& platform, std::string const& text);
// "109+" when the whole-number part of the core-library version number is greater than 855.11, else "108".
std::string systemGenerationWord(double coreLibraryVersion);

}
