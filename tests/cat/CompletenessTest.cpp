// Every encoder and accessor member of the library is exercised by the command tables: each
// encoder on both models with an accepted set and read, each accessor with and without a value.
#include <algorithm>
#include <set>

#include "BrenlowMembers.h"
#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

// Every encoder and accessor member, from the library's one member list.
const std::vector<std::string> kEncoders = {
#define ENCODER_NAME(name, how, parameters, arguments) "Conn" #name,
    BRENLOW_ENCODERS(ENCODER_NAME)
#undef ENCODER_NAME
};

const std::vector<std::string> kAccessors = {
#define ACCESSOR_NAME(name, how, parameters, arguments) "RcvData" #name,
    BRENLOW_ACCESSORS(ACCESSOR_NAME)
#undef ACCESSOR_NAME
};

bool WritesSomething(const Case& c) { return c.bytes && !c.bytes->empty(); }
bool HasModeString(const Case& c) {
    const std::string call(c.call);
    return call.compare(MemberOf(c.call).size(), 2, "(\"") == 0;
}
bool IsRead(const Case& c) { return std::string(c.call).find("(\"R\"") != std::string::npos; }

TEST(Completeness, EveryEncoderIsAcceptedAndRefusedOnBothModels) {
    EXPECT_EQ(kEncoders.size(), std::set<std::string>(kEncoders.begin(), kEncoders.end()).size());
    for (const std::string& member : kEncoders) {
        SCOPED_TRACE(member);
        std::vector<const Case*> rows;
        for (const Case& c : EncoderCases())
            if (MemberOf(c.call) == member) rows.push_back(&c);
        ASSERT_FALSE(rows.empty()) << "no table row";
        for (unsigned model : {kDun, kCor})
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Case* c) { return c->model == model; }))
                << "no row on identity " << model;
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Case* c) { return WritesSomething(*c) && !IsRead(*c); }))
            << "no accepted set form";
        if (std::any_of(rows.begin(), rows.end(), [](const Case* c) { return HasModeString(*c); })) {
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Case* c) { return WritesSomething(*c) && IsRead(*c); }))
                << "no accepted read form";
        }
    }
    for (const Case& c : EncoderCases()) {
        EXPECT_NE(std::find(kEncoders.begin(), kEncoders.end(), MemberOf(c.call)), kEncoders.end()) << c.call;
    }
}

TEST(Completeness, EveryAccessorHandsOutAValueAndRefusesWithout) {
    EXPECT_EQ(kAccessors.size(), std::set<std::string>(kAccessors.begin(), kAccessors.end()).size());
    for (const std::string& member : kAccessors) {
        SCOPED_TRACE(member);
        bool value = false, refusal = false;
        for (const ReadCase& c : AccessorCases()) {
            if (MemberOf(c.call) != member) continue;
            value = value || c.result == 1;
            refusal = refusal || c.result == 0;
        }
        EXPECT_TRUE(value) << "no row that hands out a value";
        if (member != "RcvDataVEXA_ST") {
            EXPECT_TRUE(refusal) << "no row that refuses";
        }
    }
    for (const ReadCase& c : AccessorCases()) {
        EXPECT_NE(std::find(kAccessors.begin(), kAccessors.end(), MemberOf(c.call)), kAccessors.end()) << c.call;
    }
}

}  // namespace
