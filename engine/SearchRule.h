#pragma once

#include <memory>
#include <string>

#include "Matcher.h"
#include "Replacement.h"

namespace pellumar {

struct SearchRequest;

// Why a request's pattern cannot be used.
struct RuleProblem {
    enum class Kind {
        None,
        PatternNotValid,  // the library's message, at a character
        UnknownGroup,     // the replacement names a group the pattern does not have
        Unavailable,      // this build has no regular expressions
    };
    Kind kind = Kind::None;
    std::string message;        // the library's message, or the reference as written
    std::size_t character = 0;  // where the pattern's fault lies, counted from 1
};

// What a request looks for, and what it writes for each match.
struct SearchRule {
    std::unique_ptr<const Matcher> matcher;  // null when the request's pattern cannot be used
    Replacement replacement;
};

// Whether this build matches regular expressions.
bool PatternsAvailable();

// The request's rule: its text as a literal, or, asked for, as a pattern. A pattern is checked
// before anything is read: on a problem the rule has no matcher.
SearchRule MakeSearchRule(const SearchRequest& request, RuleProblem& problem);

// The problem in words, as pellumar tells it after "pellumar: ".
std::string RuleProblemText(const RuleProblem& problem);

}  // namespace pellumar
