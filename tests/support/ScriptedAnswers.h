// Answers the program's questions from a script and records what was shown.
#pragma once

#include "UserAnswers.h"

#include <deque>
#include <string>
#include <vector>

namespace qvtest {

class ScriptedAnswers : public qv::UserAnswers {
public:
    struct Shown {
        qv::MessageKind kind;
        std::string text;
        unsigned buttons;
    };

    // The answers to give, in order; when they run out, every box answers its first button.
    std::deque<qv::Button> next;
    std::vector<Shown> shown;

    qv::Button Ask(qv::MessageKind kind, const std::string& text, unsigned buttons) override {
        shown.push_back({kind, text, buttons});
        if (!next.empty()) {
            const qv::Button answer = next.front();
            next.pop_front();
            return answer;
        }
        for (unsigned b = 1; b <= qv::ButtonAll; b <<= 1)
            if (buttons & b)
                return static_cast<qv::Button>(b);
        return qv::ButtonOk;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown)
            texts.push_back(s.text);
        return texts;
    }
};

} // namespace qvtest
