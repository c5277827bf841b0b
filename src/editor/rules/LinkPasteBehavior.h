#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velto::editor::LinkPasteBehavior {

/// The URL text of an address as the platform's URL parser accepts it: a scheme (a letter, then
/// letters, digits, "+", "-" or "."), a colon and the rest, with characters a URL may not hold
/// (spaces, controls, non-ASCII) percent-encoded as UTF-8. None when there is no scheme.
std::optional<std::string> parsedURL(std::u16string_view text);

/// The URL of a linkable address: the text has no leading or trailing white space or line breaks,
/// parses as a URL, and its scheme in lower case is "http", "https" or "mailto".
std::optional<std::string> linkableURL(std::u16string_view text);

} // namespace velto::editor::LinkPasteBehavior

namespace velto::editor::LinkPasteBehavior {

/// The first linkable address among the clipboard's address text and then its plain text, unchanged.
/// An address spanning lines is refused, so that a paste never makes a link across lines.
std::optional<std::u16string> linkableDestination(const std::optional<std::u16string> &addressText,
                                                  const std::optional<std::u16string> &plainText);

/// "[label](destination)" with backslashes and brackets of the label and backslashes and closing
/// parentheses of the destination escaped.
std::u16string markdownLink(std::u16string_view label, std::u16string_view destination);

} // namespace velto::editor::LinkPasteBehavior
