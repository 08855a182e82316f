// The station's refusal rules for a client's radio commands: one set for every model, one per model;
// everything no rule refuses is allowed. Header-only, so that the session server's filter and the
// programs between a CAT program and the station (quintar-link answers "?;" for what the station
// drops) judge a command by the same rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Models.h"

namespace brenlow {

enum class RuleLength : std::uint8_t { Any, AtLeast, Exactly };

enum class RuleVerdict : std::uint8_t {
    Refuse,
    RefuseUnlessLoadMessage,  // allowed while the host enabled load messages
    AllowAndNotifyComputerControl,
};

// One rule: the command's prefix and length (without its ";") select it; the first rule that
// applies decides.
struct CommandRule {
    std::string_view prefix;
    RuleLength length;
    std::size_t count;
    RuleVerdict verdict;
};

inline constexpr CommandRule kEveryModelRules[] = {
    {"SR", RuleLength::Any, 0, RuleVerdict::Refuse},
    {"LM", RuleLength::AtLeast, 3, RuleVerdict::RefuseUnlessLoadMessage},
    {"MF", RuleLength::Exactly, 3, RuleVerdict::Refuse},
};

// A menu command of ten characters or more sets its menu; the shorter read form stays allowed.
inline constexpr CommandRule kDunmoreRules[] = {
    {"TC", RuleLength::AtLeast, 3, RuleVerdict::AllowAndNotifyComputerControl},
    {"EX024", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
    {"EX054", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
    {"EX056", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
};

inline constexpr CommandRule kCorrinRules[] = {
    {"EX022", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
    {"EX055", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
    {"EX056", RuleLength::AtLeast, 10, RuleVerdict::Refuse},
};

namespace rules_detail {
constexpr bool PrefixesDistinct(std::span<const CommandRule> rules) {
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].prefix.size() < 2) return false;
        for (std::size_t j = i + 1; j < rules.size(); ++j)
            if (rules[i].prefix == rules[j].prefix) return false;
    }
    return true;
}
}  // namespace rules_detail
static_assert(rules_detail::PrefixesDistinct(kEveryModelRules) && rules_detail::PrefixesDistinct(kDunmoreRules) &&
              rules_detail::PrefixesDistinct(kCorrinRules));

// The rules of one model; none for an identity the station does not serve (it drops every command).
constexpr std::span<const CommandRule> ModelRules(std::uint32_t model) {
    if (model == kDunmore) return kDunmoreRules;
    if (model == kCorrin) return kCorrinRules;
    return {};
}

// The first rule of `rules` that applies to `judged` (a command as JudgedForm gives it), or null.
constexpr const CommandRule* FirstRule(std::span<const CommandRule> rules, std::string_view judged) {
    for (const CommandRule& rule : rules) {
        if (!judged.starts_with(rule.prefix)) continue;
        if (rule.length == RuleLength::AtLeast && judged.size() < rule.count) continue;
        if (rule.length == RuleLength::Exactly && judged.size() != rule.count) continue;
        return &rule;
    }
    return nullptr;
}

// How many bytes in front of a command the radio skips: control characters and blanks, so that
// "\nSR" is judged as "SR" is.
constexpr std::size_t SkippedInFront(std::string_view command) {
    std::size_t n = 0;
    while (n < command.size() && (static_cast<unsigned char>(command[n]) <= ' ' || command[n] == 0x7F)) ++n;
    return n;
}

// The command as the rules judge it (without its ";"): the bytes the radio skips removed, its first
// two letters upper-cased.
inline std::string JudgedForm(std::string_view command) {
    std::string judged(command.substr(SkippedInFront(command)));
    for (std::size_t i = 0; i < 2 && i < judged.size(); ++i)
        if (judged[i] >= 'a' && judged[i] <= 'z') judged[i] = static_cast<char>(judged[i] - 'a' + 'A');
    return judged;
}

}  // namespace brenlow
