// The delegation rules by which a request can be refused, so that an answer
// to "why may he not?" names the same rule that refused the request, and the
// thing it refused (the department, user or role).
//
// Thread-safety: no state.
#pragma once

#include <string>
#include <string_view>

namespace warden {

enum class Rule {
    kNone,              // nothing refused the request
    kLoginRequired,     // the connection has not logged in
    kAccountGone,       // his directory account does not exist (any more)
    kNotAdministrator,  // a directory account without a row asks only about himself
    kOwnAccount,        // the request must name his own account
    kDeptInScope,       // a department that is not one of his or below one
    kDeptInside,        // a department that is not below one of his
    kUserInScope,       // a user with no department in his scope
    kUserWholly,        // a user with a department outside his scope
    kProtected,         // the super administrator or another administrator
    kGrantable,         // a role given or taken away that he may not hand out
    kSuper,             // the super administrator only
};

// What refused a request: the rule and what it was applied to (a department
// path, an account or a role; empty when the rule needs none).
struct Refusal {
    Rule rule = Rule::kNone;
    std::string subject;

    bool Refused() const { return rule != Rule::kNone; }
};

// A stable ASCII name of the rule, as replies carry it ("dept-in-scope").
std::string_view RuleName(Rule rule);
// What the rule demands, for the administrator's eyes.
std::string_view RuleText(Rule rule);

}  // namespace warden
