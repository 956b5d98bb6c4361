#pragma once

#include <string>
#include <utility>

namespace pellumar {

// What a hyperlink label decides, on plain values.

enum class LinkColor { Link, Visited, Hover };
// Hover wins while the mouse is over the label; then a successful visit; then the link colour.
LinkColor ColorFor(bool bOver, bool bVisited);

// The URL and the text of a label: an empty URL is taken from the text, an empty text shows
// the URL.
std::pair<std::string, std::string> UrlAndText(const std::string& url, const std::string& text);

struct LinkRect {
    int left, top, right, bottom;
};
// The label's rectangle fitted to a text of cx by cy pixels: centred ones shrink (or grow) by
// half the difference on each side, the halves truncated toward zero; right-aligned ones keep
// their right edge; others their top-left corner.
LinkRect FitRect(LinkRect window, int cx, int cy, bool bCenterVertically, bool bCenter,
                 bool bRight);

// The command that opens a URL with the web page handler: the handler's command up to its
// first quoted placeholder ("%1", or "%u", "%U", "%f", "%F" of desktop entries), else up to
// its first bare one, else whole; then a space and the URL.
std::string FallbackCommand(const std::string& handlerCommand, const std::string& url);

// The text of the box that tells why a link could not be opened, for a result code.
std::string OpenErrorText(int code);

// A colour as red, green and blue from 0 to 255.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
// How well one colour reads on another: from 1 (not at all) to 21 (black on white).
double ContrastRatio(Rgb a, Rgb b);
// The least contrast at which a link's text is read with ease.
constexpr double kReadableContrast = 4.5;
// Whether a background is a dark theme's.
bool IsDark(Rgb background);
// A link colour on `background`: the described one on a light background; on a dark one, the
// theme's own colour of that role, made lighter until it reads.
Rgb ReadableLinkColor(Rgb described, Rgb themes, Rgb background);

// Result codes above this one mean the link was opened.
constexpr int kOpenedAbove = 32;

}  // namespace pellumar
