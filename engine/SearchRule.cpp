// A request's search text and replacement made into what the scanners use.
#include "SearchRule.h"

#include "LiteralFinder.h"
#include "SearchRequest.h"
#ifdef PELLUMAR_HAVE_PCRE2
#include "PatternFinder.h"
#endif

namespace pellumar {

bool PatternsAvailable() {
#ifdef PELLUMAR_HAVE_PCRE2
    return true;
#else
    return false;
#endif
}

SearchRule MakeSearchRule(const SearchRequest& request, RuleProblem& problem) {
    problem = {};
    SearchRule rule;
    if (!request.regex) {
        rule.matcher = std::make_unique<LiteralFinder>(request.search, request.ignoreCase);
        rule.replacement = Replacement(request.replace);
        return rule;
    }
#ifdef PELLUMAR_HAVE_PCRE2
    PatternFault fault;
    std::unique_ptr<PatternFinder> finder =
        PatternFinder::Compile(request.search, request.ignoreCase, fault);
    if (!finder) {
        problem = {RuleProblem::Kind::PatternNotValid, fault.message, fault.character};
        return rule;
    }
    std::string unknown;
    const PatternFinder& compiled = *finder;
    rule.replacement = Replacement::ForPattern(
        request.replace, compiled.Groups(),
        [&compiled](std::string_view name) { return compiled.GroupNamed(name); }, unknown);
    if (!unknown.empty()) {
        problem = {RuleProblem::Kind::UnknownGroup, unknown, 0};
        rule.replacement = Replacement();
        return rule;
    }
    rule.matcher = std::move(finder);
#else
    problem.kind = RuleProblem::Kind::Unavailable;
#endif
    return rule;
}

std::string RuleProblemText(const RuleProblem& problem) {
    switch (problem.kind) {
        case RuleProblem::Kind::None:
            return {};
        case RuleProblem::Kind::PatternNotValid:
            return "the regular expression is not valid: " + problem.message + " at character " +
                   std::to_string(problem.character);
        case RuleProblem::Kind::UnknownGroup:
            return "the replacement names a group the regular expression does not have: " +
                   problem.message;
        case RuleProblem::Kind::Unavailable:
            return "regular expressions are not available in this build";
    }
    return {};
}

}  // namespace pellumar
