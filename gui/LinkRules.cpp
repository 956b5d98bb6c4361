#include "LinkRules.h"

#include <algorithm>
#include <cmath>

#include <algorithm>

namespace pellumar {
namespace {

constexpr const char* kPlaceholders[] = {"%1", "%u", "%U", "%f", "%F"};

// The first position of any placeholder, written between two `quote`s.
std::size_t FirstPlaceholder(const std::string& command, const std::string& quote) {
    std::size_t first = std::string::npos;
    for (const char* placeholder : kPlaceholders)
        first = std::min(first, command.find(quote + placeholder + quote));
    return first;
}

}  // namespace

LinkColor ColorFor(bool bOver, bool bVisited) {
    if (bOver)
        return LinkColor::Hover;
    return bVisited ? LinkColor::Visited : LinkColor::Link;
}

std::pair<std::string, std::string> UrlAndText(const std::string& url, const std::string& text) {
    const std::string resolvedUrl = url.empty() ? text : url;
    return {resolvedUrl, text.empty() ? resolvedUrl : text};
}

LinkRect FitRect(LinkRect window, int cx, int cy, bool bCenterVertically, bool bCenter,
                 bool bRight) {
    if (bCenterVertically) {
        const int shrink = (window.bottom - window.top - cy) / 2;
        window.top += shrink;
        window.bottom -= shrink;
    } else {
        window.bottom = window.top + cy;
    }
    if (bCenter) {
        const int shrink = (window.right - window.left - cx) / 2;
        window.left += shrink;
        window.right -= shrink;
    } else if (bRight) {
        window.left = window.right - cx;
    } else {
        window.right = window.left + cx;
    }
    return window;
}

std::string FallbackCommand(const std::string& handlerCommand, const std::string& url) {
    std::size_t end = FirstPlaceholder(handlerCommand, "\"");
    if (end == std::string::npos)
        end = FirstPlaceholder(handlerCommand, "");
    return handlerCommand.substr(0, end) + " " + url;
}

std::string OpenErrorText(int code) {
    const char* text = nullptr;
    switch (code) {
        case 0:
            text = "The operating system is out\nof memory or resources.";
            break;
        case 2:
            text = "The specified file was not found.";
            break;
        case 3:
            text = "The specified path was not found.";
            break;
        case 5:
            text = "The operating system denied\naccess to the specified file.";
            break;
        case 8:
            text = "There was not enough memory to complete the operation.";
            break;
        case 11:
            text = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
            break;
        case 26:
            text = "A sharing violation occurred. ";
            break;
        case 27:
            text = "The filename association is\nincomplete or invalid.";
            break;
        case 28:
            text = "The DDE transaction could not\nbe completed because the request timed out.";
            break;
        case 29:
            text = "The DDE transaction failed.";
            break;
        case 30:
            text =
                "The DDE transaction could not\nbe completed because other DDE transactions\n"
                "were being processed.";
            break;
        case 31:
            text = "There is no application associated\nwith the given filename extension.";
            break;
        case 32:
            text = "The specified dynamic-link library was not found.";
            break;
    }
    const std::string reason =
        text ? text : "Unknown Error (" + std::to_string(code) + ") occurred.";
    return "Unable to open hyperlink:\n\n" + reason;
}

namespace {

double Luminance(Rgb c) {
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Darker than a middle grey (#777).
bool IsDark(Rgb background) {
    return Luminance(background) < 0.18;
}

Rgb ReadableLinkColor(Rgb described, Rgb themes, Rgb background) {
    if (!IsDark(background))
        return described;
    Rgb color = themes;
    for (int step = 1; step <= 20 && ContrastRatio(color, background) < kReadableContrast;
         ++step) {  // toward white, a step at a time
        color = {themes.r + (255 - themes.r) * step / 20, themes.g + (255 - themes.g) * step / 20,
                 themes.b + (255 - themes.b) * step / 20};
    }
    return color;
}

}  // namespace pellumar
