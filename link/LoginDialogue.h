// The client's side of the station's login dialogue: the 256-byte greeting block, one
// "UID:<id>;PWD:<password>;" line, and the answer that decides the session. Byte-fed, so the
// answers may arrive in any pieces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quintar::link {

class LoginDialogue {
public:
    enum class Step {
        AwaitingGreeting,
        NotAStation,     // the greeting block is not the station's
        AwaitingAnswer,  // the login went out
        LoggedIn,
        WrongPassword,   // "PWD:NG" (or "Login failed")
        UserDisabled,    // "PWD:OK" with "@@UE0"
        Rejected,        // "CMD:NG" or "UID:NG": the station did not take the id or password at all
        TimedOut,        // the station's login time limit
        Unexpected,      // a long answer without any of the above
    };

    // The one line the station expects; both values must satisfy IsValidLogin.
    static std::string Request(std::string_view user, std::string_view password);
    // 1 to 32 characters, '!' to DEL except ';' (the station's rule for ids and passwords).
    static bool IsValidLogin(std::string_view value);

    // Takes what the station sent; returns where the dialogue stands. Once the greeting is complete
    // (AwaitingAnswer), the caller sends Request().
    Step Feed(std::string_view bytes);
    Step Current() const { return step_; }
    // After LoggedIn: what followed the login answer in the same deliveries (radio or reports).
    const std::string& Rest() const { return rest_; }
    // The station's answer so far, for messages.
    const std::string& Answer() const { return answer_; }
    void Reset();

private:
    Step Classify();
    Step step_ = Step::AwaitingGreeting;
    std::string greeting_;
    std::string answer_;
    std::string rest_;
};

}  // namespace quintar::link
