// The login dialogue's client side, matched against the station's own texts.
#include "LoginDialogue.h"

#include <algorithm>

#include "SessionProtocol.h"
#include "SettingKeys.h"

namespace quintar::link {

namespace {

namespace proto = brenlow::server;

constexpr std::size_t kGreetingSize = proto::kGreeting.size;
// The login answers are a few dozen bytes; more without a decision is not a station talking.
constexpr std::size_t kLongestAnswer = 1024;
// The disabled user's answer without its leading line end, so it is found wherever it starts.
constexpr std::string_view kDisabledAnswer = std::string_view(proto::kPwdOkDisabled).substr(2);

}  // namespace

std::string LoginDialogue::Request(std::string_view user, std::string_view password)
{
    std::string line = "UID:";
    line += user;
    line += ";PWD:";
    line += password;
    line += ';';
    return line;
}

bool LoginDialogue::IsValidLogin(std::string_view value)
{
    return proto::IsValidCredential(value) && value.size() <= proto::kMaxLoginValue;
}

void LoginDialogue::Reset()
{
    step_ = Step::AwaitingGreeting;
    greeting_.clear();
    answer_.clear();
    rest_.clear();
}

LoginDialogue::Step LoginDialogue::Feed(std::string_view bytes)
{
    if (step_ == Step::AwaitingGreeting) {
        const std::size_t take = std::min(bytes.size(), kGreetingSize - greeting_.size());
        greeting_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (greeting_.size() < kGreetingSize)
            return step_;
        const std::string_view text = proto::kGreeting.text;
        const bool padded = std::all_of(greeting_.begin() + static_cast<std::ptrdiff_t>(text.size()), greeting_.end(),
                                        [](char c) { return c == '\0'; });
        if (greeting_.compare(0, text.size(), text) != 0 || !padded)
            return step_ = Step::NotAStation;
        step_ = Step::AwaitingAnswer;
    }
    if (step_ == Step::AwaitingAnswer) {
        answer_.append(bytes);
        return step_ = Classify();
    }
    if (step_ == Step::LoggedIn)
        rest_.append(bytes);
    return step_;
}

LoginDialogue::Step LoginDialogue::Classify()
{
    const std::size_t ok = answer_.find(proto::kPwdOk);
    if (ok != std::string::npos) {
        rest_ = answer_.substr(ok + std::string_view(proto::kPwdOk).size());
        answer_.resize(ok + std::string_view(proto::kPwdOk).size());
        return Step::LoggedIn;
    }
    auto has = [&](std::string_view text) { return answer_.find(text) != std::string::npos; };
    if (has(kDisabledAnswer))
        return Step::UserDisabled;
    if (has(proto::kPwdNg) || has(proto::kLoginFailedText))
        return Step::WrongPassword;
    if (has(proto::kCmdNg) || has(proto::kUidNg))
        return Step::Rejected;
    if (has(proto::kLoginTimeout))
        return Step::TimedOut;
    if (answer_.size() > kLongestAnswer)
        return Step::Unexpected;
    return Step::AwaitingAnswer;
}

}  // namespace quintar::link
