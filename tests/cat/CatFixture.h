// Shared fixture of the answer tests: a clean radio state block with a chosen identity, answers
// fed through the router as the reader would, and a recording host window.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "RadioState.h"
#include "TestSupport.h"

namespace cattest {

class AnswerTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(20); }
    void TearDown() override {
        lib.WinMsgSendReg(nullptr);
        Reset(0);
    }

    // Empty cache, no terminal mode, the given identity.
    static void Reset(unsigned id) {
        brenlow::RadioState& s = brenlow::State();
        {
            std::scoped_lock g(s.cacheLock);
            s.cache.Clear();
        }
        s.modelId = id;
        s.terminalMode = 0;
    }

    // One or more answers without their ";", as the router receives them.
    static void Feed(const std::string& answer) {
        std::string text = answer + ";";
        testsupport::TestBrenlow::ConstituteData(reinterpret_cast<const unsigned char*>(text.c_str()),
                                                 &brenlow::State());
    }

    static brenlow::AnswerEntry Entry(brenlow::Answer a) {
        brenlow::RadioState& s = brenlow::State();
        std::scoped_lock g(s.cacheLock);
        return s.cache[a];
    }

    static brenlow::AnswerCache Cache() {
        brenlow::RadioState& s = brenlow::State();
        std::scoped_lock g(s.cacheLock);
        return s.cache;
    }

    testsupport::TestBrenlow lib;
    testsupport::RecordingWindow window;
};

}  // namespace cattest
